#pragma once
// One command's work on the flash: the reporter that shows its steps, the flash context over
// the link and the image, and the stop requests (a signal, Ctrl-C) passed on to the work, which
// learns of one at its next pump and stops at its next safe point, as the window's Stop does.

#include <ostream>

#include "cli/CliContext.h"
#include "cli/ProgressReporter.h"
#include "flash/FlashContext.h"

namespace qv {

struct FlashSession {
    // Shown on the command's progress stream: bars on a terminal, lines elsewhere.
    FlashSession(CliContext& context, QuorvexUsb& usb, FirmwareImage& image);
    FlashSession(QuorvexUsb& usb, FirmwareImage& image, std::ostream& out,
                 ProgressReporter::Style style);
    FlashSession(const FlashSession&) = delete;
    FlashSession& operator=(const FlashSession&) = delete;

    // Whether an update that did not succeed was ended by a stop rather than by a failed step.
    // After a second stop every request fails: that ends the update as a stop too.
    bool UpdateStopped(bool success) const;

    ProgressReporter reporter;
    FlashContext flash;
};

}  // namespace qv
