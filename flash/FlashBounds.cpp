#include "flash/FlashBounds.h"

namespace qv {
namespace {

// The size of the flash the known id names; empty without a known id or a size for it.
std::optional<std::uint32_t> KnownFlashSize(const FlashTarget& target) {
    const FlashId* id = KnownFlashId(target);
    return id != nullptr ? FlashSizeForId(*id) : std::nullopt;
}

}  // namespace

std::string OutsideFlash(const FlashTarget& target, std::uint64_t start, std::uint64_t end,
                         const char* what) {
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    if (!size || (start < *size && end <= *size)) return {};
    return std::string(what) + " does not fit in the " + std::to_string(*size / 1024) +
           " KiB flash";
}

std::string FitImageToFlash(const FlashTarget& target, FlashRange& range) {
    std::string why = OutsideFlash(target, range.start, range.end, "Image");
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    if (why.empty() && size && range.end == *size && range.end > range.start) {
        range.lastChecked = *size - 1;
    }
    return why;
}

std::optional<std::uint32_t> LastReadableByte(const FlashTarget& target, std::uint32_t end,
                                              std::string& why) {
    why = OutsideFlash(target, 0, end, "Read range");
    if (!why.empty()) return std::nullopt;
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    return size && end == *size ? end - 1 : end;
}

}  // namespace qv
