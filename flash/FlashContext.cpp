#include "flash/FlashContext.h"

#include <fmt/format.h>

namespace qv {

FlashContext::FlashContext(QuorvexUsb& usb, FirmwareImage& image, FlashReporter& reporter)
    : usb(usb), image(image), reporter(reporter), readBackBuffer(kImageCapacity, 0) {}

void SelectWholeRange(FlashContext& context) {
    context.rangeAssigned = false;
    context.flashRangeStart = 0;
    context.flashRangeSize = kWholeRangeSize;
}

bool SelectAssignedRange(FlashContext& context, std::uint32_t startKiB, std::uint32_t sizeKiB) {
    const std::uint64_t start = std::uint64_t{startKiB} * 1024;
    const std::uint64_t size = std::uint64_t{sizeKiB} * 1024;
    if (start + size > kFlashAddressSpace) return false;
    context.rangeAssigned = true;
    context.flashRangeStart = static_cast<std::uint32_t>(start);
    context.flashRangeSize = static_cast<std::uint32_t>(size);
    return true;
}

std::optional<FlashRange> ImageRange(const FlashContext& context) {
    const std::uint64_t start = context.rangeAssigned ? context.flashRangeStart : 0;
    const std::uint64_t end = start + context.image.length;
    if (end >= kFlashAddressSpace) return std::nullopt;
    return FlashRange{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end)};
}

std::uint8_t ImageByte(const FlashContext& context, std::int64_t offset) {
    if (offset < 0 || static_cast<std::uint64_t>(offset) >= context.image.data.size()) return 0xFF;
    return context.image.data[static_cast<std::size_t>(offset)];
}

std::uint16_t BlockSizeForId(const FlashId& id) {
    return id[0] == 0xC2 && id[1] == 0x22 ? kSmallPageBlockSize : kPageBlockSize;
}

bool ReadIdAndChooseBlockSize(FlashContext& context) {
    const bool ok = FlashReadId(context.usb, context.flashIdBytes);
    context.programBlockSize = BlockSizeForId(context.flashIdBytes);
    return ok;
}

std::string Hex2(std::uint8_t value) {
    return fmt::format("{:02X}", value);
}
std::string Hex6(std::uint32_t address) {
    return fmt::format("{:06X}", address);
}

}  // namespace qv
