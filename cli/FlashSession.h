#pragma once
// One command's work on the flash: the reporter that shows its steps, the flash target over the
// link and the image, the range chosen, the run, and the stop requests (a signal, Ctrl-C) passed
// on to the run, which learns of one at its next pump and stops at its next safe point, as the
// window's Stop does.

#include <ostream>

#include "cli/CliContext.h"
#include "cli/ProgressReporter.h"
#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"
#include "flash/UpdateSequences.h"

namespace qv {

struct FlashSession {
    // Shown on the command's progress stream: bars on a terminal, lines elsewhere.
    FlashSession(CliContext& context, QuorvexUsb& usb, FirmwareImage& image);
    FlashSession(QuorvexUsb& usb, FirmwareImage& image, std::ostream& out,
                 ProgressReporter::Style style);
    FlashSession(const FlashSession&) = delete;
    FlashSession& operator=(const FlashSession&) = delete;

    // Whether a sequence with `outcome` was ended by a stop rather than by a failed step. After
    // a second stop every request fails: that ends it as a stop too.
    static bool Stopped(SequenceOutcome outcome);

    ProgressReporter reporter;
    FlashTarget target;
    FlashSelection selection;
    FlashRun run;
};

}  // namespace qv
