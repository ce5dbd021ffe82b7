#include "text/Windows1252.h"

#include <array>

namespace qv {
namespace {

// Bytes 0x80 to 0x9F; 0 marks the five unassigned codes.
constexpr std::array<char16_t, 32> kHighControlsBlock{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::optional<std::uint8_t> Windows1252Byte(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<std::uint8_t>(code);
    for (std::size_t i = 0; i < kHighControlsBlock.size(); ++i) {
        if (kHighControlsBlock[i] != 0 && kHighControlsBlock[i] == code) {
            return static_cast<std::uint8_t>(0x80 + i);
        }
    }
    return std::nullopt;
}

Expected<std::vector<std::uint8_t>, Windows1252Refusal> EncodeUtf8AsWindows1252(
    const std::string& text) {
    const Windows1252Refusal invalid{Windows1252Refusal::Reason::kInvalidUtf8, {}};
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) return invalid;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return invalid;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode are not valid UTF-8.
        const char32_t minimum = length == 1   ? 0
                                 : length == 2 ? 0x80
                                 : length == 3 ? 0x800
                                               : 0x10000;
        if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return invalid;
        }
        const auto byte = Windows1252Byte(code);
        if (!byte) {
            return Windows1252Refusal{Windows1252Refusal::Reason::kNoSuchCharacter,
                                      text.substr(i, length)};
        }
        bytes.push_back(*byte);
        i += length;
    }
    return bytes;
}

}  // namespace qv
