#pragma once
// What must hold before anything is erased: a flash answers on the SPI port, and its protection
// came off when the status register was cleared.

#include <optional>
#include <string>

#include "flash/FlashReporter.h"
#include "flash/FlashTarget.h"

namespace qv {

// Why the sequence stops before the erase: the text shown, and the reason reported with it.
struct PreEraseFailure {
    std::string shown;
    StepReason reason;
};

// An id of all zeros or all ones is what a port with no flash behind it reads.
bool IsImpossibleFlashId(const FlashId& id);

// Reads the flash id (once more when the read fails) and chooses the block size from it. Empty
// when an id was read that a flash can give; otherwise "no flash answered; nothing was
// changed", with the read's failure or the id read.
std::optional<PreEraseFailure> ReadFlashIdTwice(FlashTarget& target);

// Clears the status register (as the original does: a status read, then write 0 and wait) and
// judges the status the flash shows afterwards: protect bits still set mean the clear was
// ignored (status register protected, write-protect pin held), and any erase would be too.
// Empty when the protection came off or the status could not be judged (the flash did not
// become idle; the erase then finds what is wrong).
std::optional<PreEraseFailure> ClearStatusAndCheckProtection(FlashTarget& target);

}  // namespace qv
