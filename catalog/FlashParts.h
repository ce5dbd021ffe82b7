#pragma once
// The serial flash parts the tool knows, with their datasheet figures. The host bounds every
// flash operation by the size, waits for a chip erase up to its maximum time and judges the
// protection by the protect bits; the virtual device builds its flash from the same rows.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace qv {

// The id bytes (manufacturer, memory type, capacity) as the flash answers 0x9F.
using FlashId = std::array<std::uint8_t, 3>;

struct FlashTime {
    std::uint64_t typicalMicros = 0;
    std::uint64_t maximumMicros = 0;
};

struct FlashPart {
    FlashId id{};
    std::uint32_t size = 0;      // bytes
    std::uint32_t pageSize = 0;  // bytes a page program takes before it wraps
    // Block-protect bits in the status register, from bit 2 up: 2, 3 or 4. Writing 0xFF sets
    // them all.
    std::uint8_t protectBits = 0;
    FlashTime pageProgram;
    FlashTime sectorErase;  // 4 KiB
    FlashTime statusWrite;
    FlashTime chipErase;
};

namespace flash_parts {

inline constexpr std::uint32_t kKiB = 1024;
inline constexpr std::uint32_t kMiB = 1024 * kKiB;

// Page program, 4 KiB sector erase and status write are the same across these parts; a chip
// erase takes 2.5 s per MiB typically and at most 12.5 s per MiB.
inline constexpr FlashTime kPageProgram{.typicalMicros = 700, .maximumMicros = 3'000};
inline constexpr FlashTime kSectorErase{.typicalMicros = 45'000, .maximumMicros = 400'000};
inline constexpr FlashTime kStatusWrite{.typicalMicros = 10'000, .maximumMicros = 15'000};

// The rows by id, so that the virtual device's presets name a row instead of copying it.
inline constexpr FlashPart kEf4014{
    .id = {0xEF, 0x40, 0x14},
    .size = 1 * kMiB,
    .pageSize = 256,
    .protectBits = 3,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 2'500'000, .maximumMicros = 12'500'000},
};
inline constexpr FlashPart kEf4015{
    .id = {0xEF, 0x40, 0x15},
    .size = 2 * kMiB,
    .pageSize = 256,
    .protectBits = 3,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 5'000'000, .maximumMicros = 25'000'000},
};
inline constexpr FlashPart kEf4016{
    .id = {0xEF, 0x40, 0x16},
    .size = 4 * kMiB,
    .pageSize = 256,
    .protectBits = 3,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 10'000'000, .maximumMicros = 50'000'000},
};
inline constexpr FlashPart kEf4017{
    .id = {0xEF, 0x40, 0x17},
    .size = 8 * kMiB,
    .pageSize = 256,
    .protectBits = 3,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 20'000'000, .maximumMicros = 100'000'000},
};
// The small-page part: a page program wraps every 32 bytes.
inline constexpr FlashPart kC22214{
    .id = {0xC2, 0x22, 0x14},
    .size = 1 * kMiB,
    .pageSize = 32,
    .protectBits = 3,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 2'500'000, .maximumMicros = 12'500'000},
};

// Parts with fewer and more protect bits than the others.
inline constexpr FlashPart kC22012{
    .id = {0xC2, 0x20, 0x12},
    .size = 256 * kKiB,
    .pageSize = 256,
    .protectBits = 2,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 625'000, .maximumMicros = 3'125'000},
};
inline constexpr FlashPart kC22015{
    .id = {0xC2, 0x20, 0x15},
    .size = 2 * kMiB,
    .pageSize = 256,
    .protectBits = 4,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 5'000'000, .maximumMicros = 25'000'000},
};

}  // namespace flash_parts

// The known parts.
std::span<const FlashPart> FlashParts();
// The row for `id`, or null for a part not in the table.
const FlashPart* FindFlashPart(const FlashId& id);

// The status register bits that hold the part's protect bits, e.g. 0x1C for three.
std::uint8_t ProtectMask(const FlashPart& part);

// The flash's size: the table's. Empty for a part the table does not know: vendors encode the
// size in the id differently, and a guess must never refuse a valid image.
std::optional<std::uint32_t> FlashSizeForId(const FlashId& id);

// The datasheet maximum of a chip erase: the table's; for a part the table does not know
// (null), that of the largest flash 24-bit addresses reach, 16 MiB at 12.5 s per MiB as the
// table's parts, so that a slow part is never cut short on a guess.
std::uint64_t MaxChipEraseMicros(const FlashPart* part);

}  // namespace qv
