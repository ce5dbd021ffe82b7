#include "text/TypedNumber.h"

#include <charconv>

namespace qv {
namespace {

// from_chars takes no sign and no prefix for an unsigned type, so only digits get through.
std::optional<std::uint32_t> DigitsValue(std::string_view digits, int base) {
    std::uint32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::uint32_t> HexDigitsValue(std::string_view digits) {
    return DigitsValue(digits, 16);
}

std::optional<std::uint32_t> DecimalDigitsValue(std::string_view digits, std::uint32_t most) {
    const auto value = DigitsValue(digits, 10);
    if (!value || *value > most) return std::nullopt;
    return value;
}

}  // namespace qv
