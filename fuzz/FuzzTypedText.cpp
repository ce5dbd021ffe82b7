// Typed numbers and Windows-1252 text, checked against rules written out here independently.
// Byte 0 chooses the conversion, the rest is the text:
//   0  hexadecimal digits: accepted exactly when the text is digits with a value within 32 bits,
//      and the value prints back as the text (leading zeros and case aside);
//   1  decimal digits up to 2147483647, the same way;
//   2  UTF-8 to Windows-1252: accepted exactly when the text is well-formed UTF-8 of characters
//      the code page has, the bytes decode to the same characters, and a refusal names the
//      first character without a code;
//   3  the rest as Windows-1252 bytes (the five unassigned codes left out), through UTF-8 and
//      back: the same bytes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "text/TypedNumber.h"
#include "text/Windows1252.h"

namespace {

using qv::fuzz::Check;

// The characters of bytes 0x80 to 0x9F, from the code page's published table; 0 is unassigned.
constexpr std::array<char32_t, 32> kCodePage80{
    U'€', 0,    U'‚', U'ƒ', U'„', U'…', U'†', U'‡', U'ˆ', U'‰', U'Š', U'‹', U'Œ', 0, U'Ž', 0,
    0,    U'‘', U'’', U'“', U'”', U'•', U'–', U'—', U'˜', U'™', U'š', U'›', U'œ', 0, U'ž', U'Ÿ'};

std::optional<char32_t> CharacterOf(std::uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const char32_t code = kCodePage80[byte - 0x80];
    if (code == 0) return std::nullopt;
    return code;
}

void AppendUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at the start of `text` (the byte ranges of the
// Unicode standard's table of well-formed sequences), 0 when there is none.
std::size_t WellFormedLength(std::string_view text) {
    struct Row {
        std::uint8_t lead[2], second[2];
        std::size_t length;
    };
    static constexpr Row kRows[] = {
        {{0xC2, 0xDF}, {0x80, 0xBF}, 2}, {{0xE0, 0xE0}, {0xA0, 0xBF}, 3},
        {{0xE1, 0xEC}, {0x80, 0xBF}, 3}, {{0xED, 0xED}, {0x80, 0x9F}, 3},
        {{0xEE, 0xEF}, {0x80, 0xBF}, 3}, {{0xF0, 0xF0}, {0x90, 0xBF}, 4},
        {{0xF1, 0xF3}, {0x80, 0xBF}, 4}, {{0xF4, 0xF4}, {0x80, 0x8F}, 4}};
    const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    if (at(0) < 0x80) return 1;
    for (const Row& row : kRows) {
        if (at(0) < row.lead[0] || at(0) > row.lead[1]) continue;
        if (text.size() < row.length || at(1) < row.second[0] || at(1) > row.second[1]) return 0;
        for (std::size_t i = 2; i < row.length; ++i)
            if (at(i) < 0x80 || at(i) > 0xBF) return 0;
        return row.length;
    }
    return 0;
}

// The character of a well-formed sequence.
char32_t CodeOf(std::string_view sequence) {
    const auto lead = static_cast<std::uint8_t>(sequence[0]);
    if (sequence.size() == 1) return lead;
    char32_t code = lead & (0xFF >> (sequence.size() + 1));
    for (std::size_t i = 1; i < sequence.size(); ++i)
        code = code << 6 | (static_cast<std::uint8_t>(sequence[i]) & 0x3F);
    return code;
}

std::optional<std::uint8_t> ByteOf(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<std::uint8_t>(code);
    for (std::size_t i = 0; i < kCodePage80.size(); ++i)
        if (kCodePage80[i] != 0 && kCodePage80[i] == code)
            return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

// The text's significant digits (leading zeros taken off, "0" for zero), in upper case, or
// nothing when a character is no digit of `base` or there is none.
std::optional<std::string> Digits(std::string_view text, int base) {
    if (text.empty()) return std::nullopt;
    std::string digits;
    for (const char c : text) {
        const bool decimal = c >= '0' && c <= '9';
        const bool hex = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!decimal && !(base == 16 && hex)) return std::nullopt;
        if (digits.empty() && c == '0') continue;
        digits += static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    }
    return digits.empty() ? "0" : digits;
}

void CheckNumber(std::string_view text, int base) {
    const std::uint32_t most = base == 16 ? 0xFFFFFFFFu : 0x7FFFFFFFu;
    const auto value = base == 16 ? qv::HexDigitsValue(text) : qv::DecimalDigitsValue(text, most);
    const auto digits = Digits(text, base);
    // Within range when the digits are fewer than the most's, or as many and not greater.
    const std::string mostDigits = base == 16 ? "FFFFFFFF" : "2147483647";
    const bool fits = digits && (digits->size() < mostDigits.size() ||
                                 (digits->size() == mostDigits.size() && *digits <= mostDigits));
    Check(value.has_value() == fits, "a number is accepted exactly when it is digits in range");
    if (!value) return;
    char printed[16];
    std::snprintf(printed, sizeof printed, base == 16 ? "%X" : "%u", *value);
    Check(*digits == printed, "an accepted number prints back as its digits");
}

void CheckUtf8(const std::string& text) {
    using Reason = qv::Windows1252Refusal::Reason;
    const auto bytes = qv::EncodeUtf8AsWindows1252(text);
    std::vector<std::uint8_t> expected;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = WellFormedLength(std::string_view(text).substr(i));
        if (length == 0) {
            Check(!bytes.ok() && bytes.problem().reason == Reason::kInvalidUtf8,
                  "ill-formed UTF-8 is refused as such");
            return;
        }
        const std::string_view character = std::string_view(text).substr(i, length);
        const std::optional<std::uint8_t> byte = ByteOf(CodeOf(character));
        if (!byte) {
            Check(!bytes.ok() && bytes.problem() == qv::Windows1252Refusal{Reason::kNoSuchCharacter,
                                                                           std::string(character)},
                  "the first character without a code is named");
            return;
        }
        expected.push_back(*byte);
        i += length;
    }
    Check(bytes.ok() && *bytes == expected, "every character gets its own byte");
}

void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> expected;
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (const auto code = CharacterOf(data[i])) {
            expected.push_back(data[i]);
            AppendUtf8(*code, text);
        }
    }
    const auto bytes = qv::EncodeUtf8AsWindows1252(text);
    Check(bytes.ok() && *bytes == expected, "Windows-1252 through UTF-8 comes back the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0:
            CheckNumber(text, 16);
            break;
        case 1:
            CheckNumber(text, 10);
            break;
        case 2:
            CheckUtf8(text);
            break;
        default:
            CheckRoundTrip(data + 1, size - 1);
            break;
    }
    return 0;
}
