#include "cli/ServiceText.h"

#include "text/TypedNumber.h"

namespace qv {
namespace {

std::string_view WithoutPrefix(const std::string& text) {
    std::string_view view = text;
    if (view.size() > 2 && view[0] == '0' && (view[1] == 'x' || view[1] == 'X')) {
        view.remove_prefix(2);
    }
    return view;
}

}  // namespace

std::optional<std::uint32_t> ParseHex(const std::string& text) {
    return HexDigitsValue(WithoutPrefix(text));
}

std::optional<SettingsRecord> ParseSettingsRecord(const std::string& text) {
    const std::string_view digits = WithoutPrefix(text);
    if (digits.size() != 8) return std::nullopt;
    const auto value = HexDigitsValue(digits);
    if (!value) return std::nullopt;
    return SettingsRecord{
        static_cast<std::uint8_t>(*value >> 24), static_cast<std::uint8_t>(*value >> 16),
        static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value)};
}

std::string TrimmedLeft(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace qv
