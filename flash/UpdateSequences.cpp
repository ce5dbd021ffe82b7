#include "flash/UpdateSequences.h"

#include "flash/FlashBounds.h"
#include "flash/FlashErase.h"
#include "flash/FlashWaits.h"
#include "flash/ProgramRange.h"
#include "flash/RangeChecks.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

// The blank check, program and verify steps with their texts, shown through `show`.
// A step runs only while nothing failed; a failure raises flashStepFailed.
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
        BeginStep(context_);
        if (worker(context_, range_.start, end)) {
            show_(successText);
        } else {
            ReportStepFailure(context_, step);
            context_.flashStepFailed = true;
        }
    }

    FlashContext& context_;
    FlashRange range_;
    Show show_;
};

// Writes 0xFF to the status register and checks, in the status read once the flash is idle,
// that the block-protect bits are set; otherwise says so and counts it as a failed step. (A
// flash transaction left open by a failed request swallows the write without a failed
// transfer.) A closing step: tried once even when the device stopped answering.
template <typename Show>
void Protect(FlashContext& context, Show show) {
    BeginStep(context);
    context.usb.TryOnceMore();
    std::uint8_t status = 0;
    if (SetFlashStatusAndWait(context, 0xFF, &status) &&
        (status & kFlashStatusBlockProtect) == kFlashStatusBlockProtect) {
        return;
    }
    ReportStepFailure(context, FlashStep::kProtect);
    show("Flash Protect Fail");
    context.flashStepFailed = true;
}

// A closing step: tried once even when the device stopped answering.
template <typename Show>
void LeaveIsp(FlashContext& context, Show show) {
    BeginStep(context);
    context.usb.TryOnceMore();
    if (IspEnterMode(context.usb, false)) return;
    ReportStepFailure(context, FlashStep::kLeaveIsp);
    show("Exit ISP Mode Fail");
    context.flashStepFailed = true;
}

template <typename Show>
void EnterIsp(FlashContext& context, Show show) {
    BeginStep(context);
    if (IspEnterMode(context.usb, true)) return;
    ReportStepFailure(context, FlashStep::kEnterIsp);
    show("Enter ISP Mode Fail");
    context.flashStepFailed = true;
}

// Refuses, before anything is erased, an image (and with `erase`, an erase range) that reaches
// past the end of the flash the id names.
template <typename Show>
void FitToFlash(FlashContext& context, FlashRange& range, bool erase, Show show) {
    std::string outside = FitImageToFlash(context, range);
    if (outside.empty() && erase) outside = EraseOutsideFlash(context);
    if (outside.empty()) return;
    show(outside.c_str());
    context.flashStepFailed = true;
}

// A link that cannot be opened ends the sequence before the first step, with that step's
// failure text; the reporter learns why.
template <typename Show>
bool OpenForSequence(FlashContext& context, Show show) {
    if (OpenLink(context)) return true;
    show("Enter ISP Mode Fail");
    context.flashStepFailed = true;
    return false;
}

void ClearStatusRegister(FlashContext& context) {
    FlashReadStatus(context.usb);
    SetFlashStatusAndWait(context, 0);
}

}  // namespace

SequenceOutcome RunAutoSequence(FlashContext& context, const AutoSteps& steps) {
    FlashReporter& reporter = context.reporter;
    const auto show = [&](const char* text) { reporter.ProcessInfo(text); };
    context.flashStepFailed = false;
    context.stopRequested = false;
    std::optional<FlashRange> range = ImageRange(context);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(context.flashRangeStart));
        return SequenceOutcome::kFailed;
    }
    show("Enter ISP Mode");
    reporter.Pump();
    if (!OpenForSequence(context, show)) return SequenceOutcome::kFailed;
    if (steps.ispMode) EnterIsp(context, show);
    ReadIdAndChooseBlockSize(context);
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
        ClearStatusRegister(context);
        EraseFlash(context);  // closes the link
        if (!OpenLink(context)) context.flashStepFailed = true;
    }
    RangeSteps rangeSteps(context, *range, show);
    if (shouldRun(steps.blank)) rangeSteps.Blank();
    if (shouldRun(steps.program)) rangeSteps.Program();
    if (shouldRun(steps.verify)) rangeSteps.Verify();

    // Protection and leaving ISP mode keep the text of an earlier failed step.
    const auto showIfFirstFailure = [&](const char* text) {
        if (!context.flashStepFailed) show(text);
    };
    if (steps.protect) Protect(context, showIfFirstFailure);
    if (steps.ispMode) LeaveIsp(context, showIfFirstFailure);
    context.usb.Close();
    if (context.flashStepFailed) return SequenceOutcome::kFailed;
    if (!stopped) return SequenceOutcome::kSuccess;
    show("Stopped by user");
    return SequenceOutcome::kStopped;
}

bool RunFirmwareUpdate(FlashContext& context) {
    FlashReporter& reporter = context.reporter;
    const auto showStep = [&](const char* text) { reporter.StepText(text); };
    // Protection and leaving ISP mode keep the texts of an earlier failed step.
    const auto showIfFirstFailure = [&](const char* text) {
        if (context.flashStepFailed) return;
        reporter.ProcessInfo(text);
        reporter.StepText(text);
    };
    context.flashStepFailed = false;
    context.stopRequested = false;
    FlashRange range{0, context.image.length, context.image.length};
    // A step runs while nothing failed; a stop request skips it and every one after it.
    bool stopped = false;
    const auto shouldRun = [&] {
        if (context.flashStepFailed) return false;
        stopped = stopped || context.stopRequested;
        return !stopped;
    };

    showStep("Enter ISP Mode");
    reporter.Pump();
    const auto showInfo = [&](const char* text) { reporter.ProcessInfo(text); };
    if (!OpenForSequence(context, showInfo)) return false;
    EnterIsp(context, showInfo);
    ReadIdAndChooseBlockSize(context);
    FitToFlash(context, range, false, [&](const char* text) {
        reporter.ProcessInfo(text);
        reporter.StepText(text);
    });
    if (shouldRun()) {
        showStep("Clear Status register");
        ClearStatusRegister(context);
        BeginStep(context);
        if (!EraseChip(context, EraseDisplay::kStepText)) {
            ReportStepFailure(context, FlashStep::kErase);
            showStep("Erase Flash Fail");
            context.flashStepFailed = true;
        }
    }
    RangeSteps rangeSteps(context, range, showStep);
    if (shouldRun()) rangeSteps.Blank();
    if (shouldRun()) rangeSteps.Program();
    if (shouldRun()) rangeSteps.Verify();
    Protect(context, showIfFirstFailure);
    LeaveIsp(context, showIfFirstFailure);
    context.usb.Close();
    if (context.flashStepFailed || stopped) return false;
    showStep("Firmware update success!");
    return true;
}

}  // namespace qv
