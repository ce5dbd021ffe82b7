#pragma once
// Hexadecimal digits as the HEX loader and the typed hex fields read them.

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv {

namespace detail {
constexpr std::array<std::uint8_t, 256> MakeHexDigitTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) v = 0xFF;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    return t;
}
}  // namespace detail

// 0..15 for a hexadecimal digit, 0xFF for any other character.
inline constexpr std::array<std::uint8_t, 256> kHexDigitValue = detail::MakeHexDigitTable();

// Turns the first `count` characters into a number, four bits per character: '0'-'9', 'A'-'F'
// and 'a'-'f' give their value, any other character (NUL, line break, blank...) gives 0.
// Reads exactly `count` characters, never more; no error result. ("5\0", 2) gives 0x50.
std::uint32_t ParseHexDigits(const char* chars, std::size_t count);

}  // namespace qv
