#pragma once
// Bytes as the window shows them: two upper-case hexadecimal digits.

#include <QString>
#include <cstdint>

#include "text/HexFormat.h"

namespace qv {

inline QString HexByte(std::uint8_t value) {
    return QString::fromStdString(HexText(value, 2));
}

}  // namespace qv
