#pragma once
// What the flash operations share between calls: the link, the image, the reporter, and the
// values the ISP page and the update sequences keep from one operation to the next.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/FlashCommands.h"
#include "flash/FlashReporter.h"
#include "image/FirmwareImage.h"
#include "usb/QuorvexUsb.h"

namespace qv {

inline constexpr std::uint32_t kWholeRangeSize = 0x8000;       // flashRangeSize with "All"
inline constexpr std::uint32_t kFlashAddressSpace = 1u << 24;  // 24-bit flash addresses
inline constexpr std::uint16_t kSmallPageBlockSize = 32;       // the C2 22 flash
inline constexpr std::uint16_t kPageBlockSize = 256;

struct FlashContext {
    FlashContext(QuorvexUsb& usb, FirmwareImage& image, FlashReporter& reporter);

    QuorvexUsb& usb;
    FirmwareImage& image;
    FlashReporter& reporter;

    std::uint16_t programBlockSize = 0;  // 0 until chosen from the flash id
    FlashId flashIdBytes{};              // the last id read, as the Chip ID caption shows it
    // The id of the flash behind the device the link found, read since it was found: what
    // bounds the work, times a chip erase and judges protection. Empty until read, and when the
    // latest read failed.
    std::optional<FlashId> flashId;
    std::uint64_t flashIdFind = 0;  // the link's FindCount() when flashId was read
    bool flashStepFailed = false;
    bool ispModeActive = false;
    bool rangeAssigned = false;  // "Assign Range" rather than "All"
    std::uint32_t flashRangeStart = 0;
    std::uint32_t flashRangeSize = kWholeRangeSize;
    bool stopRequested = false;
    // Where the latest long step ended on a stop request: the first address left undone. The
    // sequences and the single operations clear it as they start.
    std::optional<std::uint32_t> stoppedAt;
    std::vector<std::uint8_t> readBackBuffer;  // kImageCapacity bytes, allocated once
};

// Flash addresses [start, end]: the image placed at 0 ("All") or at flashRangeStart.
struct FlashRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    std::uint32_t lastChecked = 0;  // inclusive end of the blank check and verify: end, or
                                    // one less at the very end of the flash
};

// "All": the image goes to flash address 0 and the erase covers the whole chip.
void SelectWholeRange(FlashContext& context);
// "Assign Range": start and size in KiB. Refused, leaving the range as it was, when the range
// reaches past the 24-bit flash address space.
bool SelectAssignedRange(FlashContext& context, std::uint32_t startKiB, std::uint32_t sizeKiB);
// Where the image lies in the flash; empty when its end would pass the flash address space.
std::optional<FlashRange> ImageRange(const FlashContext& context);

// Copies `count` image bytes from `offset` into `out`. Bytes past the image's length read as
// erased flash (0xFF), whatever the buffer holds there: programming leaves them erased and
// verify expects them erased, so both work on the same bytes.
void CopyImageBytes(const FlashContext& context, std::uint64_t offset, std::size_t count,
                    std::uint8_t* out);

// 32-byte blocks for the flash that answers C2 22, 256 for any other.
std::uint16_t BlockSizeForId(const FlashId& id);
// Reads the flash id into flashIdBytes and, when the read succeeded, flashId; on failure the
// bytes stay and no id is known.
bool ReadFlashId(FlashContext& context);
// Reads the flash id and chooses programBlockSize from it; false when the read failed (the
// size then follows the id read before, and no id is known).
bool ReadIdAndChooseBlockSize(FlashContext& context);
// The id read from the device the link found last; null when none was read since, or the
// latest read failed.
const FlashId* KnownFlashId(const FlashContext& context);
// The known id, or else one read now: each single operation reads the id at most once per
// device found, and a sequence reads it once at its start.
bool EnsureFlashId(FlashContext& context);

// Upper-case hexadecimal of fixed width, as every caption shows numbers.
std::string Hex2(std::uint8_t value);
std::string Hex6(std::uint32_t address);

}  // namespace qv
