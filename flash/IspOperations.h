#pragma once
// The ISP page's single operations. Each opens the link, does its work and closes the link, so
// the window only maps a control to a call and the result to a caption.

#include <cstdint>
#include <string>

#include "flash/FlashContext.h"

namespace qv {

inline constexpr std::uint32_t kReadFlashEnd = 0x8000;  // the Read Flash button's range

// Enters ISP mode, or leaves it when ispModeActive. Does nothing and returns false when no
// device is present. ispModeActive changes only when the chip took the request (or restarted
// with it), so the caption ("Exit ISP" while active, else "Enter ISP") always names the next
// action. Leaving is tried even when the device stopped answering; when it fails, the reporter
// hears a warning, as for every closing step.
bool EnterOrLeaveIsp(FlashContext& context);

// Reads the flash id into flashIdBytes; on failure the previous bytes stay.
bool ReadChipId(FlashContext& context);
// "0xC2,  0x22,  0x15,  ": each id byte followed by a comma and two blanks.
std::string ChipIdCaption(const FlashId& id);

// The status register, 0xFF when it cannot be read.
std::uint8_t ReadStatusRegister(FlashContext& context);
// "0x" and the status as two digits.
std::string StatusCaption(std::uint8_t status);

// Writes the status register. No write enable is sent; the user sends one first.
bool WriteStatusRegister(FlashContext& context, std::uint8_t value);
bool SendWriteEnable(FlashContext& context);
bool SendWriteDisable(FlashContext& context);

// Blank check, program and verify of the image's range, with their start and success texts.
// Each reads the flash id first and refuses a range that reaches past the end of the flash the
// id names; the blank check and verify of a range up to that end stop at its last byte.
bool BlankCheckFlash(FlashContext& context);
bool ProgramFlash(FlashContext& context);
bool VerifyFlash(FlashContext& context);

// Reads flash [0, end] into readBackBuffer ("Read Flash data back", then
// "Read Flash content Success"). Reads the flash id first: an `end` past the flash the id names
// is refused, and an `end` equal to its size stops at its last byte.
bool ReadFlash(FlashContext& context, std::uint32_t end = kReadFlashEnd);

}  // namespace qv
