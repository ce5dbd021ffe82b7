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
