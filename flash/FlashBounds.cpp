#include "flash/FlashBounds.h"

namespace qv {
namespace {

// The size of the flash the known id names; empty without a known id or a size for it.
std::optional<std::uint32_t> KnownFlashSize(const FlashContext& context) {
    const FlashId* id = KnownFlashId(context);
    return id != nullptr ? FlashSizeForId(*id) : std::nullopt;
}

}  // namespace

std::string OutsideFlash(const FlashContext& context, std::uint64_t start, std::uint64_t end,
                         const char* what) {
    const std::optional<std::uint32_t> size = KnownFlashSize(context);
    if (!size || (start < *size && end <= *size)) return {};
    return std::string(what) + " does not fit in the " + std::to_string(*size / 1024) +
           " KiB flash";
}

std::string FitImageToFlash(const FlashContext& context, FlashRange& range) {
    std::string why = OutsideFlash(context, range.start, range.end, "Image");
    const std::optional<std::uint32_t> size = KnownFlashSize(context);
    if (why.empty() && size && range.end == *size && range.end > range.start) {
        range.lastChecked = *size - 1;
    }
    return why;
}

std::optional<std::uint32_t> LastReadableByte(const FlashContext& context, std::uint32_t end,
                                              std::string& why) {
    why = OutsideFlash(context, 0, end, "Read range");
    if (!why.empty()) return std::nullopt;
    const std::optional<std::uint32_t> size = KnownFlashSize(context);
    return size && end == *size ? end - 1 : end;
}

}  // namespace qv
