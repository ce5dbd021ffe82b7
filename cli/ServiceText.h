#pragma once
// Arguments and output texts of the service commands.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/Parameters.h"

namespace qv {

// Hexadecimal digits (either case), optionally after "0x"; nothing for anything else or a
// value beyond 32 bits.
std::optional<std::uint32_t> ParseHex(const std::string& text);
// Upper-case hexadecimal, at least two digits.
std::string HexText(std::uint32_t value);
// Exactly 8 hexadecimal digits (optionally after "0x"), byte 0 first.
std::optional<SettingsRecord> ParseSettingsRecord(const std::string& text);
std::string TrimmedLeft(const std::string& text);
// UTF-8 text as Windows-1252 bytes. Nothing for invalid UTF-8 (`refused` empty) or for a
// character the code page lacks (`refused` holds it).
std::optional<std::vector<std::uint8_t>> EncodeUtf8AsWindows1252(const std::string& text,
                                                                 std::string& refused);

}  // namespace qv
