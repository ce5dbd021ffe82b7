#include "cli/Interruption.h"

#include <algorithm>

#include "system/StopSignals.h"

namespace qv {

void FailInterrupted(Report& report, const std::string& state) {
    const std::string signal = StopRequestName();
    report.Fail(Outcome::kInterrupted, "stopped by " + signal + ": " + state);
    report["interrupted"] = {{"signal", signal}, {"state", state}};
}

std::string StoppedUpdateState(const std::vector<std::string>& steps) {
    const auto showed = [&](const char* line) {
        return std::find(steps.begin(), steps.end(), line) != steps.end();
    };
    // A chip erase, once begun, runs to its end before the update stops; the other steps stop
    // at their next block.
    if (showed("Programming Success") && showed("Start Verifying Check"))
        return "the update was interrupted during the verify, after programming; the product "
               "needs a new update";
    if (showed("Programming Success"))
        return "the update was interrupted after programming, before the verify; the product "
               "needs a new update";
    if (showed("Start Programming"))
        return "the update was interrupted during programming; the flash holds part of the "
               "image and the product needs a new update";
    if (showed("Flash Erase All"))
        return "the update was interrupted after the erase; the product needs a new update";
    return "the update was interrupted before the erase; the flash was not changed";
}

}  // namespace qv
