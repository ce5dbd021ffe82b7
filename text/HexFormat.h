#pragma once
// Numbers and bytes as hexadecimal digits, as the tool prints them: upper case unless a format
// asks for lower case (traffic logs, interface paths).

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

enum class HexCase { kUpper, kLower };

// `value` in at least `digits` hexadecimal digits, zero-padded: HexText(0xA, 2) is "0A",
// HexText(0x1234, 2) is "1234".
std::string HexText(std::uint32_t value, int digits = 2, HexCase letters = HexCase::kUpper);

// Appends two digits per byte.
void AppendHexBytes(std::string& text, const std::uint8_t* bytes, std::size_t count,
                    HexCase letters = HexCase::kUpper);

}  // namespace qv
