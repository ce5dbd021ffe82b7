#pragma once
// The maintenance pages of the window, one row each, in tab order. To add a page: its form,
// class and handlers in files of its own (listed in app/CMakeLists.txt) and a row here.

#include <span>

#include "app/ServicePage.h"

namespace qv {

// Whether start-up keeps the page's tab (the page control itself is hidden until --service).
enum class StartUpTab { kHidden, kKept };

struct PageRow {
    const char* title;  // the tab's text
    StartUpTab tab;
    // A new page; the page control that shows it becomes its owner.
    ServicePage* (*build)(const PageContext& context);
};

std::span<const PageRow> PageTable();

}  // namespace qv
