#pragma once
// The read-based workers: blank check, verify and read-back walk the flash in 64-byte blocks
// from start to end, both inclusive. A failed read or a bad block is a strike, a clean block
// clears the strikes, and three strikes in a row on one block fail the walk. None of them opens
// or closes the link.

#include <cstdint>

#include "flash/FlashContext.h"

namespace qv {

inline constexpr std::uint32_t kReadBlockSize = 64;
inline constexpr int kStrikeLimit = 3;
inline constexpr std::uint8_t kReadBackFill = 0x5A;  // bytes never read successfully

// Every byte up to `end` reads 0xFF. Fails with "Blanking Fail at 0x" and the first byte found
// not erased (or the block address when no reading of the block succeeded).
bool BlankCheckRange(FlashContext& context, std::uint32_t start, std::uint32_t end);

// Every byte up to `end` equals the image byte at (address - start): the image is placed at
// `start`, which is 0 with "All" and flashRangeStart with "Assign Range". Fails with
// "Verifying Fail at 0x" and the address as for the blank check.
bool VerifyRange(FlashContext& context, std::uint32_t start, std::uint32_t end);

// Copies the flash into readBackBuffer at the same addresses, reading each block twice and
// accepting it when both readings agree. `end` must lie inside the buffer.
bool ReadBackRange(FlashContext& context, std::uint32_t start, std::uint32_t end);

}  // namespace qv
