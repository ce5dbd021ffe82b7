#pragma once
// A stop request (a signal, Ctrl-C) during a command (see FlashSession.h): the closing steps
// still run, and the report says what state the device was left in.

#include <string>
#include <vector>

#include "cli/Report.h"

namespace qv {

// Fails `report` as interrupted by the stop request, with the state the device was left in:
// "interrupted" {signal, state} in JSON.
void FailInterrupted(Report& report, const std::string& state);

// The state a stopped update left, from the step lines it showed.
std::string StoppedUpdateState(const std::vector<std::string>& steps);

}  // namespace qv
