#include "text/HexFormat.h"

namespace qv {
namespace {

const char* Digits(HexCase letters) {
    return letters == HexCase::kUpper ? "0123456789ABCDEF" : "0123456789abcdef";
}

}  // namespace

std::string HexText(std::uint32_t value, int digits, HexCase letters) {
    const char* const table = Digits(letters);
    std::string text;
    for (; value != 0 || static_cast<int>(text.size()) < digits; value >>= 4)
        text.insert(text.begin(), table[value & 0x0F]);
    return text;
}

void AppendHexBytes(std::string& text, const std::uint8_t* bytes, std::size_t count,
                    HexCase letters) {
    const char* const table = Digits(letters);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(table[bytes[i] >> 4]);
        text.push_back(table[bytes[i] & 0x0F]);
    }
}

}  // namespace qv
