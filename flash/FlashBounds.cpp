#include "flash/FlashBounds.h"

namespace qv {
namespace {

// The size of the flash the known id names; empty without a known id or a size for it.
std::optional<std::uint32_t> KnownFlashSize(const FlashTarget& target) {
    const FlashId* id = KnownFlashId(target);
    return id != nullptr ? FlashSizeForId(*id) : std::nullopt;
}

}  // namespace

Expected<void> InsideFlash(const FlashTarget& target, std::uint64_t start, std::uint64_t end,
                           const char* what) {
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    if (!size || (start < *size && end <= *size)) return {};
    return Problem{FailureKind::kOther, std::string(what) + " does not fit in the " +
                                            std::to_string(*size / 1024) + " KiB flash"};
}

Expected<void> FitImageToFlash(const FlashTarget& target, FlashRange& range) {
    Expected<void> inside = InsideFlash(target, range.start, range.end, "Image");
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    if (inside.ok() && size && range.end == *size && range.end > range.start) {
        range.lastChecked = *size - 1;
    }
    return inside;
}

Expected<std::uint32_t> LastReadableByte(const FlashTarget& target, std::uint32_t end) {
    if (const Expected<void> inside = InsideFlash(target, 0, end, "Read range"); !inside.ok())
        return inside.problem();
    const std::optional<std::uint32_t> size = KnownFlashSize(target);
    return size && end == *size ? end - 1 : end;
}

}  // namespace qv
