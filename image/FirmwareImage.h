#pragma once
// The in-memory picture of the serial flash behind the chip, starting at flash address 0.
// The loaders (image/ImageLoaders.h), the parameter-table scan (image/ParameterTableScan.h) and
// the default image (image/DefaultImage.h) work on it. Free of Qt.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr std::uint32_t kImageCapacity = 4u * 1024 * 1024;

// A 4 MiB buffer, allocated once, with the number of bytes loaded into it.
//
// A successful load swaps `data` with the loader's scratch buffer (all or nothing), so the
// vector keeps its size but `data.data()` changes with each successful load: never keep a
// pointer into it across a load.
//
// `erasedFrom` says that every byte at or past it reads 0xFF. The loaders set it to the length
// they loaded; whoever writes into `data` past it raises it first. A load takes the caller's
// previous buffer as its next scratch buffer and erases only the bytes below that mark, so a
// load costs what it reads, not a 4 MiB erase.
struct ImageBuffer {
    std::vector<std::uint8_t> data = std::vector<std::uint8_t>(kImageCapacity, 0xFF);
    std::uint32_t length = 0;
    std::uint32_t erasedFrom = 0;
};

// The image the flash is programmed from, and the file it was loaded from.
struct FirmwareImage : ImageBuffer {
    std::string path;
};

// The second image, which the binary-file page loads and searches.
struct ModifyImage : ImageBuffer {};

}  // namespace qv
