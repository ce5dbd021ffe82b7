// qvtool reg read|write: chip registers, as on the Register page.

#include <memory>

#include "chip/Registers.h"
#include "cli/Commands.h"
#include "cli/ServiceSupport.h"

namespace qv {
namespace {

struct RegOptions {
    std::string reg, value, bank;
    unsigned count = 1;
};

// The bank argument when given; false after a refusal.
bool BankArgument(Report& report, const std::string& text, std::optional<std::uint32_t>& bank) {
    if (text.empty()) return true;
    bank = HexArgument(report, "--bank", text, 0xFF);
    return bank.has_value();
}

bool SelectBank(QuorvexUsb& usb, Report& report, const std::optional<std::uint32_t>& bank) {
    if (!bank || RegSelectBank(usb, static_cast<std::uint8_t>(*bank))) return true;
    report.Fail(Outcome::kDeviceFailure, "selecting bank " + HexText(*bank) + " failed");
    return false;
}

void Read(CliContext& context, Report& report, const RegOptions& o) {
    const auto reg = HexArgument(report, "REG", o.reg, 0xFFFF);
    std::optional<std::uint32_t> bank;
    if (!reg || !BankArgument(report, o.bank, bank)) return;
    if (o.count < 1 || o.count > 256 || *reg + o.count - 1 > 0xFFFF) {
        return Refuse(report, "--count must be 1 to 256 and stay within FFFF");
    }
    WithOpenLink(context, report, Access::kReadOnly, [&](QuorvexUsb& usb) {
        if (!SelectBank(usb, report, bank)) return;
        Report::Json values = Report::Json::array();
        for (std::uint32_t r = *reg; r < *reg + o.count; ++r) {
            std::uint8_t value = 0;
            if (!RegRead(usb, static_cast<std::uint16_t>(r), value)) {
                return report.Fail(Outcome::kDeviceFailure,
                                   "reading register " + HexText(r) + " failed");
            }
            report.Line(HexText(r) + ": " + HexText(value));
            values.push_back(HexText(value));
        }
        report["register"] = HexText(*reg);
        report["values"] = values;
    });
}

void Write(CliContext& context, Report& report, const RegOptions& o) {
    const auto reg = HexArgument(report, "REG", o.reg, 0xFFFF);
    if (!reg) return;
    const auto value = HexArgument(report, "VALUE", o.value, 0xFF);
    std::optional<std::uint32_t> bank;
    if (!value || !BankArgument(report, o.bank, bank)) return;
    WithOpenLink(context, report, Access::kChanges, [&](QuorvexUsb& usb) {
        if (!SelectBank(usb, report, bank)) return;
        std::uint8_t readBack = 0;
        if (!RegWrite(usb, static_cast<std::uint16_t>(*reg), static_cast<std::uint8_t>(*value))) {
            report.Fail(Outcome::kDeviceFailure, "writing register " + HexText(*reg) + " failed");
        } else if (!RegRead(usb, static_cast<std::uint16_t>(*reg), readBack)) {
            report.Fail(Outcome::kDeviceFailure,
                        "reading register " + HexText(*reg) + " back failed");
        } else {
            report.Line(HexText(*reg) + ": wrote " + HexText(*value) + ", reads back " +
                        HexText(readBack));
            report["register"] = HexText(*reg);
            report["written"] = HexText(*value);
            report["readBack"] = HexText(readBack);
        }
    });
}

}  // namespace

void AddRegCommand(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<RegOptions>();
    CLI::App* reg = app.add_subcommand("reg", "Read or write chip registers (Register page)");
    reg->require_subcommand(1);
    CLI::App* read = reg->add_subcommand("read", "Read N registers from REG on");
    read->add_option("REG", o->reg, "Register number, hexadecimal")->required();
    read->add_option("--count", o->count, "How many registers (default 1)");
    read->add_option("--bank", o->bank, "Select this bank first, hexadecimal");
    context.Bind(read, "reg read", [&context, o](Report& r) { Read(context, r, *o); });
    CLI::App* write = reg->add_subcommand("write", "Write one register and read it back");
    write->add_option("REG", o->reg, "Register number, hexadecimal")->required();
    write->add_option("VALUE", o->value, "Byte, hexadecimal")->required();
    write->add_option("--bank", o->bank, "Select this bank first, hexadecimal");
    context.Bind(write, "reg write", [&context, o](Report& r) { Write(context, r, *o); });
}

}  // namespace qv
