#pragma once
// What sits behind a virtual USB device: the chip, answering vendor control requests.

#include <cstdint>

#include "platform/carriers/ControlSetup.h"

namespace qv::sim {

class DeviceModel {
  public:
    virtual ~DeviceModel() = default;
    // One vendor control request. For OUT requests `data` holds the `length` bytes sent; for
    // IN requests the model fills them. Returning false stalls the request (the I/O control
    // fails).
    virtual bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) = 0;
    // True once after a request that made the device restart: it drops off the bus before
    // answering, and comes back later as a new device.
    virtual bool TakeRestart() { return false; }
};

}  // namespace qv::sim
