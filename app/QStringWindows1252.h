#pragma once
// The window's texts as the device stores them (text/Windows1252.h), one UTF-16 unit at a time.

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace qv {

// The byte for one UTF-16 code unit, or nothing when the code page has no such character
// (the C1 controls, the five unassigned codes, anything beyond it, surrogate halves).
std::optional<std::uint8_t> Windows1252Byte(QChar c);

struct EncodedText {
    std::vector<std::uint8_t> bytes;  // complete only when `refused` is empty
    QString refused;                  // the first character without a code
};
EncodedText EncodeWindows1252(const QString& text);

}  // namespace qv
