#include "platform/SystemDeviceApi.h"

#ifdef _WIN32
#include "platform/win32/TimerPeriod.h"
#include "platform/win32/Win32DeviceApi.h"
#else
#include "platform/libusb/LibusbDeviceApi.h"
#endif

namespace qv {

std::unique_ptr<LockingDeviceApi> CreateSystemDeviceApi(std::chrono::milliseconds lockWait) {
#ifdef _WIN32
    // The update waits 1 ms and 10 ms hundreds of times; at the default 15.6 ms tick each
    // would last a whole tick. Raised once, for the rest of the process.
    static const TimerPeriod forProcess(1);
    return std::make_unique<LockingDeviceApi>(std::make_unique<Win32DeviceApi>(), lockWait);
#else
    return std::make_unique<LockingDeviceApi>(std::make_unique<LibusbDeviceApi>(), lockWait);
#endif
}

}  // namespace qv
