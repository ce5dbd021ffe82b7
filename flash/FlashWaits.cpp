#include "flash/FlashWaits.h"

namespace qv {

bool WaitFlashIdle(FlashContext& context, int limit, std::uint32_t sleepMs,
                   const StatusPollObserver& observer) {
    for (int poll = 0; poll < limit; ++poll) {
        const std::uint8_t status = FlashReadStatus(context.usb);
        if (observer) observer(poll, status);
        if ((status & kFlashStatusBusy) == 0) return true;
        context.usb.Api().Sleep(sleepMs);
    }
    return false;
}

bool SetFlashStatusAndWait(FlashContext& context, std::uint8_t value) {
    const bool enabled = FlashWriteEnable(context.usb);
    const bool written = FlashWriteStatus(context.usb, value);
    // Nothing to wait for when the write did not reach the flash.
    return enabled && written && WaitFlashIdle(context, kErasePollLimit, kErasePollSleepMs);
}

}  // namespace qv
