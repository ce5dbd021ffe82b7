#pragma once
// ASCII letters in one case, for ids and answers compared without regard to case and for
// headings written in capitals.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace qv {

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether `a` and `b` are the same text, ASCII letter case aside.
inline bool SameLetters(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

inline std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace qv
