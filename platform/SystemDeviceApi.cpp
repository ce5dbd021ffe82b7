#include "platform/SystemDeviceApi.h"

#include "platform/libusb/LibusbDeviceApi.h"

namespace qv {

std::unique_ptr<DeviceApi> CreateSystemDeviceApi() {
    return std::make_unique<LibusbDeviceApi>();
}

}  // namespace qv
