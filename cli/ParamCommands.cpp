// qvtool param vid|pid|string|settings: product parameters in the device's EEPROM, through
// the chip's parameter mailbox.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "chip/Parameters.h"
#include "cli/Commands.h"
#include "cli/ServiceSupport.h"
#include "text/Joined.h"
#include "text/Windows1252.h"

namespace qv {
namespace {

// The settings fields that can be set by name; empty means "leave as it is".
struct SettingsChoices {
    std::string i2sBits, spdifBits, i2sSwap, dsdSwap, mclk, i2sFormat, dsdOutput;
    std::string mclkOut, i2sOut, spdifOut;

    bool Any() const {
        for (const std::string* s : {&i2sBits, &spdifBits, &i2sSwap, &dsdSwap, &mclk, &i2sFormat,
                                     &dsdOutput, &mclkOut, &i2sOut, &spdifOut}) {
            if (!s->empty()) return true;
        }
        return false;
    }

    void Apply(SettingsFields& f) const {
        const auto set = [](const std::string& choice, bool& field, const char* on) {
            if (!choice.empty()) field = choice == on;
        };
        set(i2sBits, f.i2s32Bit, "32");
        set(spdifBits, f.spdif32Bit, "32");
        set(i2sSwap, f.i2sSwap, "on");
        set(dsdSwap, f.dsdSwap, "on");
        set(i2sFormat, f.leftJustified, "left");
        set(dsdOutput, f.nativeDsd, "dsd");
        set(mclkOut, f.mclkOff, "off");
        set(i2sOut, f.i2sOff, "off");
        set(spdifOut, f.spdifOff, "off");
        for (std::size_t i = 0; i < kMclkFs.size(); ++i) {
            if (mclk == std::to_string(kMclkFs[i])) f.mclkChoice = static_cast<int>(i);
        }
    }
};

struct ParamOptions {
    std::string which, text, settings;
    SettingsChoices choices;
};

constexpr const char* kUnconfirmed =
    "the device never confirmed the parameter access (no completion from its firmware)";

// Device text from a UTF-8 argument, or nothing after a refusal.
std::optional<std::vector<std::uint8_t>> DeviceTextArgument(Report& report, const std::string& text,
                                                            std::size_t limit) {
    const auto bytes = EncodeUtf8AsWindows1252(text);
    if (!bytes.ok()) {
        const Windows1252Refusal& refusal = bytes.problem();
        Refuse(report,
               refusal.reason == Windows1252Refusal::Reason::kInvalidUtf8
                   ? "TEXT is not valid UTF-8"
                   : "the character '" + refusal.character + "' cannot be stored on the device");
    } else if (bytes->size() > limit) {
        Refuse(report, "TEXT has " + std::to_string(bytes->size()) + " characters, at most " +
                           std::to_string(limit) + " can be stored");
    } else {
        return *bytes;
    }
    return std::nullopt;
}

void ParamId(CliContext& context, Report& report, const ParamOptions& o, bool vendor) {
    const auto bytes = DeviceTextArgument(report, o.text, kParamIdSize);
    if (!bytes) return;
    if (bytes->size() != kParamIdSize) return Refuse(report, "TEXT must have exactly 4 characters");
    WithDevice(context, report, Access::kChanges, [&](QuorvexUsb& usb) {
        bool confirmed = false;
        if (!WriteProductId(usb, vendor, *bytes, &confirmed)) {
            return report.Fail(Outcome::kDeviceFailure, "the parameter transfer failed");
        }
        if (!confirmed) return report.Fail(Outcome::kDeviceFailure, kUnconfirmed);
        report.Line(std::string(vendor ? "VID" : "PID") + " set to " + o.text);
        report["text"] = o.text;
    });
}

void ParamString(CliContext& context, Report& report, const ParamOptions& o) {
    if (o.which != "1" && o.which != "2" && o.which != "3") {
        return Refuse(report, "the string number must be 1, 2 or 3");
    }
    const auto bytes = DeviceTextArgument(report, o.text, kParamStringMaxLength);
    if (!bytes) return;
    const std::size_t n = static_cast<std::size_t>(o.which[0] - '1');
    WithDevice(context, report, Access::kChanges, [&](QuorvexUsb& usb) {
        bool confirmed = false;
        if (!WriteProductString(usb, n, *bytes, &confirmed)) {
            return report.Fail(Outcome::kDeviceFailure,
                               "the parameter transfer failed; the string may be incomplete");
        }
        if (!confirmed) return report.Fail(Outcome::kDeviceFailure, kUnconfirmed);
        report.Line("String " + o.which + " set to " + o.text);
        report["string"] = n + 1;
        report["text"] = o.text;
    });
}

void DescribeSettings(const SettingsRecord& record, Report& report) {
    const SettingsFields f = DecodeSettings(record);
    const auto bits = [](bool is32) { return is32 ? "32 bit" : "24 bit"; };
    const auto yesNo = [](bool yes) { return yes ? "yes" : "no"; };
    std::vector<std::string> outputsOff;
    for (const auto& [name, off] : {std::pair{"MCLK", f.mclkOff}, std::pair{"I2S", f.i2sOff},
                                    std::pair{"SPDIF", f.spdifOff}}) {
        if (off) outputsOff.push_back(name);
    }
    const std::string hex =
        HexText(record[0]) + HexText(record[1]) + HexText(record[2]) + HexText(record[3]);
    const int mclk = kMclkFs[static_cast<std::size_t>(f.mclkChoice)];
    report.Line("Settings: " + hex);
    report.Line(std::string("EEPROM: ") + (f.eepromPresent ? "present" : "not available"));
    report.Line(std::string("I2S output length: ") + bits(f.i2s32Bit));
    report.Line(std::string("SPDIF output length: ") + bits(f.spdif32Bit));
    report.Line(std::string("I2S channel swap: ") + yesNo(f.i2sSwap));
    report.Line(std::string("DSD channel swap: ") + yesNo(f.dsdSwap));
    report.Line("MCLK output: " + std::to_string(mclk) + " Fs");
    report.Line(std::string("I2S format: ") + (f.leftJustified ? "Left Justify" : "Standard"));
    report.Line(std::string("Output when DSD in: ") + (f.nativeDsd ? "DSD" : "DoP"));
    report.Line("Outputs off: " + (outputsOff.empty() ? "none" : Joined(outputsOff, ", ")));
    report["settings"] = hex;
    report["eepromPresent"] = f.eepromPresent;
    report["i2sBits"] = f.i2s32Bit ? 32 : 24;
    report["spdifBits"] = f.spdif32Bit ? 32 : 24;
    report["i2sSwap"] = f.i2sSwap;
    report["dsdSwap"] = f.dsdSwap;
    report["mclkFs"] = mclk;
    report["i2sFormat"] = f.leftJustified ? "left justified" : "standard";
    report["dsdOutput"] = f.nativeDsd ? "DSD" : "DoP";
    report["mclkOff"] = f.mclkOff;
    report["i2sOff"] = f.i2sOff;
    report["spdifOff"] = f.spdifOff;
}

// Reads the record; false after a failure in `report`.
bool ReadSettings(QuorvexUsb& usb, Report& report, SettingsRecord& record) {
    bool confirmed = false;
    const auto read = ReadSystemSettings(usb, &confirmed);
    if (!read) {
        report.Fail(Outcome::kDeviceFailure, "reading the settings failed");
        return false;
    }
    if (!confirmed) {
        report.Fail(Outcome::kDeviceFailure, kUnconfirmed);
        return false;
    }
    record = *read;
    return true;
}

// Without changes: reads the record back. With --set: writes the four bytes as given. With
// fields by name: reads the record, changes those fields only, writes it. Then reads it back.
void ParamSettings(CliContext& context, Report& report, const ParamOptions& o) {
    std::optional<SettingsRecord> raw;
    if (!o.settings.empty()) {
        raw = ParseSettingsRecord(o.settings);
        if (!raw) {
            return Refuse(report,
                          "--set '" + o.settings + "' is not 8 hexadecimal digits (4 bytes)");
        }
        if (o.choices.Any()) return Refuse(report, "--set and fields by name exclude each other");
    }
    const bool changes = raw || o.choices.Any();
    WithDevice(context, report, changes ? Access::kChanges : Access::kReadOnly,
               [&](QuorvexUsb& usb) {
                   SettingsRecord record{};
                   if (o.choices.Any()) {
                       if (!ReadSettings(usb, report, record)) return;
                       SettingsFields fields = DecodeSettings(record);
                       o.choices.Apply(fields);
                       raw = EncodeSettings(fields, record);
                   }
                   bool confirmed = false;
                   if (raw && !WriteSystemSettings(usb, *raw, &confirmed)) {
                       return report.Fail(Outcome::kDeviceFailure, "writing the settings failed");
                   }
                   if (raw && !confirmed) return report.Fail(Outcome::kDeviceFailure, kUnconfirmed);
                   if (ReadSettings(usb, report, record)) DescribeSettings(record, report);
               });
}

void AddSettingsFields(CLI::App& settings, SettingsChoices& c) {
    const auto field = [&settings](const char* name, std::string& value, const char* help,
                                   std::vector<std::string> choices) {
        settings.add_option(name, value, help)->check(CLI::IsMember(std::move(choices)));
    };
    field("--i2s-bits", c.i2sBits, "I2S output length", {"24", "32"});
    field("--spdif-bits", c.spdifBits, "SPDIF output length", {"24", "32"});
    field("--i2s-swap", c.i2sSwap, "I2S channel swap", {"on", "off"});
    field("--dsd-swap", c.dsdSwap, "DSD channel swap", {"on", "off"});
    field("--mclk", c.mclk, "MCLK output, in Fs", {"128", "256", "512", "1024"});
    field("--i2s-format", c.i2sFormat, "I2S format", {"standard", "left"});
    field("--dsd-output", c.dsdOutput, "Output when DSD comes in", {"dop", "dsd"});
    field("--mclk-out", c.mclkOut, "MCLK output", {"on", "off"});
    field("--i2s-out", c.i2sOut, "I2S output", {"on", "off"});
    field("--spdif-out", c.spdifOut, "SPDIF output", {"on", "off"});
}

}  // namespace

void AddParamCommand(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<ParamOptions>();
    CLI::App* param = app.add_subcommand("param", "Product parameters in the device's EEPROM");
    param->require_subcommand(1);
    for (const bool vendor : {true, false}) {
        CLI::App* id =
            param->add_subcommand(vendor ? "vid" : "pid", vendor ? "Set the USB vendor id text"
                                                                 : "Set the USB product id text");
        id->add_option("TEXT", o->text, "Four characters")->required();
        context.Bind(id, vendor ? "param vid" : "param pid",
                     [&context, o, vendor](Report& r) { ParamId(context, r, *o, vendor); });
    }
    CLI::App* string = param->add_subcommand("string", "Set product string 1, 2 or 3");
    string->add_option("N", o->which, "1 manufacturer, 2 model name, 3 serial number")->required();
    string->add_option("TEXT", o->text, "At most 31 characters")->required();
    context.Bind(string, "param string", [&context, o](Report& r) { ParamString(context, r, *o); });
    CLI::App* settings = param->add_subcommand(
        "settings",
        "Read back the audio output settings, decoded; the field options change only those "
        "fields (the other bytes of the record are kept)");
    AddSettingsFields(*settings, o->choices);
    settings->add_option("--set", o->settings,
                         "Experts: write these 4 bytes as they are, 8 hex digits (this replaces "
                         "every bit, including those the device keeps for itself)");
    context.Bind(settings, "param settings",
                 [&context, o](Report& r) { ParamSettings(context, r, *o); });
}

}  // namespace qv
