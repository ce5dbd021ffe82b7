#pragma once
// Every flash operation runs as steps. A step's work says how it ended (done, stopped, or
// failed and why); the runner starts each step with a link that has forgotten earlier
// failures, so a step's reason is its own, and reports a failure or a warning as the step's
// role says.

#include <functional>
#include <optional>
#include <utility>

#include "flash/FlashRun.h"
#include "flash/StepFailure.h"

namespace qv {

// What a step's outcome means for the run: a failure ends the work (the operation failed); a
// warning is reported and the run's result stands.
enum class StepRole { kDecides, kWarns };

struct Step {
    FlashStep id;
    StepRole role = StepRole::kDecides;
};

// How a step's work ended: done, stopped part-way on a stop request (no failure), or failed.
class StepOutcome {
  public:
    static StepOutcome Done() { return StepOutcome(false, std::nullopt); }
    static StepOutcome Stopped() { return StepOutcome(true, std::nullopt); }
    static StepOutcome Failed(StepReason reason) { return StepOutcome(false, std::move(reason)); }

    bool IsDone() const { return !stopped_ && !reason_; }
    bool IsStopped() const { return stopped_; }
    // Why the step failed; empty when it did not.
    const std::optional<StepReason>& Reason() const { return reason_; }

  private:
    StepOutcome(bool stopped, std::optional<StepReason> reason)
        : stopped_(stopped), reason_(std::move(reason)) {}

    bool stopped_;
    std::optional<StepReason> reason_;
};

// A command's result as the outcome of `step`: done when it went through, otherwise failed
// with WhyStepFailed.
StepOutcome Judged(const QuorvexUsb& usb, FlashStep step, bool ok);
// As Judged for a step that may stop part-way: stopped when `run` stopped.
StepOutcome Judged(const QuorvexUsb& usb, const FlashRun& run, FlashStep step, bool ok);

class StepRunner {
  public:
    StepRunner(QuorvexUsb& usb, FlashReporter& reporter) : usb_(usb), reporter_(reporter) {}

    // Runs one step: the link forgets failures of earlier steps and `work` runs. A deciding
    // step that fails is reported with its reason and counts as a failure of the run; a warning
    // step's reason becomes a warning. True when the work was done.
    bool Run(const Step& step, const std::function<StepOutcome()>& work);
    // Opens the link as a deciding step.
    bool OpenLink();
    // Whether a deciding step failed.
    bool AnyFailed() const { return failed_; }

  private:
    QuorvexUsb& usb_;
    FlashReporter& reporter_;
    bool failed_ = false;
};

}  // namespace qv
