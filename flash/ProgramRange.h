#pragma once
// Programs the image into the flash in blocks of programBlockSize bytes.

#include <cstdint>

#include "flash/FlashRun.h"
#include "flash/FlashTarget.h"

namespace qv {

inline constexpr int kReadyPollLimit = 10;  // after each program block, 1 ms apart

// Programs flash [start, end) with the image placed at `start`, skipping blocks
// that are all 0xFF. When no block size has been chosen yet, reads the flash id first and
// chooses it. Does not open or close the link. Fails with "Programming Fail at 0x" and the
// block address when the flash stays busy or a command does not go through.
bool ProgramRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end);

}  // namespace qv
