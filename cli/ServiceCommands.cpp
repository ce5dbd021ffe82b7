#include "cli/ServiceCommands.h"

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "chip/AudioStatus.h"
#include "chip/Parameters.h"
#include "chip/Registers.h"
#include "cli/ServiceText.h"

namespace qv {
namespace {

struct ServiceOptions {
    std::string reg, value, bank, address, which, text, settings;
    std::vector<std::string> bytes;
    unsigned count = 1;
};

// What a command prints: text lines, and the same as JSON fields (already JSON values).
struct Report {
    std::string command;
    std::vector<std::string> lines;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string error;  // empty on success
};

int Finish(CliContext& context, const Report& report) {
    const bool ok = report.error.empty();
    if (context.Json()) {
        context.Out() << "{\"command\": " << JsonQuote(report.command)
                      << ", \"success\": " << (ok ? "true" : "false");
        for (const auto& [name, value] : report.fields) {
            context.Out() << ", " << JsonQuote(name) << ": " << value;
        }
        context.Out() << ", \"message\": " << JsonQuote(report.error) << "}\n";
    } else {
        for (const std::string& line : report.lines) context.Out() << line << '\n';
    }
    if (!ok) context.Err() << "qvtool " << report.command << ": " << report.error << '\n';
    return ok ? 0 : 1;
}

// Bad input: a message, nothing sent.
int Refuse(CliContext& context, const std::string& command, const std::string& message) {
    context.Err() << "qvtool " << command << ": " << message << ". Nothing was sent.\n";
    return 1;
}

// A hexadecimal argument up to `max`, or nothing after a message.
std::optional<std::uint32_t> Hex(CliContext& context, const std::string& command,
                                 const std::string& name, const std::string& text,
                                 std::uint32_t max) {
    const auto value = ParseHex(text);
    if (!value) {
        Refuse(context, command, name + " '" + text + "' is not a hexadecimal number");
    } else if (*value > max) {
        Refuse(context, command, name + " " + HexText(*value) + " is above " + HexText(max));
    } else {
        return value;
    }
    return std::nullopt;
}

std::string JsonBool(bool value) {
    return value ? "true" : "false";
}

// Runs `work` on the first device found. ParamAccess opens and closes the link itself.
template <typename Work>
int WithDevice(CliContext& context, const std::string& command, Work work) {
    Report report;
    report.command = command;
    QuorvexUsb* usb = context.FindDevice();
    if (usb == nullptr) return 1;
    work(*usb, report);
    return Finish(context, report);
}

// The same with the link open; it is closed afterwards.
template <typename Work>
int WithOpenLink(CliContext& context, const std::string& command, Work work) {
    return WithDevice(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (usb.Open())
            work(usb, report);
        else
            report.error = "the device did not open";
        usb.Close();
    });
}

int RegRead(CliContext& context, const ServiceOptions& o) {
    const std::string command = "reg read";
    const auto reg = Hex(context, command, "REG", o.reg, 0xFFFF);
    if (!reg) return 1;
    const auto bank = o.bank.empty() ? std::optional<std::uint32_t>(std::nullopt)
                                     : Hex(context, command, "--bank", o.bank, 0xFF);
    if (!o.bank.empty() && !bank) return 1;
    if (o.count < 1 || o.count > 256 || *reg + o.count - 1 > 0xFFFF) {
        return Refuse(context, command, "--count must be 1 to 256 and stay within FFFF");
    }
    return WithOpenLink(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (bank && !RegSelectBank(usb, static_cast<std::uint8_t>(*bank))) {
            report.error = "selecting bank " + HexText(*bank) + " failed";
            return;
        }
        std::string values;
        for (std::uint32_t r = *reg; r < *reg + o.count; ++r) {
            std::uint8_t value = 0;
            if (!qv::RegRead(usb, static_cast<std::uint16_t>(r), value)) {
                report.error = "reading register " + HexText(r) + " failed";
                return;
            }
            report.lines.push_back(HexText(r) + ": " + HexText(value));
            values += (values.empty() ? "" : ", ") + JsonQuote(HexText(value));
        }
        report.fields.emplace_back("register", JsonQuote(HexText(*reg)));
        report.fields.emplace_back("values", "[" + values + "]");
    });
}

int RegWriteCommand(CliContext& context, const ServiceOptions& o) {
    const std::string command = "reg write";
    const auto reg = Hex(context, command, "REG", o.reg, 0xFFFF);
    if (!reg) return 1;
    const auto value = Hex(context, command, "VALUE", o.value, 0xFF);
    if (!value) return 1;
    const auto bank = o.bank.empty() ? std::optional<std::uint32_t>(std::nullopt)
                                     : Hex(context, command, "--bank", o.bank, 0xFF);
    if (!o.bank.empty() && !bank) return 1;
    return WithOpenLink(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (bank && !RegSelectBank(usb, static_cast<std::uint8_t>(*bank))) {
            report.error = "selecting bank " + HexText(*bank) + " failed";
            return;
        }
        std::uint8_t readBack = 0;
        if (!RegWrite(usb, static_cast<std::uint16_t>(*reg), static_cast<std::uint8_t>(*value))) {
            report.error = "writing register " + HexText(*reg) + " failed";
        } else if (!qv::RegRead(usb, static_cast<std::uint16_t>(*reg), readBack)) {
            report.error = "reading register " + HexText(*reg) + " back failed";
        } else {
            report.lines.push_back(HexText(*reg) + ": wrote " + HexText(*value) + ", reads back " +
                                   HexText(readBack));
            report.fields.emplace_back("register", JsonQuote(HexText(*reg)));
            report.fields.emplace_back("written", JsonQuote(HexText(*value)));
            report.fields.emplace_back("readBack", JsonQuote(HexText(readBack)));
        }
    });
}

std::string NoAcknowledge(std::uint32_t address) {
    return "the slave at " + HexText(address) +
           " did not acknowledge its address (absent, or the transfer failed)";
}

int I2cReadCommandLine(CliContext& context, const ServiceOptions& o) {
    const std::string command = "i2c read";
    const auto address = Hex(context, command, "ADDR", o.address, 0xFF);
    if (!address) return 1;
    const auto reg = Hex(context, command, "REG", o.reg, 0xFF);
    if (!reg) return 1;
    if (o.count < 1 || o.count > 255) return Refuse(context, command, "--count must be 1 to 255");
    return WithOpenLink(context, command, [&](QuorvexUsb& usb, Report& report) {
        I2cMasterEnable(usb);
        std::vector<std::uint8_t> buffer(o.count);
        if (!I2cRead(usb, static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(*reg),
                     static_cast<std::uint8_t>(o.count), buffer.data())) {
            report.error = NoAcknowledge(*address);
            return;
        }
        std::string values;
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            report.lines.push_back(HexText(*reg + i) + ": " + HexText(buffer[i]));
            values += (values.empty() ? "" : ", ") + JsonQuote(HexText(buffer[i]));
        }
        report.fields.emplace_back("address", JsonQuote(HexText(*address)));
        report.fields.emplace_back("register", JsonQuote(HexText(*reg)));
        report.fields.emplace_back("values", "[" + values + "]");
    });
}

int I2cWriteCommandLine(CliContext& context, const ServiceOptions& o) {
    const std::string command = "i2c write";
    const auto address = Hex(context, command, "ADDR", o.address, 0xFF);
    if (!address) return 1;
    const auto reg = Hex(context, command, "REG", o.reg, 0xFF);
    if (!reg) return 1;
    if (o.bytes.size() > 255) return Refuse(context, command, "at most 255 bytes fit one write");
    std::vector<std::uint8_t> data;
    for (const std::string& text : o.bytes) {
        const auto byte = Hex(context, command, "BYTE", text, 0xFF);
        if (!byte) return 1;
        data.push_back(static_cast<std::uint8_t>(*byte));
    }
    return WithOpenLink(context, command, [&](QuorvexUsb& usb, Report& report) {
        I2cMasterEnable(usb);
        if (!I2cWrite(usb, static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(*reg),
                      static_cast<std::uint8_t>(data.size()), data.data())) {
            report.error = NoAcknowledge(*address);
            return;
        }
        report.lines.push_back("Wrote " + std::to_string(data.size()) + " byte(s) to slave " +
                               HexText(*address) + " from register " + HexText(*reg));
        report.fields.emplace_back("address", JsonQuote(HexText(*address)));
        report.fields.emplace_back("register", JsonQuote(HexText(*reg)));
        report.fields.emplace_back("count", std::to_string(data.size()));
    });
}

// Device text from a UTF-8 argument, or nothing after a message.
std::optional<std::vector<std::uint8_t>> DeviceTextArgument(CliContext& context,
                                                            const std::string& command,
                                                            const std::string& text,
                                                            std::size_t limit) {
    std::string refused;
    const auto bytes = EncodeUtf8AsWindows1252(text, refused);
    if (!bytes) {
        Refuse(context, command,
               refused.empty() ? "TEXT is not valid UTF-8"
                               : "the character '" + refused + "' cannot be stored on the device");
    } else if (bytes->size() > limit) {
        Refuse(context, command,
               "TEXT has " + std::to_string(bytes->size()) + " characters, at most " +
                   std::to_string(limit) + " can be stored");
    } else {
        return bytes;
    }
    return std::nullopt;
}

int ParamId(CliContext& context, const ServiceOptions& o, bool vendor) {
    const std::string command = vendor ? "param vid" : "param pid";
    const auto bytes = DeviceTextArgument(context, command, o.text, kParamIdSize);
    if (!bytes) return 1;
    if (bytes->size() != kParamIdSize) {
        return Refuse(context, command, "TEXT must have exactly 4 characters");
    }
    return WithDevice(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (!WriteProductId(usb, vendor, *bytes)) {
            report.error = "the parameter transfer failed";
            return;
        }
        report.lines.push_back(std::string(vendor ? "VID" : "PID") + " set to " + o.text);
        report.fields.emplace_back("text", JsonQuote(o.text));
    });
}

int ParamString(CliContext& context, const ServiceOptions& o) {
    const std::string command = "param string";
    if (o.which != "1" && o.which != "2" && o.which != "3") {
        return Refuse(context, command, "the string number must be 1, 2 or 3");
    }
    const auto bytes = DeviceTextArgument(context, command, o.text, kParamStringMaxLength);
    if (!bytes) return 1;
    const std::size_t n = static_cast<std::size_t>(o.which[0] - '1');
    return WithDevice(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (!WriteProductString(usb, n, *bytes)) {
            report.error = "the parameter transfer failed; the string may be incomplete";
            return;
        }
        report.lines.push_back("String " + o.which + " set to " + o.text);
        report.fields.emplace_back("string", o.which);
        report.fields.emplace_back("text", JsonQuote(o.text));
    });
}

void DescribeSettings(const SettingsRecord& record, Report& report) {
    const SettingsFields f = DecodeSettings(record);
    const auto bits = [](bool is32) { return is32 ? "32 bit" : "24 bit"; };
    const auto yesNo = [](bool yes) { return yes ? "yes" : "no"; };
    std::string off;
    for (const auto& [name, set] : {std::pair{"MCLK", f.mclkOff}, std::pair{"I2S", f.i2sOff},
                                    std::pair{"SPDIF", f.spdifOff}}) {
        if (set) off += (off.empty() ? "" : ", ") + std::string(name);
    }
    const std::string hex =
        HexText(record[0]) + HexText(record[1]) + HexText(record[2]) + HexText(record[3]);
    const int mclk = kMclkFs[static_cast<std::size_t>(f.mclkChoice)];
    report.lines = {"Settings: " + hex,
                    std::string("EEPROM: ") + (f.eepromPresent ? "present" : "not available"),
                    std::string("I2S output length: ") + bits(f.i2s32Bit),
                    std::string("SPDIF output length: ") + bits(f.spdif32Bit),
                    std::string("I2S channel swap: ") + yesNo(f.i2sSwap),
                    std::string("DSD channel swap: ") + yesNo(f.dsdSwap),
                    "MCLK output: " + std::to_string(mclk) + " Fs",
                    std::string("I2S format: ") + (f.leftJustified ? "Left Justify" : "Standard"),
                    std::string("Output when DSD in: ") + (f.nativeDsd ? "DSD" : "DoP"),
                    "Outputs off: " + (off.empty() ? std::string("none") : off)};
    report.fields = {{"settings", JsonQuote(hex)},
                     {"eepromPresent", JsonBool(f.eepromPresent)},
                     {"i2sBits", f.i2s32Bit ? "32" : "24"},
                     {"spdifBits", f.spdif32Bit ? "32" : "24"},
                     {"i2sSwap", JsonBool(f.i2sSwap)},
                     {"dsdSwap", JsonBool(f.dsdSwap)},
                     {"mclkFs", std::to_string(mclk)},
                     {"i2sFormat", f.leftJustified ? "\"left justified\"" : "\"standard\""},
                     {"dsdOutput", f.nativeDsd ? "\"DSD\"" : "\"DoP\""},
                     {"mclkOff", JsonBool(f.mclkOff)},
                     {"i2sOff", JsonBool(f.i2sOff)},
                     {"spdifOff", JsonBool(f.spdifOff)}};
}

// Without --set: reads the record back. With it: writes the record, then reads it back.
int ParamSettings(CliContext& context, const ServiceOptions& o) {
    const std::string command = "param settings";
    std::optional<SettingsRecord> toWrite;
    if (!o.settings.empty()) {
        toWrite = ParseSettingsRecord(o.settings);
        if (!toWrite) {
            return Refuse(context, command,
                          "--set '" + o.settings + "' is not 8 hexadecimal digits (4 bytes)");
        }
    }
    return WithDevice(context, command, [&](QuorvexUsb& usb, Report& report) {
        if (toWrite && !WriteSystemSettings(usb, *toWrite)) {
            report.error = "writing the settings failed";
            return;
        }
        const auto record = ReadSystemSettings(usb);
        if (!record) {
            report.error = "reading the settings failed";
            return;
        }
        DescribeSettings(*record, report);
    });
}

int Status(CliContext& context) {
    return WithOpenLink(context, "status", [](QuorvexUsb& usb, Report& report) {
        StatusRegisters registers{};
        if (!ReadStatusRegisters(usb, registers)) {
            report.error = "reading the status registers failed";
            return;
        }
        const AudioStatus status = DecodeAudioStatus(registers);
        report.lines.push_back(kConnectTexts[status.connected ? 0 : 1]);
        report.fields.emplace_back("registers", "[" + JsonQuote(HexText(registers[0])) + ", " +
                                                    JsonQuote(HexText(registers[1])) + ", " +
                                                    JsonQuote(HexText(registers[2])) + "]");
        report.fields.emplace_back("connected", JsonBool(status.connected));
        if (!status.connected) return;
        report.lines.push_back(kMuteTexts[status.muted ? 1 : 0]);
        report.fields.emplace_back("muted", JsonBool(status.muted));
        if (status.muted) return;
        const std::string rate = TrimmedLeft(RateName(status.format, status.rateCode));
        report.lines.push_back(std::string("Input format: ") + kFormatTexts[status.format]);
        report.lines.push_back("Input rate: " + rate);
        report.fields.emplace_back("format", JsonQuote(kFormatTexts[status.format]));
        report.fields.emplace_back("rate", JsonQuote(rate));
    });
}

constexpr std::array<const char*, kHidKeyCodes.size()> kHidKeyNames{"prev", "vol-", "play", "vol+",
                                                                    "next"};

int Hid(CliContext& context, const std::string& key) {
    std::size_t n = 0;
    while (n < kHidKeyNames.size() && key != kHidKeyNames[n]) ++n;
    if (n == kHidKeyNames.size()) {
        return Refuse(context, "hid", "KEY must be prev, vol-, play, vol+ or next");
    }
    return WithOpenLink(context, "hid", [&](QuorvexUsb& usb, Report& report) {
        report.fields.emplace_back("key", JsonQuote(key));
        switch (SendHidKey(usb, kHidKeyCodes[n])) {
            case HidKeyResult::Confirmed:
                report.lines.push_back("HID " + key + " sent; the chip confirmed it");
                break;
            case HidKeyResult::Unconfirmed:
                report.error = "the chip did not confirm the key within 100 ms";
                break;
            case HidKeyResult::TransferFailed:
                report.error = "a transfer of the key command failed";
                break;
        }
    });
}

}  // namespace

void AddServiceCommands(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<ServiceOptions>();
    const auto run = [&context, o](CLI::App* command,
                                   int (*work)(CliContext&, const ServiceOptions&)) {
        command->callback([&context, o, work] { context.SetExitCode(work(context, *o)); });
    };

    CLI::App* reg = app.add_subcommand("reg", "Read or write chip registers (Register page)");
    reg->require_subcommand(1);
    CLI::App* regRead = reg->add_subcommand("read", "Read N registers from REG on");
    regRead->add_option("REG", o->reg, "Register number, hexadecimal")->required();
    regRead->add_option("--count", o->count, "How many registers (default 1)");
    regRead->add_option("--bank", o->bank, "Select this bank first, hexadecimal");
    run(regRead, RegRead);
    CLI::App* regWrite = reg->add_subcommand("write", "Write one register and read it back");
    regWrite->add_option("REG", o->reg, "Register number, hexadecimal")->required();
    regWrite->add_option("VALUE", o->value, "Byte, hexadecimal")->required();
    regWrite->add_option("--bank", o->bank, "Select this bank first, hexadecimal");
    run(regWrite, RegWriteCommand);

    CLI::App* i2c = app.add_subcommand("i2c", "Access a slave on the chip's I2C master");
    i2c->require_subcommand(1);
    CLI::App* i2cRead = i2c->add_subcommand("read", "Read N registers of a slave");
    i2cRead->add_option("ADDR", o->address, "8-bit slave address, hexadecimal")->required();
    i2cRead->add_option("REG", o->reg, "First register, hexadecimal")->required();
    i2cRead->add_option("--count", o->count, "How many bytes (default 1)");
    run(i2cRead, I2cReadCommandLine);
    CLI::App* i2cWrite = i2c->add_subcommand("write", "Write bytes to a slave's registers");
    i2cWrite->add_option("ADDR", o->address, "8-bit slave address, hexadecimal")->required();
    i2cWrite->add_option("REG", o->reg, "First register, hexadecimal")->required();
    i2cWrite->add_option("BYTE", o->bytes, "Bytes, hexadecimal")->required();
    run(i2cWrite, I2cWriteCommandLine);

    CLI::App* param = app.add_subcommand("param", "Product parameters in the device's EEPROM");
    param->require_subcommand(1);
    for (const bool vendor : {true, false}) {
        CLI::App* id =
            param->add_subcommand(vendor ? "vid" : "pid", vendor ? "Set the USB vendor id text"
                                                                 : "Set the USB product id text");
        id->add_option("TEXT", o->text, "Four characters")->required();
        id->callback([&context, o, vendor] { context.SetExitCode(ParamId(context, *o, vendor)); });
    }
    CLI::App* string = param->add_subcommand("string", "Set product string 1, 2 or 3");
    string->add_option("N", o->which, "1 manufacturer, 2 model name, 3 serial number")->required();
    string->add_option("TEXT", o->text, "At most 31 characters")->required();
    run(string, ParamString);
    CLI::App* settings =
        param->add_subcommand("settings", "Read back the audio output settings, decoded");
    settings->add_option("--set", o->settings, "Write these 4 bytes first: 8 hex digits");
    run(settings, ParamSettings);

    app.add_subcommand("status", "USB connection, mute, input format and rate")->callback([&] {
        context.SetExitCode(Status(context));
    });

    CLI::App* hid = app.add_subcommand("hid", "Send an HID media key through the chip");
    hid->add_option("KEY", o->which, "prev, vol-, play, vol+ or next")->required();
    hid->callback([&context, o] { context.SetExitCode(Hid(context, o->which)); });
}

}  // namespace qv
