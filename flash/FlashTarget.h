#pragma once
// The flash being worked on: the link to its device, the image meant for it, and what was
// learnt of the flash (its id and the program block size that follows from it).

#include <cstdint>
#include <optional>
#include <string>

#include "chip/FlashCommands.h"
#include "image/FirmwareImage.h"
#include "usb/QuorvexUsb.h"

namespace qv {

inline constexpr std::uint16_t kSmallPageBlockSize = 32;  // the C2 22 flash
inline constexpr std::uint16_t kPageBlockSize = 256;

struct FlashTarget {
    FlashTarget(QuorvexUsb& usb, FirmwareImage& image) : usb(usb), image(image) {}

    QuorvexUsb& usb;
    FirmwareImage& image;

    std::uint16_t programBlockSize = 0;  // 0 until chosen from the flash id
    FlashId flashIdBytes{};              // the last id read, as the Chip ID caption shows it
    // The id of the flash behind the device the link found, read since it was found: what
    // bounds the work, times a chip erase and judges protection. Empty until read, and when the
    // latest read failed.
    std::optional<FlashId> flashId;
    std::uint64_t flashIdFind = 0;  // the link's FindCount() when flashId was read
};

// Copies `count` image bytes from `offset` into `out`. Bytes past the image's length read as
// erased flash (0xFF), whatever the buffer holds there: programming leaves them erased and
// verify expects them erased, so both work on the same bytes.
void CopyImageBytes(const FirmwareImage& image, std::uint64_t offset, std::size_t count,
                    std::uint8_t* out);

// 32-byte blocks for the flash that answers C2 22, 256 for any other.
std::uint16_t BlockSizeForId(const FlashId& id);
// Reads the flash id into flashIdBytes and, when the read succeeded, flashId; on failure the
// bytes stay and no id is known.
bool ReadFlashId(FlashTarget& target);
// Reads the flash id and chooses programBlockSize from it; false when the read failed (the
// size then follows the id read before, and no id is known).
bool ReadIdAndChooseBlockSize(FlashTarget& target);
// The id read from the device the link found last; null when none was read since, or the
// latest read failed.
const FlashId* KnownFlashId(const FlashTarget& target);
// The known id, or else one read now: each single operation reads the id at most once per
// device found, and a sequence reads it once at its start.
bool EnsureFlashId(FlashTarget& target);

// Upper-case hexadecimal of fixed width, as every caption shows numbers.
std::string Hex2(std::uint8_t value);
std::string Hex6(std::uint32_t address);

}  // namespace qv
