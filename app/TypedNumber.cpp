#include "app/TypedNumber.h"

namespace qv {

std::optional<std::uint32_t> TypedHexValue(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const QChar c : text) {
        const char ch = c.toLatin1();
        int digit = -1;
        if (ch >= '0' && ch <= '9') digit = ch - '0';
        if (ch >= 'a' && ch <= 'f') digit = ch - 'a' + 10;
        if (ch >= 'A' && ch <= 'F') digit = ch - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> TypedDecimalValue(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - '0');
        if (value > 0x7FFFFFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

QString InvalidIntegerMessage(const QString& converted) {
    return QStringLiteral("'%1' is not a valid integer value").arg(converted);
}

}  // namespace qv
