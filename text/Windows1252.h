#pragma once
// Text as the device stores it: one byte per character in the Windows-1252 code page, so that
// the tool sends the same bytes whatever the system's own code page is.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// The byte for one character, or nothing when the code page has no such character (the C1
// controls, the five unassigned codes, anything beyond the code page, surrogate halves).
std::optional<std::uint8_t> Windows1252Byte(char32_t code);

// UTF-8 text as Windows-1252 bytes. Nothing for invalid UTF-8 (`refused` empty) or for a
// character the code page lacks (`refused` holds it).
std::optional<std::vector<std::uint8_t>> EncodeUtf8AsWindows1252(const std::string& text,
                                                                 std::string& refused);

}  // namespace qv
