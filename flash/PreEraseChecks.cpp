#include "flash/PreEraseChecks.h"

#include "flash/FlashWaits.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

constexpr const char* kNoFlashText = "no flash answered; nothing was changed";

// The block-protect bits every part has (BP0, BP1): what is judged for a part the table does not
// know, whose other status bits may mean something else.
constexpr std::uint8_t kCommonProtectBits = 0x0C;

std::uint8_t ProtectBitsOf(const FlashTarget& target) {
    const FlashId* id = KnownFlashId(target);
    const FlashPart* part = id != nullptr ? FindFlashPart(*id) : nullptr;
    return part != nullptr ? ProtectMask(*part) : kCommonProtectBits;
}

}  // namespace

bool IsImpossibleFlashId(const FlashId& id) {
    return id == FlashId{0x00, 0x00, 0x00} || id == FlashId{0xFF, 0xFF, 0xFF};
}

std::optional<PreEraseFailure> ReadFlashIdTwice(FlashTarget& target) {
    if (!ReadIdAndChooseBlockSize(target) && !ReadIdAndChooseBlockSize(target))
        return PreEraseFailure{kNoFlashText, WhyStepFailed(target.usb, FlashStep::kReadId)};
    const FlashId& id = target.flashIdBytes;
    if (!IsImpossibleFlashId(id)) return std::nullopt;
    return PreEraseFailure{kNoFlashText, StepReason::Finding("the id reads " + Hex2(id[0]) + " " +
                                                             Hex2(id[1]) + " " + Hex2(id[2]))};
}

std::optional<PreEraseFailure> ClearStatusAndCheckProtection(FlashTarget& target) {
    FlashReadStatus(target.usb);
    std::uint8_t after = 0;
    if (!SetFlashStatusAndWait(target, 0, &after)) return std::nullopt;
    if ((after & ProtectBitsOf(target)) == 0) return std::nullopt;
    return PreEraseFailure{
        "the flash is write-protected (status 0x" + Hex2(after) + "; write-protect pin held?)",
        StepReason::Finding("its protect bits stayed set when the status register was cleared")};
}

}  // namespace qv
