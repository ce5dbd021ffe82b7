#include "flash/IspOperations.h"

#include "chip/Registers.h"
#include "flash/ClosingSteps.h"
#include "flash/FlashBounds.h"
#include "flash/FlashSteps.h"
#include "flash/ProgramRange.h"

namespace qv {
namespace {

// Bank 13 register 1 := 3 switches the SPI port to the flash before the ISP request.
constexpr std::uint16_t kRegPortMode = 1;
constexpr std::uint8_t kPortModeFlash = 3;

// Opens the link around `work`, a command that succeeds or fails as `step`. A link that cannot
// be opened is reported with its reason; the work then fails at its first command without
// touching the device, showing its usual texts.
template <typename Work>
bool StepWithLink(QuorvexUsb& usb, FlashReporter& reporter, FlashStep step, Work work) {
    StepRunner steps(usb, reporter);
    const bool ok =
        steps.OpenLink() ? steps.Run({step}, [&] { return Judged(usb, step, work()); }) : work();
    usb.Close();
    return ok;
}

// Opens the link around a flash operation that needs the flash id: makes it known, then runs
// `bound`, which says whether the operation fits in that flash, and `work` as
// `step`. A range outside the flash is a finding of its own, shown instead of the work.
template <typename Bound, typename Work>
bool BoundedStep(FlashTarget& target, FlashRun& run, FlashStep step, Bound bound, Work work) {
    StepRunner steps(target.usb, run.reporter);
    const bool opened = steps.OpenLink();
    // A single operation: a stop meant for an earlier run does not carry over.
    run.stopRequested = false;
    run.stoppedAt.reset();
    EnsureFlashId(target);
    bool ok = false;
    if (const Expected<void> inside = bound(); !inside.ok()) {
        steps.Run({FlashStep::kFitToFlash}, [&] {
            run.reporter.ProcessInfo(inside.text());
            return StepOutcome::Failed(StepReason::Finding(inside.text()));
        });
    } else if (opened) {
        ok = steps.Run({step}, [&] { return Judged(target.usb, run, step, work()); });
    } else {
        ok = work();
    }
    target.usb.Close();
    return ok;
}

// Which end a worker takes: the image's end (exclusive, for programming) or the last byte the
// blank check and verify read.
enum class WorkerEnd { kImageEnd, kLastChecked };

// Runs a range worker over the image's flash range with the button's texts, once the flash id
// shows that the range lies inside the flash.
template <typename Worker>
bool RunRangeWorker(FlashTarget& target, const FlashSelection& selection, FlashRun& run,
                    FlashStep step, const char* startText, const char* successText,
                    WorkerEnd workerEnd, Worker worker) {
    FlashReporter& reporter = run.reporter;
    reporter.ProcessInfo(startText);
    std::optional<FlashRange> range = ImageRange(selection, target.image);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(selection.flashRangeStart));
        return false;
    }
    const bool ok = BoundedStep(
        target, run, step, [&] { return FitImageToFlash(target, *range); },
        [&] {
            const bool toImageEnd = workerEnd == WorkerEnd::kImageEnd;
            return worker(target, run, range->start, toImageEnd ? range->end : range->lastChecked);
        });
    if (ok) reporter.ProcessInfo(successText);
    return ok;
}

}  // namespace

bool EnterOrLeaveIsp(QuorvexUsb& usb, FlashReporter& reporter, bool& ispModeActive) {
    if (!usb.IsPresent()) return false;
    if (ispModeActive) {
        // A closing step: judged as the sequences judge it, and a warning when it fails.
        StepRunner steps(usb, reporter);
        const bool left =
            steps.OpenLink() && steps.Run({FlashStep::kLeaveIsp, StepRole::kWarns},
                                          [&] { return LeaveIspMode(usb, reporter); });
        usb.Close();
        if (left) ispModeActive = false;
        return left;
    }
    return StepWithLink(usb, reporter, FlashStep::kEnterIsp, [&] {
        RegWrite(usb, kRegBankSelect, kBankFlashPort);
        RegWrite(usb, kRegPortMode, kPortModeFlash);
        const bool entered = IspEnterMode(usb, true);
        if (entered) ispModeActive = true;
        return entered;
    });
}

bool ReadChipId(FlashTarget& target, FlashReporter& reporter) {
    return StepWithLink(target.usb, reporter, FlashStep::kReadId,
                        [&] { return ReadFlashId(target); });
}

std::string ChipIdCaption(const FlashId& id) {
    std::string caption;
    for (const std::uint8_t byte : id) caption += "0x" + Hex2(byte) + ",  ";
    return caption;
}

std::uint8_t ReadStatusRegister(QuorvexUsb& usb, FlashReporter& reporter) {
    std::uint8_t status = 0xFF;
    StepWithLink(usb, reporter, FlashStep::kReadStatus, [&] {
        status = FlashReadStatus(usb);
        return usb.LastFailure().ok();
    });
    return status;
}

std::string StatusCaption(std::uint8_t status) {
    return "0x" + Hex2(status);
}

bool WriteStatusRegister(QuorvexUsb& usb, FlashReporter& reporter, std::uint8_t value) {
    return StepWithLink(usb, reporter, FlashStep::kWriteStatus,
                        [&] { return FlashWriteStatus(usb, value); });
}

bool SendWriteEnable(QuorvexUsb& usb, FlashReporter& reporter) {
    return StepWithLink(usb, reporter, FlashStep::kWriteEnable,
                        [&] { return FlashWriteEnable(usb); });
}

bool SendWriteDisable(QuorvexUsb& usb, FlashReporter& reporter) {
    return StepWithLink(usb, reporter, FlashStep::kWriteDisable,
                        [&] { return FlashWriteDisable(usb); });
}

bool BlankCheckFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run) {
    return RunRangeWorker(target, selection, run, FlashStep::kBlankCheck, "Start Blanking Check",
                          "Blanking Success", WorkerEnd::kLastChecked, BlankCheckRange);
}

bool ProgramFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run) {
    return RunRangeWorker(target, selection, run, FlashStep::kProgram, "Start Programming...",
                          "Programming Success", WorkerEnd::kImageEnd, ProgramRange);
}

bool VerifyFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run) {
    return RunRangeWorker(target, selection, run, FlashStep::kVerify, "Start Verifying Check",
                          "Verifying Success", WorkerEnd::kLastChecked, VerifyRange);
}

FlashReadBack ReadFlash(FlashTarget& target, FlashRun& run, std::uint32_t end) {
    run.reporter.ProcessInfo("Read Flash data back");
    std::uint32_t last = 0;
    FlashReadBack readBack;
    const bool ok = BoundedStep(
        target, run, FlashStep::kReadBack,
        [&]() -> Expected<void> {
            const Expected<std::uint32_t> readable = LastReadableByte(target, end);
            if (!readable.ok()) return readable.problem();
            last = *readable;
            return {};
        },
        [&] {
            readBack = ReadBackRange(target, run, 0, last);
            return readBack.complete;
        });
    // Refused before the read: nothing was read.
    if (readBack.bytes.empty()) readBack.bytes = UnreadFlash(end);
    if (ok) run.reporter.ProcessInfo("Read Flash content Success");
    return readBack;
}

}  // namespace qv
