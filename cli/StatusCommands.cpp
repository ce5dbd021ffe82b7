// qvtool status and hid: the audio status registers and the HID media keys.

#include <memory>

#include "chip/AudioStatus.h"
#include "chip/Registers.h"
#include "cli/Commands.h"
#include "cli/ServiceSupport.h"

namespace qv {
namespace {

constexpr std::array<const char*, kHidKeyCodes.size()> kHidKeyNames{"prev", "vol-", "play", "vol+",
                                                                    "next"};

void Status(CliContext& context, Report& report) {
    WithOpenLink(context, report, Access::kReadOnly, [&](QuorvexUsb& usb) {
        StatusRegisters registers{};
        if (!ReadStatusRegisters(usb, registers)) {
            return report.Fail(Outcome::kDeviceFailure, "reading the status registers failed");
        }
        const AudioStatus status = DecodeAudioStatus(registers);
        report.Line(kConnectTexts[status.connected ? 0 : 1]);
        report["registers"] = {HexText(registers[0]), HexText(registers[1]), HexText(registers[2])};
        report["connected"] = status.connected;
        if (!status.connected) return;
        report.Line(kMuteTexts[status.muted ? 1 : 0]);
        report["muted"] = status.muted;
        if (status.muted) return;
        const std::string rate = TrimmedLeft(RateName(status.format, status.rateCode));
        report.Line(std::string("Input format: ") + kFormatTexts[status.format]);
        report.Line("Input rate: " + rate);
        report["format"] = kFormatTexts[status.format];
        report["rate"] = rate;
    });
}

void Hid(CliContext& context, Report& report, const std::string& key) {
    std::size_t n = 0;
    while (n < kHidKeyNames.size() && key != kHidKeyNames[n]) ++n;
    if (n == kHidKeyNames.size())
        return Refuse(report, "KEY must be prev, vol-, play, vol+ or next");
    WithOpenLink(context, report, Access::kChanges, [&](QuorvexUsb& usb) {
        report["key"] = key;
        switch (SendHidKey(usb, kHidKeyCodes[n])) {
            case HidKeyResult::Confirmed:
                report.Line("HID " + key + " sent; the chip confirmed it");
                break;
            case HidKeyResult::Unconfirmed:
                report.Fail(Outcome::kDeviceFailure,
                            "the chip did not confirm the key within 100 ms");
                break;
            case HidKeyResult::TransferFailed:
                report.Fail(Outcome::kDeviceFailure, "a transfer of the key command failed");
                break;
        }
    });
}

}  // namespace

void AddStatusCommands(CLI::App& app, CliContext& context) {
    context.Bind(app.add_subcommand("status", "USB connection, mute, input format and rate"),
                 "status", [&context](Report& r) { Status(context, r); });
    auto key = std::make_shared<std::string>();
    CLI::App* hid = app.add_subcommand("hid", "Send an HID media key through the chip");
    hid->add_option("KEY", *key, "prev, vol-, play, vol+ or next")->required();
    context.Bind(hid, "hid", [&context, key](Report& r) { Hid(context, r, *key); });
}

}  // namespace qv
