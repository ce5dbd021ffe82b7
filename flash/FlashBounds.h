#pragma once
// Keeping every flash operation inside the flash that the id names: a range that reaches past
// its end would wrap to address 0 and touch what nobody asked for.

#include <cstdint>
#include <optional>
#include <string>

#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"
#include "result/Expected.h"

namespace qv {

// Success when flash addresses [start, end) start and end inside the flash that the known flash
// id names, or when no id is known or it names no size; otherwise why not, e.g. "Erase range
// does not fit in the 2048 KiB flash" for `what` "Erase range".
Expected<void> InsideFlash(const FlashTarget& target, std::uint64_t start, std::uint64_t end,
                           const char* what);

// As InsideFlash for the image's range. An image that ends exactly at the end of the flash
// fits; its blank check and verify then stop at the flash's last byte (lastChecked).
Expected<void> FitImageToFlash(const FlashTarget& target, FlashRange& range);

// The last byte a read of [0, end] may touch: `end`, or the flash's last byte when `end` is
// the flash's size; as InsideFlash says why not when `end` lies further out.
Expected<std::uint32_t> LastReadableByte(const FlashTarget& target, std::uint32_t end);

}  // namespace qv
