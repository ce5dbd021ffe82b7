#pragma once
// What sits behind a virtual USB device: the chip, answering vendor control requests.

#include <cstdint>

namespace qv::sim {

struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint32_t length = 0;
    bool IsDeviceToHost() const { return (requestType & 0x80) != 0; }
};

class DeviceModel {
  public:
    virtual ~DeviceModel() = default;
    // One vendor control request. For OUT requests `data` holds the `length` bytes sent; for
    // IN requests the model fills them. Returning false stalls the request (the I/O control
    // fails).
    virtual bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) = 0;
};

}  // namespace qv::sim
