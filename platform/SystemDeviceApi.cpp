#include "platform/SystemDeviceApi.h"

#include "system/ShortSleeps.h"

#ifdef _WIN32
#include "platform/win32/Win32DeviceApi.h"
#else
#include "platform/libusb/LibusbDeviceApi.h"
#endif

namespace qv {

std::unique_ptr<LockingDeviceApi> CreateSystemDeviceApi(std::chrono::milliseconds lockWait) {
    KeepShortSleepsShort();
#ifdef _WIN32
    return std::make_unique<LockingDeviceApi>(std::make_unique<Win32DeviceApi>(), lockWait);
#else
    return std::make_unique<LockingDeviceApi>(std::make_unique<LibusbDeviceApi>(), lockWait);
#endif
}

}  // namespace qv
