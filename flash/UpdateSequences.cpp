#include "flash/UpdateSequences.h"

#include <optional>

#include "flash/ClosingSteps.h"
#include "flash/FlashBounds.h"
#include "flash/FlashErase.h"
#include "flash/PreEraseChecks.h"
#include "flash/ProgramRange.h"
#include "flash/RangeChecks.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

// What a step's outcome means for the run: a failure ends the work (the update failed); a
// warning is reported and the run's result stands.
enum class StepRole { kDecides, kWarns };

struct Step {
    FlashStep id;
    StepRole role = StepRole::kDecides;
    const char* failText = nullptr;  // shown when it fails; null when the work shows its own
};

// A step's verdict when its work returned `ok`: nothing, or why not (the link's failure since
// the step began, else what the step found).
std::optional<StepReason> Judge(const FlashContext& context, FlashStep step, bool ok) {
    if (ok) return std::nullopt;
    return ReasonSinceStepBegan(context, step);
}

// Runs one step of a sequence: the link forgets earlier failures and `work` runs, returning
// nothing on success or why it did not succeed. A deciding step that fails is reported with its
// reason, shows its failure text and raises flashStepFailed; a warning step's reason becomes a
// warning. True when the step succeeded.
template <typename Show, typename Work>
bool RunStep(FlashContext& context, const Step& step, Show show, Work work) {
    BeginStep(context);
    const std::optional<StepReason> reason = work();
    if (!reason) return true;
    // Stopped part-way: the sequence ends as stopped, not failed.
    if (step.role == StepRole::kDecides && context.stoppedAt) return false;
    if (step.role == StepRole::kWarns) {
        context.reporter.Warning(step.id, *reason);
        return false;
    }
    context.reporter.StepFailed(step.id, *reason);
    if (step.failText != nullptr) show(step.failText);
    context.flashStepFailed = true;
    return false;
}

// The blank check, program and verify steps with their texts, shown through `show`; a failed
// worker keeps its own failure text.
template <typename Show>
class RangeSteps {
  public:
    RangeSteps(FlashContext& context, FlashRange range, Show show)
        : context_(context), range_(range), show_(show) {}

    void Blank() {
        Run(FlashStep::kBlankCheck, "Start Blanking Check", "Blanking Success", BlankCheckRange,
            range_.lastChecked);
    }
    void Program() {
        Run(FlashStep::kProgram, "Start Programming", "Programming Success", ProgramRange,
            range_.end);
    }
    void Verify() {
        Run(FlashStep::kVerify, "Start Verifying Check", "Verifying Success", VerifyRange,
            range_.lastChecked);
    }

  private:
    template <typename Worker>
    void Run(FlashStep step, const char* startText, const char* successText, Worker worker,
             std::uint32_t end) {
        show_(startText);
        if (RunStep(context_, {step}, show_,
                    [&] { return Judge(context_, step, worker(context_, range_.start, end)); })) {
            show_(successText);
        }
    }

    FlashContext& context_;
    FlashRange range_;
    Show show_;
};

// Opening the link and entering ISP mode; either failing shows "Enter ISP Mode Fail".
template <typename Show>
bool OpenAndEnterIsp(FlashContext& context, bool enterIsp, Show show) {
    const Step open{FlashStep::kOpen, StepRole::kDecides, "Enter ISP Mode Fail"};
    if (!RunStep(context, open, show, [&] { return Judge(context, open.id, context.usb.Open()); }))
        return false;
    const Step enter{FlashStep::kEnterIsp, StepRole::kDecides, "Enter ISP Mode Fail"};
    if (enterIsp) {
        RunStep(context, enter, show,
                [&] { return Judge(context, enter.id, IspEnterMode(context.usb, true)); });
    }
    return true;
}

// Reads the flash id for the whole sequence. Before an erase, no answer (an id read that fails
// twice, an id no flash gives) ends the sequence with nothing changed; otherwise an id that
// cannot be read bounds nothing and judges nothing, which is worth a warning. After an earlier
// step failed the id decides nothing: it is read once, and nothing is reported.
template <typename Show>
void ReadFlashIdOnce(FlashContext& context, bool beforeErase, Show show) {
    const bool earlierFailure = context.flashStepFailed;
    const StepRole role = beforeErase ? StepRole::kDecides : StepRole::kWarns;
    RunStep(context, {FlashStep::kReadId, role}, show, [&]() -> std::optional<StepReason> {
        if (earlierFailure) {
            ReadIdAndChooseBlockSize(context);
            return std::nullopt;
        }
        std::optional<PreEraseFailure> noAnswer = ReadFlashIdTwice(context);
        if (!noAnswer) return std::nullopt;
        if (beforeErase) show(noAnswer->shown.c_str());
        return noAnswer->reason;
    });
}

// Refuses, before anything is erased, an image (and with `erase`, an erase range) that reaches
// past the end of the flash the id names.
template <typename Show>
void FitToFlash(FlashContext& context, FlashRange& range, bool erase, Show show) {
    RunStep(context, {FlashStep::kFitToFlash}, show, [&]() -> std::optional<StepReason> {
        Expected<void> inside = FitImageToFlash(context, range);
        if (inside.ok() && erase) inside = EraseInsideFlash(context);
        if (inside.ok()) return std::nullopt;
        show(inside.text().c_str());
        return StepReason::Finding(inside.text());
    });
}

// Protection and leaving ISP mode run whatever happened before; their outcome is a warning.
template <typename Show>
void RunClosingSteps(FlashContext& context, bool protect, bool leaveIsp, Show show) {
    if (protect) {
        RunStep(context, {FlashStep::kProtect, StepRole::kWarns}, show,
                [&] { return ProtectFlash(context); });
    }
    if (leaveIsp) {
        RunStep(context, {FlashStep::kLeaveIsp, StepRole::kWarns}, show,
                [&] { return LeaveIspMode(context); });
    }
}

// Clears the status register; true when the protection came off, else the step failed
// showing why.
template <typename Show>
bool ClearStatusRegister(FlashContext& context, Show show) {
    return RunStep(context, {FlashStep::kWriteStatus}, show, [&]() -> std::optional<StepReason> {
        std::optional<PreEraseFailure> locked = ClearStatusAndCheckProtection(context);
        if (!locked) return std::nullopt;
        show(locked->shown.c_str());
        return locked->reason;
    });
}

}  // namespace

SequenceOutcome RunAutoSequence(FlashContext& context, const AutoSteps& steps) {
    FlashReporter& reporter = context.reporter;
    const auto show = [&](const char* text) { reporter.ProcessInfo(text); };
    context.flashStepFailed = false;
    context.stopRequested = false;
    context.stoppedAt.reset();
    std::optional<FlashRange> range = ImageRange(context);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(context.flashRangeStart));
        return SequenceOutcome::kFailed;
    }
    show("Enter ISP Mode");
    reporter.Pump();
    if (!OpenAndEnterIsp(context, steps.ispMode, show)) return SequenceOutcome::kFailed;
    ReadFlashIdOnce(context, steps.erase, show);
    FitToFlash(context, *range, steps.erase, show);

    // A step runs when selected and nothing failed; a stop request skips it.
    bool stopped = false;
    const auto shouldRun = [&](bool selected) {
        if (!selected || context.flashStepFailed) return false;
        if (context.stopRequested) stopped = true;
        return !stopped;
    };
    if (shouldRun(steps.erase)) {
        show("Clear Status register");
        if (ClearStatusRegister(context, show)) {
            EraseFlash(context, FlashIdUse::kAsRead);  // closes the link
            RunStep(context, {FlashStep::kOpen}, show,
                    [&] { return Judge(context, FlashStep::kOpen, context.usb.Open()); });
        }
    }
    RangeSteps rangeSteps(context, *range, show);
    if (shouldRun(steps.blank)) rangeSteps.Blank();
    if (shouldRun(steps.program)) rangeSteps.Program();
    if (shouldRun(steps.verify)) rangeSteps.Verify();
    stopped = stopped || context.stoppedAt.has_value();  // the last step stopped part-way

    RunClosingSteps(context, steps.protect, steps.ispMode, show);
    context.usb.Close();
    if (context.flashStepFailed) return SequenceOutcome::kFailed;
    if (!stopped) return SequenceOutcome::kSuccess;
    show("Stopped by user");
    return SequenceOutcome::kStopped;
}

bool RunFirmwareUpdate(FlashContext& context) {
    FlashReporter& reporter = context.reporter;
    const auto showStep = [&](const char* text) { reporter.StepText(text); };
    const auto showInfo = [&](const char* text) { reporter.ProcessInfo(text); };
    const auto showBoth = [&](const char* text) {
        reporter.ProcessInfo(text);
        reporter.StepText(text);
    };
    context.flashStepFailed = false;
    context.stopRequested = false;
    context.stoppedAt.reset();
    FlashRange range{0, context.image.length, context.image.length};
    // A stop (raised while messages run) ends the update before its next step; the closing
    // steps still run.
    bool stopped = false;
    const auto goOn = [&] {
        reporter.Pump();
        stopped = stopped || context.stopRequested;
        return !context.flashStepFailed && !stopped;
    };

    showStep("Enter ISP Mode");
    reporter.Pump();
    if (!OpenAndEnterIsp(context, true, showInfo)) return false;
    ReadFlashIdOnce(context, true, showBoth);
    FitToFlash(context, range, false, showBoth);
    if (goOn()) {
        showStep("Clear Status register");
        if (ClearStatusRegister(context, showBoth)) {
            RunStep(context, {FlashStep::kErase, StepRole::kDecides, "Erase Flash Fail"}, showStep,
                    [&] {
                        return Judge(context, FlashStep::kErase,
                                     EraseChip(context, EraseDisplay::kStepText));
                    });
        }
    }
    RangeSteps rangeSteps(context, range, showStep);
    if (goOn()) rangeSteps.Blank();
    if (goOn()) rangeSteps.Program();
    if (goOn()) rangeSteps.Verify();
    stopped = stopped || context.stoppedAt.has_value();  // the verify stopped part-way
    RunClosingSteps(context, true, true, showInfo);
    context.usb.Close();
    if (context.flashStepFailed) return false;
    if (stopped) {
        showStep("Stopped by user");
        return false;
    }
    showStep("Firmware update success!");
    return true;
}

}  // namespace qv
