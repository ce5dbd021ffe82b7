#pragma once
// A flash whose block-protect bits are set ignores erase and program commands without a word:
// the status says idle at once and nothing changed. Single erase and program operations check
// the bits first, and clear them only when asked.

#include <cstdint>

#include "flash/FlashReporter.h"
#include "flash/FlashTarget.h"

namespace qv {

// Reads the status register. With no block-protect bit set, true. Otherwise, without
// `unprotect`, false with "Flash is protected (status register 0xNN)"; with it, writes 0 to the
// status register and is true only when the bits read back clear ("Flash protection cleared
// (status register was 0xNN)").
// Opens and closes the link; a failed read or write fails as the read-status or write-status
// step.
bool MakeFlashWritable(FlashTarget& target, FlashReporter& reporter, bool unprotect);

}  // namespace qv
