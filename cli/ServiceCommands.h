#pragma once

#include "cli/CliContext.h"

namespace qv {

// qvtool reg, i2c, param, status and hid: the service pages' chip access on the first device
// found. Numbers are hexadecimal ("0x" accepted), counts decimal. Exit status 0 only when
// every transfer succeeded; bad input sends nothing.
void AddServiceCommands(CLI::App& app, CliContext& context);

}  // namespace qv
