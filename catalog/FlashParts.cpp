#include "catalog/FlashParts.h"

#include <algorithm>

namespace qv {
namespace {

using namespace flash_parts;

constexpr std::uint64_t kChipEraseMaxMicrosPerMiB = 12'500'000;
constexpr std::uint64_t kLargestFlashMiB = 16;  // what 24-bit addresses reach

constexpr FlashPart kParts[] = {kEf4014, kEf4015, kEf4016, kEf4017, kC22214, kC22012, kC22015};

}  // namespace

std::span<const FlashPart> FlashParts() {
    return kParts;
}

const FlashPart* FindFlashPart(const FlashId& id) {
    const auto it = std::find_if(std::begin(kParts), std::end(kParts),
                                 [&](const FlashPart& part) { return part.id == id; });
    return it == std::end(kParts) ? nullptr : &*it;
}

std::uint8_t ProtectMask(const FlashPart& part) {
    return static_cast<std::uint8_t>(((1u << part.protectBits) - 1) << 2);
}

std::optional<std::uint32_t> FlashSizeForId(const FlashId& id) {
    if (const FlashPart* part = FindFlashPart(id)) return part->size;
    return std::nullopt;
}

std::uint64_t MaxChipEraseMicros(const FlashPart* part) {
    if (part != nullptr) return part->chipErase.maximumMicros;
    return kChipEraseMaxMicrosPerMiB * kLargestFlashMiB;
}

}  // namespace qv
