#include "app/TypedNumberField.h"

#include "text/TypedNumber.h"

namespace qv {

// A character outside ASCII becomes bytes that are no digit, so it fails as it should.
std::optional<std::uint32_t> TypedHexValue(const QString& text) {
    return HexDigitsValue(text.toStdString());
}

std::optional<std::uint32_t> TypedDecimalValue(const QString& text) {
    return DecimalDigitsValue(text.toStdString(), 0x7FFFFFFFu);
}

QString InvalidIntegerMessage(const QString& converted) {
    return QStringLiteral("'%1' is not a valid integer value").arg(converted);
}

QString ByteRangeMessage(const QString& typed) {
    return QStringLiteral("'%1' does not fit in one byte: type 00 to FF").arg(typed);
}

}  // namespace qv
