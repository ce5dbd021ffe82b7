#include "flash/FlashTarget.h"

#include <algorithm>

#include "text/HexFormat.h"

namespace qv {

void CopyImageBytes(const FirmwareImage& image, std::uint64_t offset, std::size_t count,
                    std::uint8_t* out) {
    const std::vector<std::uint8_t>& data = image.data;
    const std::uint64_t length = std::min<std::uint64_t>(image.length, data.size());
    const std::size_t inside =
        offset < length ? std::min<std::uint64_t>(count, length - offset) : 0;
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(offset), inside, out);
    std::fill_n(out + inside, count - inside, 0xFF);
}

std::uint16_t BlockSizeForId(const FlashId& id) {
    return id[0] == 0xC2 && id[1] == 0x22 ? kSmallPageBlockSize : kPageBlockSize;
}

bool ReadFlashId(FlashTarget& target) {
    const bool ok = FlashReadId(target.usb, target.flashIdBytes);
    target.flashId.reset();
    if (ok) target.flashId = target.flashIdBytes;
    target.flashIdFind = target.usb.FindCount();
    return ok;
}

bool ReadIdAndChooseBlockSize(FlashTarget& target) {
    const bool ok = ReadFlashId(target);
    target.programBlockSize = BlockSizeForId(target.flashIdBytes);
    return ok;
}

const FlashId* KnownFlashId(const FlashTarget& target) {
    if (!target.flashId || target.flashIdFind != target.usb.FindCount()) return nullptr;
    return &*target.flashId;
}

bool EnsureFlashId(FlashTarget& target) {
    if (const FlashId* id = KnownFlashId(target)) {
        target.programBlockSize = BlockSizeForId(*id);
        return true;
    }
    return ReadIdAndChooseBlockSize(target);
}

std::string Hex2(std::uint8_t value) {
    return HexText(value, 2);
}
std::string Hex6(std::uint32_t address) {
    return HexText(address, 6);
}

}  // namespace qv
