#pragma once
// The steps that close every update: protecting the flash and leaving ISP mode. Real chips and
// flash parts answer them differently, so each is judged on its own, and what it finds is a
// warning for the caller, never the update's result.

#include "flash/FlashSteps.h"
#include "flash/FlashTarget.h"

namespace qv {

// Writes 0xFF to the status register and reads it back once the flash is idle. Done when the
// protect bits of the known part are set; otherwise failed: the failed transfer, a flash
// that stayed busy, or the status read and the bits expected. A part the table does not know
// is not judged. Tried once even when the device stopped answering.
StepOutcome ProtectFlash(FlashTarget& target);

// Leaves ISP mode. Done when the chip took the request, and done too when a device that was
// answering went away with it: that is a chip restarting into its firmware, which the reporter
// hears as a note. Otherwise (refused while still present, or no answer from a device that had
// already stopped answering) failed. Tried once even when the device stopped
// answering.
StepOutcome LeaveIspMode(QuorvexUsb& usb, FlashReporter& reporter);

}  // namespace qv
