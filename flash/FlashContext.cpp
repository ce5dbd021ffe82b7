#include "flash/FlashContext.h"

#include <algorithm>

#include "text/HexFormat.h"

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
    return FlashRange{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end),
                      static_cast<std::uint32_t>(end)};
}

void CopyImageBytes(const FlashContext& context, std::uint64_t offset, std::size_t count,
                    std::uint8_t* out) {
    const std::vector<std::uint8_t>& data = context.image.data;
    const std::uint64_t length = std::min<std::uint64_t>(context.image.length, data.size());
    const std::size_t inside =
        offset < length ? std::min<std::uint64_t>(count, length - offset) : 0;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), inside, out);
    std::fill_n(out + inside, count - inside, 0xFF);
}

std::uint16_t BlockSizeForId(const FlashId& id) {
    return id[0] == 0xC2 && id[1] == 0x22 ? kSmallPageBlockSize : kPageBlockSize;
}

bool ReadFlashId(FlashContext& context) {
    const bool ok = FlashReadId(context.usb, context.flashIdBytes);
    context.flashId.reset();
    if (ok) context.flashId = context.flashIdBytes;
    context.flashIdFind = context.usb.FindCount();
    return ok;
}

bool ReadIdAndChooseBlockSize(FlashContext& context) {
    const bool ok = ReadFlashId(context);
    context.programBlockSize = BlockSizeForId(context.flashIdBytes);
    return ok;
}

const FlashId* KnownFlashId(const FlashContext& context) {
    if (!context.flashId || context.flashIdFind != context.usb.FindCount()) return nullptr;
    return &*context.flashId;
}

bool EnsureFlashId(FlashContext& context) {
    if (const FlashId* id = KnownFlashId(context)) {
        context.programBlockSize = BlockSizeForId(*id);
        return true;
    }
    return ReadIdAndChooseBlockSize(context);
}

std::string Hex2(std::uint8_t value) {
    return HexText(value, 2);
}
std::string Hex6(std::uint32_t address) {
    return HexText(address, 6);
}

}  // namespace qv
