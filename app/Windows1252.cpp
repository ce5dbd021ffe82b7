#include "app/Windows1252.h"

#include <array>

namespace qv {

namespace {
// Bytes 0x80 to 0x9F; 0 marks the five unassigned codes.
constexpr std::array<char16_t, 32> kHighControlsBlock{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

std::optional<std::uint8_t> Windows1252Byte(QChar c) {
    const char16_t code = c.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<std::uint8_t>(code);
    for (std::size_t i = 0; i < kHighControlsBlock.size(); ++i) {
        if (kHighControlsBlock[i] != 0 && kHighControlsBlock[i] == code) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

EncodedText EncodeWindows1252(const QString& text) {
    EncodedText encoded;
    encoded.bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = Windows1252Byte(text[i]);
        if (!byte) {
            // A character beyond the basic plane is named whole, not by half a surrogate pair.
            const bool pair = text[i].isHighSurrogate() && i + 1 < text.size();
            encoded.refused = text.mid(i, pair ? 2 : 1);
            break;
        }
        encoded.bytes.push_back(*byte);
    }
    return encoded;
}

}  // namespace qv
