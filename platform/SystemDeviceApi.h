#pragma once
// The device interface of the machine the tool runs on.

#include <memory>

#include "platform/DeviceApi.h"

namespace qv {

std::unique_ptr<DeviceApi> CreateSystemDeviceApi();

}  // namespace qv
