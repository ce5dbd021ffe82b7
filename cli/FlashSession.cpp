#include "cli/FlashSession.h"

#include "system/StopSignals.h"

namespace qv {

FlashSession::FlashSession(CliContext& context, QuorvexUsb& usb, FirmwareImage& image)
    : FlashSession(usb, image, context.ProgressOut(),
                   ProgressReporter::StyleFor(context.ProgressOut())) {}

FlashSession::FlashSession(QuorvexUsb& usb, FirmwareImage& image, std::ostream& out,
                           ProgressReporter::Style style)
    : reporter(out, style), target(usb, image), run(reporter) {
    reporter.SetPumpAction([this] {
        if (StopRequested()) run.stopRequested = true;
    });
}

bool FlashSession::Stopped(SequenceOutcome outcome) {
    return outcome == SequenceOutcome::kStopped ||
           (outcome != SequenceOutcome::kSuccess && EndRequested());
}

}  // namespace qv
