#include "text/HexDigits.h"

namespace qv {

std::uint32_t ParseHexDigits(const char* chars, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t d = kHexDigitValue[static_cast<unsigned char>(chars[i])];
        value = value * 16 + (d > 15 ? 0u : d);
    }
    return value;
}

}  // namespace qv
