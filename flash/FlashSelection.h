#pragma once
// What the ISP page has chosen for the flash operations: "All" or an assigned range, and the
// ISP mode its toggle shows. Operations read it; only the page's controls change it.

#include <cstdint>
#include <optional>

#include "image/FirmwareImage.h"

namespace qv {

inline constexpr std::uint32_t kWholeRangeSize = 0x8000;       // flashRangeSize with "All"
inline constexpr std::uint32_t kFlashAddressSpace = 1u << 24;  // 24-bit flash addresses

struct FlashSelection {
    bool rangeAssigned = false;  // "Assign Range" rather than "All"
    std::uint32_t flashRangeStart = 0;
    std::uint32_t flashRangeSize = kWholeRangeSize;
    bool ispModeActive = false;  // the toggle reads "Exit ISP"
};

// Flash addresses [start, end]: the image placed at 0 ("All") or at flashRangeStart.
struct FlashRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t lastChecked = 0;  // inclusive end of the blank check and verify: end, or
                                    // one less at the very end of the flash
};

// "All": the image goes to flash address 0 and the erase covers the whole chip.
void SelectWholeRange(FlashSelection& selection);
// "Assign Range": start and size in KiB. Refused, leaving the range as it was, when the range
// reaches past the 24-bit flash address space.
bool SelectAssignedRange(FlashSelection& selection, std::uint32_t startKiB, std::uint32_t sizeKiB);
// Where `image` lies in the flash; empty when its end would pass the flash address space.
std::optional<FlashRange> ImageRange(const FlashSelection& selection, const FirmwareImage& image);

}  // namespace qv
