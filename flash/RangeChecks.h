#pragma once
// The read-based workers: blank check, verify and read-back walk the flash in 64-byte blocks
// from start to end, both inclusive. A failed read or a bad block is a strike, a clean block
// clears the strikes, and three strikes in a row on one block fail the walk. None of them opens
// or closes the link.

#include <cstdint>
#include <vector>

#include "flash/FlashRun.h"
#include "flash/FlashTarget.h"

namespace qv {

inline constexpr std::uint32_t kReadBlockSize = 64;
inline constexpr int kStrikeLimit = 3;
inline constexpr std::uint8_t kReadBackFill = 0x5A;  // bytes never read successfully

// Every byte up to `end` reads 0xFF. Fails with "Blanking Fail at 0x" and the first byte found
// not erased (or the block address when no reading of the block succeeded).
bool BlankCheckRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end);

// Every byte up to `end` equals the image byte at (address - start): the image is placed at
// `start`, which is 0 with "All" and flashRangeStart with "Assign Range". Fails with
// "Verifying Fail at 0x" and the address as for the blank check.
bool VerifyRange(FlashTarget& target, FlashRun& run, std::uint32_t start, std::uint32_t end);

// The flash read back: byte a of `bytes` is flash address a, for a up to the end read; bytes
// never read successfully are kReadBackFill, and bytes below the start 0.
struct FlashReadBack {
    bool complete = false;  // every block read, and confirmed by a second reading
    std::vector<std::uint8_t> bytes;
};

// Nothing read yet of [0, end]: kReadBackFill throughout. Empty when `end` lies past what a
// read-back holds (kImageCapacity bytes).
std::vector<std::uint8_t> UnreadFlash(std::uint32_t end);

// Reads flash [start, end], each block twice, accepting it when both readings agree. An `end`
// past kImageCapacity is refused before anything is read.
FlashReadBack ReadBackRange(FlashTarget& target, FlashRun& run, std::uint32_t start,
                            std::uint32_t end);

}  // namespace qv
