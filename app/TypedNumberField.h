#pragma once
// Numbers typed into edits and grid cells. Hexadecimal texts are read as the handlers read
// them: "0x" is put in front, so the whole text must be hexadecimal digits (either case) and a
// text that already starts with "0x" fails. Values must fit 32 bits.

#include <QString>
#include <cstdint>
#include <optional>

namespace qv {

std::optional<std::uint32_t> TypedHexValue(const QString& text);
// Decimal digits only, at most 2147483647.
std::optional<std::uint32_t> TypedDecimalValue(const QString& text);
// The error box text for a text that did not convert: "'<converted>' is not a valid integer
// value", where `converted` is the text as it was handed to the conversion.
QString InvalidIntegerMessage(const QString& converted);
// The error box text for a hexadecimal number typed where one byte goes (a register, an I2C
// address): "'<typed>' does not fit in one byte: type 00 to FF".
QString ByteRangeMessage(const QString& typed);

}  // namespace qv
