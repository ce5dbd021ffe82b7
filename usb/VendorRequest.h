#pragma once

#include <cstdint>

namespace qv {

inline constexpr std::uint8_t kRequestTypeOut = 0x43;  // vendor, host to device, recipient other
inline constexpr std::uint8_t kRequestTypeIn = 0xC3;   // vendor, device to host, recipient other

// One USB control request as the chip commands build it. `data` is owned by the caller.
struct VendorRequest {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint8_t* data = nullptr;
    std::uint32_t length = 0;

    bool IsDeviceToHost() const { return (requestType & 0x80) != 0; }
};

}  // namespace qv
