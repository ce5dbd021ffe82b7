#pragma once
// The setup fields of one USB control request: what the link asks for, what a carrier block
// holds and what a driver (libusb, the virtual device) acts on.

#include <cstdint>

namespace qv {

inline constexpr std::uint8_t kRequestTypeOut = 0x43;  // vendor, host to device, recipient other
inline constexpr std::uint8_t kRequestTypeIn = 0xC3;   // vendor, device to host, recipient other

struct ControlSetup {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint32_t length = 0;

    bool IsDeviceToHost() const { return (requestType & 0x80) != 0; }
};

// A request as the chip commands build it: its setup and the caller's buffer of `setup.length`
// bytes (sent for OUT requests, filled for IN requests).
struct VendorRequest {
    ControlSetup setup;
    std::uint8_t* data = nullptr;
};

}  // namespace qv
