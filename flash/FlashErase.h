#pragma once
// Erasing the flash, whole or by 4 KiB sectors, and waiting for the flash to finish.

#include <string>

#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashSteps.h"
#include "flash/FlashTarget.h"
#include "result/Expected.h"

namespace qv {

inline constexpr std::uint32_t kSectorSize = 0x1000;
inline constexpr std::uint32_t kEraseSettleMs = 10;

// Where the chip erase shows its progress: the ISP page (process info and status register) or
// the one-button update's step text.
enum class EraseDisplay { kIspPage, kStepText };

// Write enable, chip erase, then status polls until the flash is idle or the wait's bound has
// passed (WaitFlashIdle), showing "Flash Erase All " with one more dot every 20 polls. True
// when the flash finished erasing.
bool EraseChip(FlashTarget& target, FlashReporter& reporter, EraseDisplay display);

// Each 4 KiB sector of the assigned range, polled like the chip; a sector that does not finish
// does not stop the others. True when every sector finished (an empty range erases nothing).
bool EraseSectors(FlashTarget& target, const FlashSelection& selection, FlashRun& run);

// The Erase button: opens the link, reads the flash id unless known, erases the chip ("All")
// or the assigned sectors and closes the link. Sectors past the end of the flash the id names
// are refused before anything is erased. On failure shows "Erase Flash Fail".
bool EraseFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run);

// The erase step of the "Auto" sequence, counted among its `steps`: as EraseFlash, with the id
// the sequence read (a failed read stays unknown rather than being tried again) and the stop
// request it holds.
bool EraseFlashInSequence(StepRunner& steps, FlashTarget& target, const FlashSelection& selection,
                          FlashRun& run);

// Success when the erase EraseFlash would do stays inside the flash that the known id names;
// otherwise why not.
Expected<void> EraseInsideFlash(const FlashTarget& target, const FlashSelection& selection);

}  // namespace qv
