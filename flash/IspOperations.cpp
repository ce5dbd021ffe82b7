#include "flash/IspOperations.h"

#include "chip/Registers.h"
#include "flash/ClosingSteps.h"
#include "flash/FlashBounds.h"
#include "flash/ProgramRange.h"
#include "flash/RangeChecks.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

// Bank 13 register 1 := 3 switches the SPI port to the flash before the ISP request.
constexpr std::uint16_t kRegPortMode = 1;
constexpr std::uint8_t kPortModeFlash = 3;

// Opens the link around `work`, which succeeds or fails as `step`. A link that cannot be opened
// is reported with its reason; the work then fails at its first command without touching the
// device, showing its usual texts.
template <typename Work>
bool StepWithLink(FlashContext& context, FlashStep step, Work work) {
    const bool opened = OpenLink(context);
    const bool ok = work();
    if (opened && !ok) ReportStepFailure(context, step);
    context.usb.Close();
    return ok;
}

// Opens the link around a flash operation that needs the flash id: makes it known, then runs
// `bound`, which says whether the operation fits in that flash, and `work` as
// `step`. A range outside the flash is a finding of its own, shown instead of the work.
template <typename Bound, typename Work>
bool BoundedStep(FlashContext& context, FlashStep step, Bound bound, Work work) {
    const bool opened = OpenLink(context);
    // A single operation: a stop meant for an earlier run does not carry over.
    context.stopRequested = false;
    context.stoppedAt.reset();
    EnsureFlashId(context);
    bool ok = false;
    if (const Expected<void> inside = bound(); !inside.ok()) {
        context.reporter.ProcessInfo(inside.text());
        context.reporter.StepFailed(FlashStep::kFitToFlash, StepReason::Finding(inside.text()));
    } else {
        if (opened) BeginStep(context);  // a failed id read is not the work's reason
        ok = work();
        // A stop part-way is no failure of the step.
        if (opened && !ok && !context.stoppedAt) ReportStepFailure(context, step);
    }
    context.usb.Close();
    return ok;
}

// Which end a worker takes: the image's end (exclusive, for programming) or the last byte the
// blank check and verify read.
enum class WorkerEnd { kImageEnd, kLastChecked };

// Runs a range worker over the image's flash range with the button's texts, once the flash id
// shows that the range lies inside the flash.
template <typename Worker>
bool RunRangeWorker(FlashContext& context, FlashStep step, const char* startText,
                    const char* successText, WorkerEnd workerEnd, Worker worker) {
    FlashReporter& reporter = context.reporter;
    reporter.ProcessInfo(startText);
    std::optional<FlashRange> range = ImageRange(context);
    if (!range) {
        reporter.ProcessInfo("Image does not fit in the flash above 0x" +
                             Hex6(context.flashRangeStart));
        return false;
    }
    const bool ok = BoundedStep(
        context, step, [&] { return FitImageToFlash(context, *range); },
        [&] {
            const bool toImageEnd = workerEnd == WorkerEnd::kImageEnd;
            return worker(context, range->start, toImageEnd ? range->end : range->lastChecked);
        });
    if (ok) reporter.ProcessInfo(successText);
    return ok;
}

}  // namespace

bool EnterOrLeaveIsp(FlashContext& context) {
    if (!context.usb.IsPresent()) return false;
    QuorvexUsb& usb = context.usb;
    if (context.ispModeActive) {
        // A closing step: judged as the sequences judge it, and a warning when it fails.
        const bool opened = OpenLink(context);
        const std::optional<StepReason> why = opened ? LeaveIspMode(context) : std::nullopt;
        usb.Close();
        if (why) context.reporter.Warning(FlashStep::kLeaveIsp, *why);
        if (opened && !why) context.ispModeActive = false;
        return opened && !why;
    }
    return StepWithLink(context, FlashStep::kEnterIsp, [&] {
        RegWrite(usb, kRegBankSelect, kBankFlashPort);
        RegWrite(usb, kRegPortMode, kPortModeFlash);
        const bool entered = IspEnterMode(usb, true);
        if (entered) context.ispModeActive = true;
        return entered;
    });
}

bool ReadChipId(FlashContext& context) {
    return StepWithLink(context, FlashStep::kReadId, [&] { return ReadFlashId(context); });
}

std::string ChipIdCaption(const FlashId& id) {
    std::string caption;
    for (const std::uint8_t byte : id) caption += "0x" + Hex2(byte) + ",  ";
    return caption;
}

std::uint8_t ReadStatusRegister(FlashContext& context) {
    std::uint8_t status = 0xFF;
    StepWithLink(context, FlashStep::kReadStatus, [&] {
        status = FlashReadStatus(context.usb);
        return context.usb.LastFailure().ok();
    });
    return status;
}

std::string StatusCaption(std::uint8_t status) {
    return "0x" + Hex2(status);
}

bool WriteStatusRegister(FlashContext& context, std::uint8_t value) {
    return StepWithLink(context, FlashStep::kWriteStatus,
                        [&] { return FlashWriteStatus(context.usb, value); });
}

bool SendWriteEnable(FlashContext& context) {
    return StepWithLink(context, FlashStep::kWriteEnable,
                        [&] { return FlashWriteEnable(context.usb); });
}

bool SendWriteDisable(FlashContext& context) {
    return StepWithLink(context, FlashStep::kWriteDisable,
                        [&] { return FlashWriteDisable(context.usb); });
}

bool BlankCheckFlash(FlashContext& context) {
    return RunRangeWorker(context, FlashStep::kBlankCheck, "Start Blanking Check",
                          "Blanking Success", WorkerEnd::kLastChecked, BlankCheckRange);
}

bool ProgramFlash(FlashContext& context) {
    return RunRangeWorker(context, FlashStep::kProgram, "Start Programming...",
                          "Programming Success", WorkerEnd::kImageEnd, ProgramRange);
}

bool VerifyFlash(FlashContext& context) {
    return RunRangeWorker(context, FlashStep::kVerify, "Start Verifying Check", "Verifying Success",
                          WorkerEnd::kLastChecked, VerifyRange);
}

bool ReadFlash(FlashContext& context, std::uint32_t end) {
    context.reporter.ProcessInfo("Read Flash data back");
    std::uint32_t last = 0;
    const bool ok = BoundedStep(
        context, FlashStep::kReadBack,
        [&]() -> Expected<void> {
            const Expected<std::uint32_t> readable = LastReadableByte(context, end);
            if (!readable.ok()) return readable.problem();
            last = *readable;
            return {};
        },
        [&] { return ReadBackRange(context, 0, last); });
    if (ok) context.reporter.ProcessInfo("Read Flash content Success");
    return ok;
}

}  // namespace qv
