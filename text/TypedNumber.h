#pragma once
// Numbers typed into the window's fields and the command line's arguments, after each front end
// has taken off what it allows around them (the command line's "0x").

#include <cstdint>
#include <optional>
#include <string_view>

namespace qv {

// Hexadecimal digits only (either case), at least one, the value within 32 bits.
std::optional<std::uint32_t> HexDigitsValue(std::string_view digits);
// Decimal digits only, at least one, the value at most `most`.
std::optional<std::uint32_t> DecimalDigitsValue(std::string_view digits, std::uint32_t most);

}  // namespace qv
