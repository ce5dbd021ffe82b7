#pragma once
// The ISP page's single operations. Each opens the link, does its work and closes the link, so
// the window only maps a control to a call and the result to a caption.

#include <cstdint>
#include <string>

#include "flash/FlashRun.h"
#include "flash/FlashSelection.h"
#include "flash/FlashTarget.h"
#include "flash/RangeChecks.h"

namespace qv {

inline constexpr std::uint32_t kReadFlashEnd = 0x8000;  // the Read Flash button's range

// Enters ISP mode, or leaves it when `ispModeActive`. Does nothing and returns false when no
// device is present. `ispModeActive` changes only when the chip took the request (or restarted
// with it), so the caption ("Exit ISP" while active, else "Enter ISP") always names the next
// action. Leaving is tried even when the device stopped answering; when it fails, the reporter
// hears a warning, as for every closing step.
bool EnterOrLeaveIsp(QuorvexUsb& usb, FlashReporter& reporter, bool& ispModeActive);

// Reads the flash id into flashIdBytes; on failure the previous bytes stay.
bool ReadChipId(FlashTarget& target, FlashReporter& reporter);
// "0xC2,  0x22,  0x15,  ": each id byte followed by a comma and two blanks.
std::string ChipIdCaption(const FlashId& id);

// The status register, 0xFF when it cannot be read.
std::uint8_t ReadStatusRegister(QuorvexUsb& usb, FlashReporter& reporter);
// "0x" and the status as two digits.
std::string StatusCaption(std::uint8_t status);

// Writes the status register. No write enable is sent; the user sends one first.
bool WriteStatusRegister(QuorvexUsb& usb, FlashReporter& reporter, std::uint8_t value);
bool SendWriteEnable(QuorvexUsb& usb, FlashReporter& reporter);
bool SendWriteDisable(QuorvexUsb& usb, FlashReporter& reporter);

// Blank check, program and verify of the image's range, with their start and success texts.
// Each reads the flash id first and refuses a range that reaches past the end of the flash the
// id names; the blank check and verify of a range up to that end stop at its last byte.
bool BlankCheckFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run);
bool ProgramFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run);
bool VerifyFlash(FlashTarget& target, const FlashSelection& selection, FlashRun& run);

// Reads flash [0, end] ("Read Flash data back", then "Read Flash content Success"). Reads the
// flash id first: an `end` past the flash the id names is refused (nothing is read), and an
// `end` equal to its size stops at its last byte.
FlashReadBack ReadFlash(FlashTarget& target, FlashRun& run, std::uint32_t end = kReadFlashEnd);

}  // namespace qv
