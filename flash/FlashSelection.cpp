#include "flash/FlashSelection.h"

namespace qv {

void SelectWholeRange(FlashSelection& selection) {
    selection.rangeAssigned = false;
    selection.flashRangeStart = 0;
    selection.flashRangeSize = kWholeRangeSize;
}

bool SelectAssignedRange(FlashSelection& selection, std::uint32_t startKiB, std::uint32_t sizeKiB) {
    const std::uint64_t start = std::uint64_t{startKiB} * 1024;
    const std::uint64_t size = std::uint64_t{sizeKiB} * 1024;
    if (start + size > kFlashAddressSpace) return false;
    selection.rangeAssigned = true;
    selection.flashRangeStart = static_cast<std::uint32_t>(start);
    selection.flashRangeSize = static_cast<std::uint32_t>(size);
    return true;
}

std::optional<FlashRange> ImageRange(const FlashSelection& selection, const FirmwareImage& image) {
    const std::uint64_t start = selection.rangeAssigned ? selection.flashRangeStart : 0;
    const std::uint64_t end = start + image.length;
    if (end >= kFlashAddressSpace) return std::nullopt;
    return FlashRange{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                      static_cast<std::uint32_t>(end)};
}

}  // namespace qv
