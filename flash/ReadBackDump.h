#pragma once
// The text dump of a flash read-back: rows of 16 bytes "0xHH, ", each row ended by a lone
// carriage return.

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

struct DumpResult {
    bool written = false;
    std::string message;  // why the file was not written
};

// Writes rows p = 0, 16, 32, ... while p < end of `buffer` (which must hold those rows) to
// `path`. The text goes to a temporary file in the same folder that is renamed over `path` only
// once complete, so a failure never leaves a partial file under that name.
DumpResult WriteReadBackDump(const std::vector<std::uint8_t>& buffer, std::uint32_t end,
                             const std::string& path);

}  // namespace qv
