#pragma once
// The whole qvtool command line in one CLI11 tree: its description, global options, every command
// and the exit statuses and environment its help ends with. qvtool parses with it; the build
// writes the man page and the shell completion from it, so neither can drift from --help.

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"

namespace qv {

// Fills the empty `app` with qvtool's command line, its commands bound to `context`.
void BuildQvtoolCommandLine(CLI::App& app, CliContext& context);

}  // namespace qv
