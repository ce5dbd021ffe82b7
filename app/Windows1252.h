#pragma once
// Text as the device stores it: one byte per character in the Windows-1252 code page, so that
// the tool sends the same bytes whatever the system's own code page is.

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
