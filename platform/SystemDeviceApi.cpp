#include "platform/SystemDeviceApi.h"

#ifdef _WIN32
#include "platform/win32/TimerPeriod.h"
#include "platform/win32/Win32DeviceApi.h"
#else
#include "platform/libusb/LibusbDeviceApi.h"
#endif

namespace qv {

void KeepShortSleepsShort() {
#ifdef _WIN32
    static const TimerPeriod forProcess(1);
#endif
}

std::unique_ptr<LockingDeviceApi> CreateSystemDeviceApi(std::chrono::milliseconds lockWait) {
    KeepShortSleepsShort();
#ifdef _WIN32
    return std::make_unique<LockingDeviceApi>(std::make_unique<Win32DeviceApi>(), lockWait);
#else
    return std::make_unique<LockingDeviceApi>(std::make_unique<LibusbDeviceApi>(), lockWait);
#endif
}

}  // namespace qv
