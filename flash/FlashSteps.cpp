#include "flash/FlashSteps.h"

namespace qv {

StepOutcome Judged(const QuorvexUsb& usb, FlashStep step, bool ok) {
    return ok ? StepOutcome::Done() : StepOutcome::Failed(WhyStepFailed(usb, step));
}

StepOutcome Judged(const QuorvexUsb& usb, const FlashRun& run, FlashStep step, bool ok) {
    if (!ok && run.stoppedAt) return StepOutcome::Stopped();
    return Judged(usb, step, ok);
}

bool StepRunner::Run(const Step& step, const std::function<StepOutcome()>& work) {
    usb_.ClearLastFailure();
    const StepOutcome outcome = work();
    if (outcome.IsDone()) return true;
    if (outcome.IsStopped()) return false;
    if (step.role == StepRole::kWarns) {
        reporter_.Warning(step.id, *outcome.Reason());
        return false;
    }
    reporter_.StepFailed(step.id, *outcome.Reason());
    failed_ = true;
    return false;
}

bool StepRunner::OpenLink() {
    return Run({FlashStep::kOpen}, [&] { return Judged(usb_, FlashStep::kOpen, usb_.Open()); });
}

}  // namespace qv
