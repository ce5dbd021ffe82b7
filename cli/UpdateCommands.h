#pragma once

#include "cli/CliContext.h"

namespace qv {

// qvtool update [--file F] [--yes]: the one-button firmware update of the first device found,
// with its catalogue file from the current directory or with F. Asks for confirmation unless
// --yes; exit status 0 only when the update succeeded.
void AddUpdateCommand(CLI::App& app, CliContext& context);

}  // namespace qv
