#include "flash/FlashProtection.h"

#include "catalog/FlashParts.h"
#include "flash/FlashSteps.h"
#include "flash/FlashWaits.h"

namespace qv {
namespace {

// Any of the part's protect bits set; of a part the table does not know, any of the three that
// every part has.
bool Protected(const FlashTarget& target, std::uint8_t status) {
    constexpr std::uint8_t kCommonProtectBits = 0x1C;
    const FlashId* id = KnownFlashId(target);
    const FlashPart* part = id != nullptr ? FindFlashPart(*id) : nullptr;
    return (status & (part != nullptr ? ProtectMask(*part) : kCommonProtectBits)) != 0;
}

constexpr const char* kReadFailedText = "Reading the flash status failed";

bool CheckWithLink(StepRunner& steps, FlashTarget& target, FlashReporter& reporter,
                   bool unprotect) {
    QuorvexUsb& usb = target.usb;
    std::uint8_t status = 0;
    if (!steps.Run({FlashStep::kReadStatus}, [&] {
            status = FlashReadStatus(usb);
            return Judged(usb, FlashStep::kReadStatus, usb.LastFailure().ok());
        })) {
        reporter.ProcessInfo(kReadFailedText);
        return false;
    }
    if (!Protected(target, status)) return true;
    if (!unprotect) {
        reporter.ProcessInfo("Flash is protected (status register 0x" + Hex2(status) + ")");
        return false;
    }
    std::uint8_t after = status;
    if (!steps.Run({FlashStep::kWriteStatus}, [&] {
            const bool cleared =
                SetFlashStatusAndWait(target, 0, &after) && !Protected(target, after);
            return Judged(usb, FlashStep::kWriteStatus, cleared);
        })) {
        reporter.ProcessInfo("Flash protection could not be cleared (status register 0x" +
                             Hex2(after) + ")");
        return false;
    }
    reporter.ProcessInfo("Flash protection cleared (status register was 0x" + Hex2(status) + ")");
    return true;
}

}  // namespace

bool MakeFlashWritable(FlashTarget& target, FlashReporter& reporter, bool unprotect) {
    StepRunner steps(target.usb, reporter);
    if (!steps.OpenLink()) {
        reporter.ProcessInfo(kReadFailedText);
        return false;
    }
    const bool writable = CheckWithLink(steps, target, reporter, unprotect);
    target.usb.Close();
    return writable;
}

}  // namespace qv
