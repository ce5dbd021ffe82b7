#pragma once
// The device interface of the machine the tool runs on, behind the lock that keeps a second
// program off a device while this one works on it.

#include <chrono>
#include <memory>

#include "platform/LockingDeviceApi.h"

namespace qv {

// `lockWait`: how long an open waits for another program to let go of the device.
std::unique_ptr<LockingDeviceApi> CreateSystemDeviceApi(
    std::chrono::milliseconds lockWait = kLockWait);

}  // namespace qv
