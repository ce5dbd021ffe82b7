#include "cli/FlashSession.h"

#include "system/StopSignals.h"

namespace qv {

FlashSession::FlashSession(CliContext& context, QuorvexUsb& usb, FirmwareImage& image)
    : FlashSession(usb, image, context.ProgressOut(),
                   ProgressReporter::StyleFor(context.ProgressOut())) {}

FlashSession::FlashSession(QuorvexUsb& usb, FirmwareImage& image, std::ostream& out,
                           ProgressReporter::Style style)
    : reporter(out, style), flash(usb, image, reporter) {
    reporter.SetPumpAction([this] {
        if (StopRequested()) flash.stopRequested = true;
    });
}

bool FlashSession::UpdateStopped(bool success) const {
    return !success && ((!flash.flashStepFailed && flash.stopRequested) || EndRequested());
}

}  // namespace qv
