#include "flash/FlashWaits.h"

#include <algorithm>

namespace qv {

bool WaitFlashIdle(FlashContext& context, int limit, std::uint32_t sleepMs,
                   const StatusPollObserver& observer) {
    for (int poll = 0; poll < limit; ++poll) {
        const std::uint8_t status = FlashReadStatus(context.usb);
        // Before the observer: its pump may let detection find the device again.
        if (context.usb.StoppedAnswering()) return false;
        if (observer) observer(poll, status);
        if ((status & kFlashStatusBusy) == 0) return true;
        context.usb.Api().Sleep(sleepMs);
    }
    return false;
}

int ChipErasePollLimit(const FlashId* id) {
    const std::uint64_t pollMicros = std::uint64_t{kErasePollSleepMs} * 1000;
    const std::uint64_t maximum = MaxChipEraseMicros(id != nullptr ? FindFlashPart(*id) : nullptr);
    const std::uint64_t polls = (maximum + pollMicros - 1) / pollMicros;
    return static_cast<int>(std::max<std::uint64_t>(polls, kErasePollLimit));
}

bool SetFlashStatusAndWait(FlashContext& context, std::uint8_t value, std::uint8_t* lastStatus) {
    const bool enabled = FlashWriteEnable(context.usb);
    const bool written = FlashWriteStatus(context.usb, value);
    // Nothing to wait for when the write did not reach the flash.
    return enabled && written &&
           WaitFlashIdle(context, kErasePollLimit, kErasePollSleepMs,
                         [&](int, std::uint8_t status) {
                             if (lastStatus != nullptr) *lastStatus = status;
                         });
}

}  // namespace qv
