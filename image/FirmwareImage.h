#pragma once
// The in-memory picture of the serial flash behind the chip, starting at flash address 0.
// The loaders (image/ImageLoaders.h), the parameter-table scan (image/ParameterTableScan.h) and
// the default image (image/DefaultImage.h) work on it. Free of Qt.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

// The largest image: the largest flash the tool programs.
inline constexpr std::uint32_t kImageCapacity = 4u * 1024 * 1024;

// The bytes of an image from flash address 0: `data` holds what the image holds (at least
// `length` bytes), and every address past data.size() reads 0xFF, so an image costs what it
// holds, not the largest flash.
//
// A successful load swaps in a new `data` (all or nothing), so `data.data()` changes with each
// successful load: never keep a pointer into it across a load.
//
// `erasedFrom` says that every byte of `data` at or past it reads 0xFF. The loaders set it to
// the length they loaded; whoever writes into `data` past it raises it first.
struct ImageBuffer {
    std::vector<std::uint8_t> data;
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
