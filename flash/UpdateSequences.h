#pragma once
// The two automatic sequences: the ISP page's "Auto" with its selectable steps, and the
// one-button firmware update of the bottom panel.

#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"

namespace qv {

enum class SequenceOutcome { kSuccess, kFailed, kStopped };

// The question both front ends ask before the one-button update.
inline constexpr const char* kUpdateWarningText =
    "Firmware Update is a critical operation. Please make sure the power stays on and do not "
    "disconnect the device before the update is complete. Would you like to proceed?";

// The "Auto" check boxes. Reloading the program file is left to the caller, before the run.
struct AutoSteps {
    bool ispMode = true;  // enter ISP mode at the start, leave it at the end
    bool erase = true;    // clear the status register, then erase (chip or assigned sectors)
    bool blank = true;
    bool program = true;
    bool verify = true;
    bool protect = false;  // write 0xFF to the status register at the end
};

// Runs the selected steps over the image's range, writing step texts to process info. A failed
// step skips the remaining erase, blank, program and verify steps; so does a stop request,
// checked between steps ("Stopped by user"). Protection and leaving ISP mode run in every
// case, once each when the device stopped answering, and the link is closed; their outcome
// is a warning to the reporter. Success when every selected step before them succeeded.
SequenceOutcome RunAutoSequence(FlashTarget& target, const FlashSelection& selection, FlashRun& run,
                                const AutoSteps& steps);

// The full update over the whole image, placed at flash address 0: enter ISP mode, read the
// id, clear the status register, erase the chip, blank check, program, verify, protect, leave
// ISP mode. Step texts go to the step text. A stop request raised while it lets messages run
// skips the steps not yet begun ("Stopped by user"). Success, with "Firmware update success!",
// when the image was programmed and verified: protecting the flash and leaving ISP mode always
// run, and what they find is a warning to the reporter.
SequenceOutcome RunFirmwareUpdate(FlashTarget& target, FlashRun& run);

}  // namespace qv
