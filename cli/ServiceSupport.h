#pragma once
// What the register, I2C, parameter, status and HID commands share: checked arguments and the
// link they run on.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/CliContext.h"
#include "cli/Report.h"
#include "cli/ServiceText.h"

namespace qv {

// Bad input: a usage failure, nothing sent.
void Refuse(Report& report, const std::string& message);

// A hexadecimal argument up to `max`, or nothing after a refusal.
std::optional<std::uint32_t> HexArgument(Report& report, const std::string& name,
                                         const std::string& text, std::uint32_t max);

// Runs `work(usb)` on the chosen device; a transfer that failed on the way fails the command
// even where the chip commands carry on regardless. ParamAccess opens and closes the link.
template <typename Work>
void WithDevice(CliContext& context, Report& report, Access access, Work work) {
    QuorvexUsb* usb = context.FindDevice(report, access);
    if (usb == nullptr) return;
    const int failedBefore = context.FailedTransfers();
    work(*usb);
    const int failed = context.FailedTransfers() - failedBefore;
    if (failed > 0) {
        report.Fail(Outcome::kDeviceFailure,
                    std::to_string(failed) + " transfer(s) to the device failed");
    }
    report.AddReason("", usb->LastFailure());
}

// The same with the link open; it is closed afterwards.
template <typename Work>
void WithOpenLink(CliContext& context, Report& report, Access access, Work work) {
    WithDevice(context, report, access, [&](QuorvexUsb& usb) {
        if (usb.Open())
            work(usb);
        else
            report.Fail(Outcome::kNoDevice, "the device did not open");
        usb.Close();
    });
}

}  // namespace qv
