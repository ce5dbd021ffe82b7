#pragma once
// ASCII letters in one case, for ids and answers compared without regard to case and for
// headings written in capitals.

#include <cctype>
#include <string>

namespace qv {

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

inline std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace qv
