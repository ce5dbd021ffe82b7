#pragma once
// The serial flash parts the tool knows, with their datasheet figures. The host bounds every
// flash operation by the size and waits for a chip erase up to its maximum time; the virtual
// device builds its flash from the same rows.

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
    FlashTime pageProgram;
    FlashTime sectorErase;  // 4 KiB
    FlashTime statusWrite;
    FlashTime chipErase;
};

namespace flash_parts {

inline constexpr std::uint32_t kMiB = 1024 * 1024;

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
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 2'500'000, .maximumMicros = 12'500'000},
};
inline constexpr FlashPart kEf4015{
    .id = {0xEF, 0x40, 0x15},
    .size = 2 * kMiB,
    .pageSize = 256,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 5'000'000, .maximumMicros = 25'000'000},
};
inline constexpr FlashPart kEf4016{
    .id = {0xEF, 0x40, 0x16},
    .size = 4 * kMiB,
    .pageSize = 256,
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 10'000'000, .maximumMicros = 50'000'000},
};
inline constexpr FlashPart kEf4017{
    .id = {0xEF, 0x40, 0x17},
    .size = 8 * kMiB,
    .pageSize = 256,
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
    .pageProgram = kPageProgram,
    .sectorErase = kSectorErase,
    .statusWrite = kStatusWrite,
    .chipErase = {.typicalMicros = 2'500'000, .maximumMicros = 12'500'000},
};

}  // namespace flash_parts

// The known parts.
std::span<const FlashPart> FlashParts();
// The row for `id`, or null for a part not in the table.
const FlashPart* FindFlashPart(const FlashId& id);

// The flash's size as the id names it: the table's, or else 2^n bytes for a capacity byte n
// naming 64 KiB to 16 MiB; empty when neither says.
std::optional<std::uint32_t> FlashSizeForId(const FlashId& id);

// The datasheet maximum of a chip erase: the table's, or else in proportion to the size the id
// names (12.5 s per MiB, as the table's parts); empty when the id names no size.
std::optional<std::uint64_t> MaxChipEraseMicros(const FlashId& id);

}  // namespace qv
