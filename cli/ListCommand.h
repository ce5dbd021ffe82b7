#pragma once

#include "cli/CliContext.h"

namespace qv {

// qvtool list: every catalogue product and bare chip present.
void AddListCommand(CLI::App& app, CliContext& context);

}  // namespace qv
