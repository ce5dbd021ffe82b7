#pragma once
// Arguments and output texts of the commands.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/Parameters.h"
#include "text/HexFormat.h"

namespace qv {

// Hexadecimal digits (either case), optionally after "0x"; nothing for anything else or a
// value beyond 32 bits.
std::optional<std::uint32_t> ParseHex(const std::string& text);
// Exactly 8 hexadecimal digits (optionally after "0x"), byte 0 first.
std::optional<SettingsRecord> ParseSettingsRecord(const std::string& text);
std::string TrimmedLeft(const std::string& text);

}  // namespace qv
