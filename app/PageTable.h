#pragma once
// The maintenance pages of the window, one row each, in tab order.

#include <span>

#include "app/ServicePage.h"

namespace qv {

// Whether start-up keeps the page's tab (the page control itself is hidden until --service).
enum class StartUpTab { kHidden, kKept };

struct PageRow {
    const char* title;  // the tab's text
    StartUpTab tab;
    ServicePage* (*build)(const PageContext& context);
};

std::span<const PageRow> PageTable();

}  // namespace qv
