#pragma once
// Bytes as the window shows them: two upper-case hexadecimal digits.

#include <QString>
#include <cstdint>

namespace qv {

inline QString HexByte(std::uint8_t value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace qv
