#pragma once
// A stop request (a signal, Ctrl-C) during a command. The running flash operation learns of it
// at its next pump and stops at its next safe point, as the window's Stop does; the closing
// steps still run, and the report says what state the device was left in.

#include <string>
#include <vector>

#include "cli/ProgressReporter.h"
#include "cli/Report.h"
#include "flash/FlashRun.h"

namespace qv {

// Makes `reporter` raise run.stopRequested at each pump once a stop was requested.
void StopOnRequest(ProgressReporter& reporter, FlashRun& run);

// Fails `report` as interrupted by the stop request, with the state the device was left in:
// "interrupted" {signal, state} in JSON.
void FailInterrupted(Report& report, const std::string& state);

// The state a stopped update left, from the step lines it showed.
std::string StoppedUpdateState(const std::vector<std::string>& steps);

}  // namespace qv
