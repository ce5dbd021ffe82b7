#include "flash/FlashProtection.h"

#include "catalog/FlashParts.h"
#include "flash/FlashWaits.h"
#include "flash/StepFailure.h"

namespace qv {
namespace {

// Any of the part's protect bits set; of a part the table does not know, any of the three that
// every part has.
bool Protected(const FlashContext& context, std::uint8_t status) {
    constexpr std::uint8_t kCommonProtectBits = 0x1C;
    const FlashId* id = KnownFlashId(context);
    const FlashPart* part = id != nullptr ? FindFlashPart(*id) : nullptr;
    return (status & (part != nullptr ? ProtectMask(*part) : kCommonProtectBits)) != 0;
}

bool CheckWithLink(FlashContext& context, bool unprotect) {
    FlashReporter& reporter = context.reporter;
    BeginStep(context);
    const std::uint8_t status = FlashReadStatus(context.usb);
    if (!context.usb.LastFailure().ok()) {
        ReportStepFailure(context, FlashStep::kReadStatus);
        reporter.ProcessInfo("Reading the flash status failed");
        return false;
    }
    if (!Protected(context, status)) return true;
    if (!unprotect) {
        reporter.ProcessInfo("Flash is protected (status register 0x" + Hex2(status) + ")");
        return false;
    }
    BeginStep(context);
    std::uint8_t after = status;
    if (!SetFlashStatusAndWait(context, 0, &after) || Protected(context, after)) {
        ReportStepFailure(context, FlashStep::kWriteStatus);
        reporter.ProcessInfo("Flash protection could not be cleared (status register 0x" +
                             Hex2(after) + ")");
        return false;
    }
    reporter.ProcessInfo("Flash protection cleared (status register was 0x" + Hex2(status) + ")");
    return true;
}

}  // namespace

bool MakeFlashWritable(FlashContext& context, bool unprotect) {
    if (!OpenLink(context)) {
        context.reporter.ProcessInfo("Reading the flash status failed");
        return false;
    }
    const bool writable = CheckWithLink(context, unprotect);
    context.usb.Close();
    return writable;
}

}  // namespace qv
