#include "flash/ClosingSteps.h"

#include <string>

#include "flash/FlashWaits.h"

namespace qv {
namespace {

// How long a device that refused the way out is watched for leaving the bus: a restarting chip
// may answer with an error before the system notices that it is gone.
constexpr int kGoneChecks = 5;
constexpr std::uint32_t kGoneCheckSleepMs = 100;

// The block-protect bits a part sets when 0xFF is written to its status register; empty for a
// part the table does not know.
std::optional<std::uint8_t> ExpectedProtectBits(const FlashId& id) {
    const FlashPart* part = FindFlashPart(id);
    if (part == nullptr) return std::nullopt;
    return ProtectMask(*part);
}

std::string IdText(const FlashId& id) {
    return Hex2(id[0]) + Hex2(id[1]) + Hex2(id[2]);
}

// A request that failed because the device left the bus or stopped answering, or one after
// which the device is no longer listed.
bool WentAway(QuorvexUsb& usb) {
    const FailureKind kind = usb.LastFailure().kind();
    if (kind == FailureKind::kGone || kind == FailureKind::kTimedOut ||
        kind == FailureKind::kNotFound)
        return true;
    for (int check = 0; check < kGoneChecks; ++check) {
        if (!usb.StillListed()) return true;
        usb.Api().Sleep(kGoneCheckSleepMs);
    }
    return false;
}

}  // namespace

StepOutcome ProtectFlash(FlashTarget& target) {
    QuorvexUsb& usb = target.usb;
    usb.TryOnceMore();
    std::uint8_t status = 0xFF;
    if (!SetFlashStatusAndWait(target, 0xFF, &status)) {
        if (!usb.LastFailure().ok())
            return StepOutcome::Failed(StepReason::DeviceFailure(usb.LastFailure()));
        return StepOutcome::Failed(StepReason::Finding(
            "the flash stayed busy after its status register was written (status 0x" +
            Hex2(status) + ")"));
    }
    const FlashId* id = KnownFlashId(target);
    const std::optional<std::uint8_t> expected =
        id != nullptr ? ExpectedProtectBits(*id) : std::nullopt;
    if (!expected || (status & *expected) == *expected) return StepOutcome::Done();
    return StepOutcome::Failed(StepReason::Finding(
        "the status register reads 0x" + Hex2(status) + " after 0xFF was written; the " +
        IdText(*id) + " flash sets its protect bits 0x" + Hex2(*expected)));
}

StepOutcome LeaveIspMode(QuorvexUsb& usb, FlashReporter& reporter) {
    const bool wasAnswering = usb.Answering();
    usb.TryOnceMore();
    if (IspEnterMode(usb, false)) return StepOutcome::Done();
    StepReason reason = WhyStepFailed(usb, FlashStep::kLeaveIsp);
    if (wasAnswering && WentAway(usb)) {
        reporter.Note("The device restarted on leaving ISP mode");
        return StepOutcome::Done();
    }
    return StepOutcome::Failed(std::move(reason));
}

}  // namespace qv
