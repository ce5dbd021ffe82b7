#pragma once
// The layout of the user-parameter table as this project writes it (DefaultImage, the demo
// firmware). The tool recognises a table by its marker alone; behind the marker this project
// writes:
//
//   offset  size  content
//   +0x00   13    marker "QVUSB_Table01" (ASCII, no terminator)
//   +0x0D    3    0x00
//   +0x10    2    USB vendor id, little-endian
//   +0x12    2    USB product id, little-endian
//   +0x14   12    0x00 (reserved)
//   +0x20  5x32   five string slots, in this order: manufacturer, product name, serial number,
//                 play port, record port. Slot byte 0 is the length n (0..31), bytes 1..n the
//                 ASCII characters, the rest 0x00.
//   +0xC0         end of the table (192 bytes)

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

inline constexpr std::size_t kTableVidOffset = 0x10;
inline constexpr std::size_t kTablePidOffset = 0x12;
inline constexpr std::size_t kTableStringsOffset = 0x20;
inline constexpr std::size_t kTableStringSlot = 0x20;
inline constexpr std::size_t kTableStringCount = 5;
inline constexpr std::size_t kTableMaxStringLength = kTableStringSlot - 1;
inline constexpr std::size_t kTableSize =
    kTableStringsOffset + kTableStringCount * kTableStringSlot;

struct UserParameters {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    // manufacturer, product name, serial number, play port, record port
    std::array<std::string_view, kTableStringCount> strings{};
};

// The defaults of the Gen. Bin File page.
inline constexpr UserParameters kDefaultUserParameters{
    0xA7D6,
    0x6012,
    {"Quorvex-inc", "Quorvex-inc UAC22", "QVUA170405", "Primary Play Interface",
     "Record Interface"}};

// Writes a whole table (kTableSize bytes) at bytes[at]. `Bytes` is any indexable byte container
// (std::array, std::vector); usable in constant expressions. Strings longer than 31 characters
// are cut to 31.
template <class Bytes>
constexpr void WriteUserParameterTable(Bytes& bytes, std::size_t at, const UserParameters& p) {
    constexpr std::string_view marker = "QVUSB_Table01";
    for (std::size_t i = 0; i < kTableSize; ++i) bytes[at + i] = 0x00;
    for (std::size_t i = 0; i < marker.size(); ++i)
        bytes[at + i] = static_cast<std::uint8_t>(marker[i]);
    bytes[at + kTableVidOffset] = static_cast<std::uint8_t>(p.vid & 0xFF);
    bytes[at + kTableVidOffset + 1] = static_cast<std::uint8_t>(p.vid >> 8);
    bytes[at + kTablePidOffset] = static_cast<std::uint8_t>(p.pid & 0xFF);
    bytes[at + kTablePidOffset + 1] = static_cast<std::uint8_t>(p.pid >> 8);
    for (std::size_t s = 0; s < kTableStringCount; ++s) {
        const std::size_t slot = at + kTableStringsOffset + s * kTableStringSlot;
        const std::size_t n = p.strings[s].size() < kTableMaxStringLength ? p.strings[s].size()
                                                                          : kTableMaxStringLength;
        bytes[slot] = static_cast<std::uint8_t>(n);
        for (std::size_t i = 0; i < n; ++i)
            bytes[slot + 1 + i] = static_cast<std::uint8_t>(p.strings[s][i]);
    }
}

}  // namespace qv
