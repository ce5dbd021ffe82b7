#include "flash/FlashErase.h"

#include <string>

#include "flash/FlashBounds.h"
#include "flash/FlashWaits.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

constexpr const char* kEraseAllText = "Flash Erase All ";

void ShowStatusRegister(FlashContext& context, std::uint8_t status) {
    context.reporter.StatusRegister("Status Register: 0x" + Hex2(status));
}

// How long the wait may last, in ms; for a bound in polls, what their sleeps add up to.
std::uint64_t BoundMs(const WaitBound& bound) {
    if (bound.micros) return *bound.micros / 1000;
    return std::uint64_t(bound.polls.value_or(0)) * bound.sleepMs;
}

}  // namespace

bool EraseChip(FlashContext& context, EraseDisplay display) {
    FlashReporter& reporter = context.reporter;
    const auto show = [&](const std::string& text) {
        if (display == EraseDisplay::kIspPage) {
            reporter.ProcessInfo(text);
        } else {
            reporter.StepText(text);
        }
    };
    show(kEraseAllText);
    if (!FlashWriteEnable(context.usb) || !FlashEraseAll(context.usb)) return false;
    context.usb.Api().Sleep(kEraseSettleMs);
    return WaitFlashIdle(context, FlashWaitFor::kChipErase, [&](const WaitPoll& wait) {
        show(kEraseAllText + std::string((wait.poll / 20) % 10, '.'));
        if (display == EraseDisplay::kIspPage) {
            ShowStatusRegister(context, wait.status);
        }
        reporter.Progress(FlashStage::kChipErase, wait.elapsedMicros / 1000, BoundMs(wait.bound));
        reporter.Pump();
    });
}

bool EraseSectors(FlashContext& context) {
    FlashReporter& reporter = context.reporter;
    reporter.ProcessInfo("Flash Sector Erase");
    const std::uint64_t start = context.flashRangeStart;
    const std::uint64_t end = start + context.flashRangeSize;
    bool allDone = true;
    for (std::uint64_t a = start; a < end && !context.usb.StoppedAnswering(); a += kSectorSize) {
        const auto address = static_cast<std::uint32_t>(a);
        if (context.stopRequested) {
            context.stoppedAt = address;
            return false;
        }
        if (!FlashWriteEnable(context.usb) || !FlashEraseSector(context.usb, address)) {
            allDone = false;
            continue;
        }
        context.usb.Api().Sleep(kEraseSettleMs);
        const bool done =
            WaitFlashIdle(context, FlashWaitFor::kSectorErase, [&](const WaitPoll& wait) {
                reporter.ProcessInfo("Flash Sector Erase: 0x " + Hex6(address));
                ShowStatusRegister(context, wait.status);
                reporter.Progress(FlashStage::kSectorErase, a - start, end - start);
                reporter.Pump();
            });
        allDone = allDone && done;
    }
    return allDone;
}

Expected<void> EraseInsideFlash(const FlashContext& context) {
    if (!context.rangeAssigned) return {};
    const std::uint64_t start = context.flashRangeStart;
    return InsideFlash(context, start, start + context.flashRangeSize, "Erase range");
}

bool EraseFlash(FlashContext& context, FlashIdUse idUse) {
    // Without a handle every command fails, and so does the erase, showing its usual texts.
    const bool opened = OpenLink(context);
    // The Erase button: a stop meant for an earlier run does not carry over.
    if (idUse == FlashIdUse::kReadIfUnknown) context.stopRequested = false;
    context.stoppedAt.reset();
    if (idUse == FlashIdUse::kReadIfUnknown) EnsureFlashId(context);
    if (opened) BeginStep(context);  // a failed id read is not the erase's reason
    const Expected<void> inside = EraseInsideFlash(context);
    bool done = false;
    if (!inside.ok()) {
        context.reporter.StepFailed(FlashStep::kFitToFlash, StepReason::Finding(inside.text()));
    } else {
        done = context.rangeAssigned ? EraseSectors(context)
                                     : EraseChip(context, EraseDisplay::kIspPage);
        if (opened && !done && !context.stoppedAt) ReportStepFailure(context, FlashStep::kErase);
    }
    context.usb.Close();
    if (!done && !context.stoppedAt) {
        context.reporter.ProcessInfo(inside.ok() ? "Erase Flash Fail" : inside.text());
        context.flashStepFailed = true;
    }
    return done;
}

}  // namespace qv
