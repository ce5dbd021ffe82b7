#include "platform/FlashParts.h"

#include <algorithm>

namespace qv {
namespace {

constexpr std::uint32_t kMiB = 1024 * 1024;
constexpr std::uint64_t kChipEraseMaxMicrosPerMiB = 12'500'000;

// Page program, 4 KiB sector erase and status write are the same across these parts; a chip
// erase takes 2.5 s per MiB typically and at most 12.5 s per MiB.
constexpr FlashTime kPageProgram{700, 3'000};
constexpr FlashTime kSectorErase{45'000, 400'000};
constexpr FlashTime kStatusWrite{10'000, 15'000};

constexpr FlashPart kParts[] = {
    {{0xEF, 0x40, 0x14},
     1 * kMiB,
     256,
     kPageProgram,
     kSectorErase,
     kStatusWrite,
     {2'500'000, 12'500'000}},
    {{0xEF, 0x40, 0x15},
     2 * kMiB,
     256,
     kPageProgram,
     kSectorErase,
     kStatusWrite,
     {5'000'000, 25'000'000}},
    {{0xEF, 0x40, 0x16},
     4 * kMiB,
     256,
     kPageProgram,
     kSectorErase,
     kStatusWrite,
     {10'000'000, 50'000'000}},
    {{0xEF, 0x40, 0x17},
     8 * kMiB,
     256,
     kPageProgram,
     kSectorErase,
     kStatusWrite,
     {20'000'000, 100'000'000}},
    // The small-page part: a page program wraps every 32 bytes.
    {{0xC2, 0x22, 0x14},
     1 * kMiB,
     32,
     kPageProgram,
     kSectorErase,
     kStatusWrite,
     {2'500'000, 12'500'000}},
};

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
