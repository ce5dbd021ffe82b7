#include "catalog/FlashParts.h"

#include <algorithm>

namespace qv {
namespace {

using namespace flash_parts;

constexpr std::uint64_t kChipEraseMaxMicrosPerMiB = 12'500'000;

constexpr FlashPart kParts[] = {kEf4014, kEf4015, kEf4016, kEf4017, kC22214};

}  // namespace

std::span<const FlashPart> FlashParts() {
    return kParts;
}

const FlashPart* FindFlashPart(const FlashId& id) {
    const auto it = std::find_if(std::begin(kParts), std::end(kParts),
                                 [&](const FlashPart& part) { return part.id == id; });
    return it == std::end(kParts) ? nullptr : &*it;
}

std::optional<std::uint32_t> FlashSizeForId(const FlashId& id) {
    if (const FlashPart* part = FindFlashPart(id)) return part->size;
    if (id[2] < 16 || id[2] > 24) return std::nullopt;
    return 1u << id[2];
}

std::optional<std::uint64_t> MaxChipEraseMicros(const FlashId& id) {
    if (const FlashPart* part = FindFlashPart(id)) return part->chipErase.maximumMicros;
    const std::optional<std::uint32_t> size = FlashSizeForId(id);
    if (!size) return std::nullopt;
    return kChipEraseMaxMicrosPerMiB * *size / kMiB;
}

}  // namespace qv
