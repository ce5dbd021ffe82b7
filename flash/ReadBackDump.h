#pragma once
// The text dump of a flash read-back: rows of 16 bytes "0xHH, ", each row ended by a lone
// carriage return.

#include <cstdint>
#include <string>
#include <vector>

#include "result/Expected.h"

namespace qv {

// Writes rows p = 0, 16, 32, ... while p < end of `buffer` (which must hold those rows) to
// `path` as OutputFile.h describes (links followed, only regular files replaced, and only once
// the text is complete); else "Cannot write <why>".
Expected<void> WriteReadBackDump(const std::vector<std::uint8_t>& buffer, std::uint32_t end,
                                 const std::string& path);

}  // namespace qv
