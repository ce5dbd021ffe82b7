#include "flash/UpdateSequences.h"

#include <functional>
#include <optional>

#include "flash/ClosingSteps.h"
#include "flash/FlashBounds.h"
#include "flash/FlashErase.h"
#include "flash/FlashSteps.h"
#include "flash/PreEraseChecks.h"
#include "flash/ProgramRange.h"
#include "flash/RangeChecks.h"

namespace qv {
namespace {

// Where a step's texts go: process info, the step text or both.
using Show = std::function<void(const char*)>;

// One run of a sequence: its steps over the target, and the run's stop request.
struct Sequence {
    Sequence(FlashTarget& target, FlashRun& run)
        : target(target), run(run), steps(target.usb, run.reporter) {}

    FlashTarget& target;
    FlashRun& run;
    StepRunner steps;
};

// The blank check, program and verify steps with their texts; a failed worker keeps its own
// failure text.
class RangeSteps {
  public:
    RangeSteps(Sequence& sequence, FlashRange range, Show show)
        : sequence_(sequence), range_(range), show_(std::move(show)) {}

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
        FlashTarget& target = sequence_.target;
        FlashRun& run = sequence_.run;
        if (sequence_.steps.Run({step}, [&] {
                return Judged(target.usb, run, step, worker(target, run, range_.start, end));
            })) {
            show_(successText);
        }
    }

    Sequence& sequence_;
    FlashRange range_;
    Show show_;
};

// Opening the link and entering ISP mode; either failing shows "Enter ISP Mode Fail".
bool OpenAndEnterIsp(Sequence& sequence, bool enterIsp, const Show& show) {
    constexpr const char* kFailText = "Enter ISP Mode Fail";
    if (!sequence.steps.OpenLink()) {
        show(kFailText);
        return false;
    }
    QuorvexUsb& usb = sequence.target.usb;
    if (enterIsp && !sequence.steps.Run({FlashStep::kEnterIsp}, [&] {
            return Judged(usb, FlashStep::kEnterIsp, IspEnterMode(usb, true));
        })) {
        show(kFailText);
    }
    return true;
}

// Reads the flash id for the whole sequence. Before an erase, no answer (an id read that fails
// twice, an id no flash gives) ends the sequence with nothing changed; otherwise an id that
// cannot be read bounds nothing and judges nothing, which is worth a warning. After an earlier
// step failed the id decides nothing: it is read once, and nothing is reported.
void ReadFlashIdOnce(Sequence& sequence, bool beforeErase, const Show& show) {
    const bool earlierFailure = sequence.steps.AnyFailed();
    const StepRole role = beforeErase ? StepRole::kDecides : StepRole::kWarns;
    sequence.steps.Run({FlashStep::kReadId, role}, [&] {
        if (earlierFailure) {
            ReadIdAndChooseBlockSize(sequence.target);
            return StepOutcome::Done();
        }
        std::optional<PreEraseFailure> noAnswer = ReadFlashIdTwice(sequence.target);
        if (!noAnswer) return StepOutcome::Done();
        if (beforeErase) show(noAnswer->shown.c_str());
        return StepOutcome::Failed(noAnswer->reason);
    });
}

// Refuses, before anything is erased, an image (and with an erase range, that range) that
// reaches past the end of the flash the id names.
void FitToFlash(Sequence& sequence, FlashRange& range, const FlashSelection* eraseRange,
                const Show& show) {
    sequence.steps.Run({FlashStep::kFitToFlash}, [&] {
        Expected<void> inside = FitImageToFlash(sequence.target, range);
        if (inside.ok() && eraseRange != nullptr)
            inside = EraseInsideFlash(sequence.target, *eraseRange);
        if (inside.ok()) return StepOutcome::Done();
        show(inside.text().c_str());
        return StepOutcome::Failed(StepReason::Finding(inside.text()));
    });
}

// Protection and leaving ISP mode run whatever happened before; their outcome is a warning.
void RunClosingSteps(Sequence& sequence, bool protect, bool leaveIsp) {
    if (protect) {
        sequence.steps.Run({FlashStep::kProtect, StepRole::kWarns},
                           [&] { return ProtectFlash(sequence.target); });
    }
    if (leaveIsp) {
        sequence.steps.Run({FlashStep::kLeaveIsp, StepRole::kWarns}, [&] {
            return LeaveIspMode(sequence.target.usb, sequence.run.reporter);
        });
    }
}

// Clears the status register; true when the protection came off, else the step failed
// showing why.
bool ClearStatusRegister(Sequence& sequence, const Show& show) {
    return sequence.steps.Run({FlashStep::kWriteStatus}, [&] {
        std::optional<PreEraseFailure> locked = ClearStatusAndCheckProtection(sequence.target);
        if (!locked) return StepOutcome::Done();
        show(locked->shown.c_str());
        return StepOutcome::Failed(locked->reason);
    });
}

}  // namespace

SequenceOutcome RunAutoSequence(FlashTarget& target, const FlashSelection& selection, FlashRun& run,
                                const AutoSteps& steps) {
    FlashReporter& reporter = run.reporter;
    const Show show = [&](const char* text) { reporter.ProcessInfo(text); };
    run.stopRequested = false;
    run.stoppedAt.reset();
    std::optional<FlashRange> range = ImageRange(selection, target.image);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(selection.flashRangeStart));
        return SequenceOutcome::kFailed;
    }
    Sequence sequence(target, run);
    show("Enter ISP Mode");
    reporter.Pump();
    if (!OpenAndEnterIsp(sequence, steps.ispMode, show)) return SequenceOutcome::kFailed;
    ReadFlashIdOnce(sequence, steps.erase, show);
    FitToFlash(sequence, *range, steps.erase ? &selection : nullptr, show);

    // A step runs when selected and nothing failed; a stop request skips it.
    bool stopped = false;
    const auto shouldRun = [&](bool selected) {
        if (!selected || sequence.steps.AnyFailed()) return false;
        if (run.stopRequested) stopped = true;
        return !stopped;
    };
    if (shouldRun(steps.erase)) {
        show("Clear Status register");
        if (ClearStatusRegister(sequence, show)) {
            EraseFlashInSequence(sequence.steps, target, selection, run);  // closes the link
            // After an erase stopped part-way the link opens for the closing steps alone.
            sequence.steps.Run({FlashStep::kOpen}, [&] {
                return Judged(target.usb, run, FlashStep::kOpen, target.usb.Open());
            });
        }
    }
    RangeSteps rangeSteps(sequence, *range, show);
    if (shouldRun(steps.blank)) rangeSteps.Blank();
    if (shouldRun(steps.program)) rangeSteps.Program();
    if (shouldRun(steps.verify)) rangeSteps.Verify();
    stopped = stopped || run.stoppedAt.has_value();  // the last step stopped part-way

    RunClosingSteps(sequence, steps.protect, steps.ispMode);
    target.usb.Close();
    if (sequence.steps.AnyFailed()) return SequenceOutcome::kFailed;
    if (!stopped) return SequenceOutcome::kSuccess;
    show("Stopped by user");
    return SequenceOutcome::kStopped;
}

SequenceOutcome RunFirmwareUpdate(FlashTarget& target, FlashRun& run) {
    FlashReporter& reporter = run.reporter;
    const Show showStep = [&](const char* text) { reporter.StepText(text); };
    const Show showInfo = [&](const char* text) { reporter.ProcessInfo(text); };
    const Show showBoth = [&](const char* text) {
        reporter.ProcessInfo(text);
        reporter.StepText(text);
    };
    run.stopRequested = false;
    run.stoppedAt.reset();
    FlashRange range{0, target.image.length, target.image.length};
    Sequence sequence(target, run);
    // A stop (raised while messages run) ends the update before its next step; the closing
    // steps still run.
    bool stopped = false;
    const auto goOn = [&] {
        reporter.Pump();
        stopped = stopped || run.stopRequested;
        return !sequence.steps.AnyFailed() && !stopped;
    };

    showStep("Enter ISP Mode");
    reporter.Pump();
    if (!OpenAndEnterIsp(sequence, true, showInfo)) return SequenceOutcome::kFailed;
    ReadFlashIdOnce(sequence, true, showBoth);
    FitToFlash(sequence, range, nullptr, showBoth);
    if (goOn()) {
        showStep("Clear Status register");
        if (ClearStatusRegister(sequence, showBoth) &&
            !sequence.steps.Run({FlashStep::kErase}, [&] {
                return Judged(target.usb, FlashStep::kErase,
                              EraseChip(target, reporter, EraseDisplay::kStepText));
            })) {
            showStep("Erase Flash Fail");
        }
    }
    RangeSteps rangeSteps(sequence, range, showStep);
    if (goOn()) rangeSteps.Blank();
    if (goOn()) rangeSteps.Program();
    if (goOn()) rangeSteps.Verify();
    stopped = stopped || run.stoppedAt.has_value();  // the verify stopped part-way
    RunClosingSteps(sequence, true, true);
    target.usb.Close();
    if (sequence.steps.AnyFailed()) return SequenceOutcome::kFailed;
    if (stopped) {
        showStep("Stopped by user");
        return SequenceOutcome::kStopped;
    }
    showStep("Firmware update success!");
    return SequenceOutcome::kSuccess;
}

}  // namespace qv
