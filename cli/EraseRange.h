#pragma once
// What `flash erase` erases: the whole chip, or an assigned range in KiB. The flash erases whole
// 4 KiB sectors, so a range that does not start and end on a sector boundary would erase bytes
// nobody named; it is refused, or widened to its sectors when asked (--align).

#include <cstdint>
#include <optional>
#include <string>

#include "result/Expected.h"

namespace qv {

struct EraseRangeArguments {
    std::optional<std::uint32_t> startKiB;
    std::optional<std::uint32_t> sizeKiB;
    bool align = false;
};

struct EraseRangePlan {
    bool wholeChip = true;
    std::uint32_t startKiB = 0;  // sector-aligned when not the whole chip
    std::uint32_t sizeKiB = 0;
};

// The plan, or why the arguments make none (no device needed to decide).
Expected<EraseRangePlan> PlanEraseRange(const EraseRangeArguments& arguments);

// Flash bytes [start, end) as "0x000C00 to 0x000FFF".
std::string FlashRangeText(std::uint64_t start, std::uint64_t end);

}  // namespace qv
