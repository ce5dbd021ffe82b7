#pragma once
// Text as the device stores it: one byte per character in the Windows-1252 code page, so that
// the tool sends the same bytes whatever the system's own code page is.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "result/Expected.h"

namespace qv {

// The byte for one character, or nothing when the code page has no such character (the C1
// controls, the five unassigned codes, anything beyond the code page, surrogate halves).
std::optional<std::uint8_t> Windows1252Byte(char32_t code);

// Why a text has no Windows-1252 form.
struct Windows1252Refusal {
    enum class Reason { kInvalidUtf8, kNoSuchCharacter };
    Reason reason;
    std::string character;  // kNoSuchCharacter: the first such character, as UTF-8
    bool operator==(const Windows1252Refusal&) const = default;
};

// UTF-8 text as Windows-1252 bytes.
Expected<std::vector<std::uint8_t>, Windows1252Refusal> EncodeUtf8AsWindows1252(
    const std::string& text);

}  // namespace qv
