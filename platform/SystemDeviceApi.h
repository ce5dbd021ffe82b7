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

// Where the system's default timer tick is coarse (15.6 ms on Windows), raises its resolution to
// 1 ms for the rest of the process: an update waits 1 ms and 10 ms hundreds of times, on the bus
// as on a virtual device in real time, and each wait would otherwise last a whole tick.
void KeepShortSleepsShort();

}  // namespace qv
