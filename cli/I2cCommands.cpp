// qvtool i2c read|write: a slave on the chip's I2C master.

#include <memory>
#include <vector>

#include "chip/Registers.h"
#include "cli/Commands.h"
#include "cli/ServiceSupport.h"

namespace qv {
namespace {

struct I2cOptions {
    std::string address, reg;
    std::vector<std::string> bytes;
    unsigned count = 1;
};

std::string NoAcknowledge(std::uint32_t address) {
    return "the slave at " + HexText(address) +
           " did not acknowledge its address (absent, or the transfer failed)";
}

void Read(CliContext& context, Report& report, const I2cOptions& o) {
    const auto address = HexArgument(report, "ADDR", o.address, 0xFF);
    if (!address) return;
    const auto reg = HexArgument(report, "REG", o.reg, 0xFF);
    if (!reg) return;
    // Slave registers are numbered 00 to FF; the read does not wrap past FF.
    if (o.count < 1 || *reg + o.count - 1 > 0xFF) {
        return Refuse(report, "--count must be 1 to " + std::to_string(0x100 - *reg) +
                                  " so that the registers stay within FF");
    }
    WithOpenLink(context, report, Access::kReadOnly, [&](QuorvexUsb& usb) {
        I2cMasterEnable(usb);
        std::vector<std::uint8_t> buffer(o.count);
        if (!I2cRead(usb, static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(*reg),
                     static_cast<std::uint8_t>(o.count), buffer.data())) {
            return report.Fail(Outcome::kDeviceFailure, NoAcknowledge(*address));
        }
        Report::Json values = Report::Json::array();
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            report.Line(HexText(*reg + static_cast<std::uint32_t>(i)) + ": " + HexText(buffer[i]));
            values.push_back(HexText(buffer[i]));
        }
        report["address"] = HexText(*address);
        report["register"] = HexText(*reg);
        report["values"] = values;
    });
}

// With no data bytes, only the register pointer is written (a count of 0).
void Write(CliContext& context, Report& report, const I2cOptions& o) {
    const auto address = HexArgument(report, "ADDR", o.address, 0xFF);
    if (!address) return;
    const auto reg = HexArgument(report, "REG", o.reg, 0xFF);
    if (!reg) return;
    if (o.bytes.size() > 255) return Refuse(report, "at most 255 bytes fit one write");
    std::vector<std::uint8_t> data;
    for (const std::string& text : o.bytes) {
        const auto byte = HexArgument(report, "BYTE", text, 0xFF);
        if (!byte) return;
        data.push_back(static_cast<std::uint8_t>(*byte));
    }
    WithOpenLink(context, report, Access::kChanges, [&](QuorvexUsb& usb) {
        I2cMasterEnable(usb);
        if (!I2cWrite(usb, static_cast<std::uint8_t>(*address), static_cast<std::uint8_t>(*reg),
                      static_cast<std::uint8_t>(data.size()), data.data())) {
            return report.Fail(Outcome::kDeviceFailure, NoAcknowledge(*address));
        }
        report.Line("Wrote " + std::to_string(data.size()) + " byte(s) to slave " +
                    HexText(*address) + " from register " + HexText(*reg));
        report["address"] = HexText(*address);
        report["register"] = HexText(*reg);
        report["count"] = data.size();
    });
}

}  // namespace

void AddI2cCommand(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<I2cOptions>();
    CLI::App* i2c = app.add_subcommand("i2c", "Access a slave on the chip's I2C master");
    i2c->require_subcommand(1);
    CLI::App* read = i2c->add_subcommand("read", "Read N registers of a slave");
    read->add_option("ADDR", o->address, "8-bit slave address, hexadecimal")->required();
    read->add_option("REG", o->reg, "First register, hexadecimal")->required();
    read->add_option("--count", o->count, "How many bytes (default 1)");
    context.Bind(read, "i2c read", [&context, o](Report& r) { Read(context, r, *o); });
    CLI::App* write = i2c->add_subcommand("write", "Write bytes to a slave's registers");
    write->add_option("ADDR", o->address, "8-bit slave address, hexadecimal")->required();
    write->add_option("REG", o->reg, "First register, hexadecimal")->required();
    write->add_option("BYTE", o->bytes, "Bytes, hexadecimal (none: only set the register)");
    context.Bind(write, "i2c write", [&context, o](Report& r) { Write(context, r, *o); });
}

}  // namespace qv
