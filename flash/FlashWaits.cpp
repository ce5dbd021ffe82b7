#include "flash/FlashWaits.h"

#include <algorithm>

namespace qv {
namespace {

std::uint64_t MaximumMicros(const FlashPart& part, FlashWaitFor what) {
    switch (what) {
        case FlashWaitFor::kChipErase:
            return part.chipErase.maximumMicros;
        case FlashWaitFor::kSectorErase:
            return part.sectorErase.maximumMicros;
        case FlashWaitFor::kPageProgram:
            return part.pageProgram.maximumMicros;
        case FlashWaitFor::kStatusWrite:
            return part.statusWrite.maximumMicros;
    }
    return part.chipErase.maximumMicros;
}

}  // namespace

const char* WaitName(FlashWaitFor what) {
    switch (what) {
        case FlashWaitFor::kChipErase:
            return "the chip erase";
        case FlashWaitFor::kSectorErase:
            return "the sector erase";
        case FlashWaitFor::kPageProgram:
            return "the page program";
        case FlashWaitFor::kStatusWrite:
            return "the status write";
    }
    return "the flash";
}

WaitBound BoundFor(const FlashPart* part, FlashWaitFor what) {
    const bool program = what == FlashWaitFor::kPageProgram;
    WaitBound bound;
    bound.sleepMs = program ? kIdlePollSleepMs : kErasePollSleepMs;
    if (part != nullptr) {
        bound.micros = kWaitMargin * MaximumMicros(*part, what);
    } else if (what == FlashWaitFor::kChipErase) {
        bound.polls = ChipErasePollLimit();
    } else {
        bound.polls = program ? kIdlePollLimit : kErasePollLimit;
    }
    return bound;
}

bool WaitFlashIdle(FlashTarget& target, FlashWaitFor what, const StatusPollObserver& observer) {
    const FlashId* id = KnownFlashId(target);
    const WaitBound bound = BoundFor(id != nullptr ? FindFlashPart(*id) : nullptr, what);
    DeviceApi& api = target.usb.Api();
    const std::uint64_t start = api.NowMicros();
    for (int poll = 0; !bound.polls || poll < *bound.polls; ++poll) {
        const std::uint8_t status = FlashReadStatus(target.usb);
        // Before the observer: its pump may let detection find the device again.
        if (target.usb.StoppedAnswering()) return false;
        const std::uint64_t elapsed = api.NowMicros() - start;
        if (observer) observer({poll, status, elapsed, bound});
        if ((status & kFlashStatusBusy) == 0) return true;
        if (bound.micros && elapsed >= *bound.micros) return false;
        api.Sleep(bound.sleepMs);
    }
    return false;
}

int ChipErasePollLimit() {
    const std::uint64_t pollMicros = std::uint64_t{kErasePollSleepMs} * 1000;
    const std::uint64_t maximum = MaxChipEraseMicros(nullptr);
    const std::uint64_t polls = (maximum + pollMicros - 1) / pollMicros;
    return static_cast<int>(std::max<std::uint64_t>(polls, kErasePollLimit));
}

bool SetFlashStatusAndWait(FlashTarget& target, std::uint8_t value, std::uint8_t* lastStatus) {
    const bool enabled = FlashWriteEnable(target.usb);
    const bool written = FlashWriteStatus(target.usb, value);
    // Nothing to wait for when the write did not reach the flash.
    return enabled && written &&
           WaitFlashIdle(target, FlashWaitFor::kStatusWrite, [&](const WaitPoll& poll) {
               if (lastStatus != nullptr) *lastStatus = poll.status;
           });
}

}  // namespace qv
