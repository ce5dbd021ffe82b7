#pragma once
// The in-memory picture of the serial flash behind the chip, starting at flash address 0.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr std::uint32_t kImageCapacity = 4u * 1024 * 1024;

// A 4 MiB buffer, allocated once, with the number of bytes loaded into it.
struct ImageBuffer {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kImageCapacity, 0xFF);
    std::uint32_t length = 0;
};

// The image the flash is programmed from, and the file it was loaded from.
struct FirmwareImage : ImageBuffer {
    std::string path;
};

// The second image, which the binary-file page loads and searches.
struct ModifyImage : ImageBuffer {};

}  // namespace qv
