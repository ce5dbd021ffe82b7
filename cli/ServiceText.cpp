#include "cli/ServiceText.h"

#include <charconv>
#include <cstdio>

namespace qv {
namespace {

std::string_view WithoutPrefix(const std::string& text) {
    std::string_view view = text;
    if (view.size() > 2 && view[0] == '0' && (view[1] == 'x' || view[1] == 'X')) {
        view.remove_prefix(2);
    }
    return view;
}

// Length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::optional<std::uint32_t> ParseHex(const std::string& text) {
    const std::string_view digits = WithoutPrefix(text);
    std::uint32_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::string HexText(std::uint32_t value) {
    char text[12];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

std::optional<SettingsRecord> ParseSettingsRecord(const std::string& text) {
    const std::string_view digits = WithoutPrefix(text);
    if (digits.size() != 8) return std::nullopt;
    const auto value = ParseHex(std::string(digits));
    if (!value) return std::nullopt;
    return SettingsRecord{
        static_cast<std::uint8_t>(*value >> 24), static_cast<std::uint8_t>(*value >> 16),
        static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value)};
}

std::string TrimmedLeft(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::optional<std::vector<std::uint8_t>> EncodeUtf8AsWindows1252(const std::string& text,
                                                                 std::string& refused) {
    refused.clear();
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond Unicode are not valid UTF-8.
        const char32_t minimum = length == 1   ? 0
                                 : length == 2 ? 0x80
                                 : length == 3 ? 0x800
                                               : 0x10000;
        if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return std::nullopt;
        }
        const auto byte = Windows1252Byte(code);
        if (!byte) {
            refused = text.substr(i, length);
            return std::nullopt;
        }
        bytes.push_back(*byte);
        i += length;
    }
    return bytes;
}

}  // namespace qv
