#include "flash/FlashErase.h"

#include <string>

#include "flash/FlashBounds.h"
#include "flash/FlashWaits.h"

namespace qv {
namespace {

constexpr const char* kEraseAllText = "Flash Erase All ";

void ShowStatusRegister(FlashReporter& reporter, std::uint8_t status) {
    reporter.StatusRegister("Status Register: 0x" + Hex2(status));
}

// How long the wait may last, in ms; for a bound in polls, what their sleeps add up to.
std::uint64_t BoundMs(const WaitBound& bound) {
    if (bound.micros) return *bound.micros / 1000;
    return std::uint64_t(bound.polls.value_or(0)) * bound.sleepMs;
}

// The erase on a link that `opened` (or not: without a handle every command fails, and so does
// the erase, showing its usual texts). The link is closed afterwards.
bool EraseWithLink(StepRunner& steps, bool opened, FlashTarget& target,
                   const FlashSelection& selection, FlashRun& run) {
    const Expected<void> inside = EraseInsideFlash(target, selection);
    if (!inside.ok()) {
        steps.Run({FlashStep::kFitToFlash},
                  [&] { return StepOutcome::Failed(StepReason::Finding(inside.text())); });
        target.usb.Close();
        run.reporter.ProcessInfo(inside.text());
        return false;
    }
    const auto erase = [&] {
        return selection.rangeAssigned ? EraseSectors(target, selection, run)
                                       : EraseChip(target, run.reporter, EraseDisplay::kIspPage);
    };
    const bool done =
        opened ? steps.Run({FlashStep::kErase},
                           [&] { return Judged(target.usb, run, FlashStep::kErase, erase()); })
               : erase();
    target.usb.Close();
    if (!done && !run.stoppedAt) run.reporter.ProcessInfo("Erase Flash Fail");
    return done;
}

}  // namespace

bool EraseChip(FlashTarget& target, FlashReporter& reporter, EraseDisplay display) {
    const auto show = [&](const std::string& text) {
        if (display == EraseDisplay::kIspPage) {
            reporter.ProcessInfo(text);
        } else {
            reporter.StepText(text);
        }
    };
    show(kEraseAllText);
    if (!FlashWriteEnable(target.usb) || !FlashEraseAll(target.usb)) return false;
    target.usb.Api().Sleep(kEraseSettleMs);
    return WaitFlashIdle(target, FlashWaitFor::kChipErase, [&](const WaitPoll& wait) {
        show(kEraseAllText + std::string((wait.poll / 20) % 10, '.'));
        if (display == EraseDisplay::kIspPage) {
            ShowStatusRegister(reporter, wait.status);
        }
        reporter.Progress(FlashStage::kChipErase, wait.elapsedMicros / 1000, BoundMs(wait.bound));
        reporter.Pump();
    });
}

bool EraseSectors(FlashTarget& target, const FlashSelection& selection, FlashRun& run) {
    FlashReporter& reporter = run.reporter;
    reporter.ProcessInfo("Flash Sector Erase");
    const std::uint64_t start = selection.flashRangeStart;
    const std::uint64_t end = start + selection.flashRangeSize;
    bool allDone = true;
    for (std::uint64_t a = start; a < end && !target.usb.StoppedAnswering(); a += kSectorSize) {
        const auto address = static_cast<std::uint32_t>(a);
        if (run.stopRequested) {
            run.stoppedAt = address;
            return false;
        }
        if (!FlashWriteEnable(target.usb) || !FlashEraseSector(target.usb, address)) {
            allDone = false;
            continue;
        }
        target.usb.Api().Sleep(kEraseSettleMs);
        const bool done =
            WaitFlashIdle(target, FlashWaitFor::kSectorErase, [&](const WaitPoll& wait) {
                reporter.ProcessInfo("Flash Sector Erase: 0x " + Hex6(address));
                ShowStatusRegister(reporter, wait.status);
                reporter.Progress(FlashStage::kSectorErase, a - start, end - start);
                reporter.Pump();
            });
        allDone = allDone && done;
    }
    return allDone;
}

Expected<void> EraseInsideFlash(const FlashTarget& target, const FlashSelection& selection) {
    if (!selection.rangeAssigned) return {};
    const std::uint64_t start = selection.flashRangeStart;
    return InsideFlash(target, start, start + selection.flashRangeSize, "Erase range");
}

bool EraseFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run) {
    StepRunner steps(target.usb, run.reporter);
    const bool opened = steps.OpenLink();
    // The Erase button: a stop meant for an earlier run does not carry over.
    run.stopRequested = false;
    run.stoppedAt.reset();
    EnsureFlashId(target);
    return EraseWithLink(steps, opened, target, selection, run);
}

bool EraseFlashInSequence(StepRunner& steps, FlashTarget& target, const FlashSelection& selection,
                          FlashRun& run) {
    const bool opened = steps.OpenLink();
    run.stoppedAt.reset();
    return EraseWithLink(steps, opened, target, selection, run);
}

}  // namespace qv
