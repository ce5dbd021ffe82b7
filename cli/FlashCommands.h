#pragma once

#include "cli/CliContext.h"

namespace qv {

// qvtool flash id|status|erase|blank|program|verify|read FILE: one flash operation on the first
// device found. Each enters ISP mode, runs the operation and leaves ISP mode again; --start and
// --size (KiB) choose an assigned range as the ISP page does. Exit status 0 only on success.
void AddFlashCommand(CLI::App& app, CliContext& context);

}  // namespace qv
