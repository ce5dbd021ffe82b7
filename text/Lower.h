#pragma once
// ASCII letters in lower case, for ids and answers compared without regard to case.

#include <cctype>
#include <string>

namespace qv {

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace qv
