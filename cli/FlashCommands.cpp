#include "cli/FlashCommands.h"

#include <functional>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/FirmwareFile.h"
#include "cli/ProgressReporter.h"
#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/ReadBackDump.h"

namespace qv {
namespace {

struct FlashOptions {
    std::string file;                       // image for blank, program, verify
    std::optional<std::uint32_t> startKiB;  // assigned range
    std::optional<std::uint32_t> sizeKiB;
    std::string dumpFile;  // read
    std::uint32_t readKiB = kReadFlashEnd / 1024;
};

// What one sub-command does once the chip is in ISP mode: true on success, with what it found
// in `result`. Failures are in the reporter's last line.
using Operation = std::function<bool(FlashContext&, const FlashOptions&, std::string& result)>;

int RunFlash(CliContext& context, const char* name, const FlashOptions& options, bool needsImage,
             const Operation& operation) {
    std::ostream& err = context.Err();
    const std::string command = std::string("qvtool flash ") + name + ": ";
    QuorvexUsb* usb = context.FindDevice();
    if (usb == nullptr) return 1;
    FirmwareImage image;
    std::string error;
    if (needsImage && !LoadFirmwareFor(context.Device(), options.file, usb->Api(), image, error)) {
        err << command << error << '\n';
        return 1;
    }
    ProgressReporter reporter(context.Out(),
                              ProgressReporter::StyleFor(context.Out(), context.Json()));
    FlashContext flash(*usb, image, reporter);
    if ((options.startKiB || options.sizeKiB) &&
        !SelectAssignedRange(flash, options.startKiB.value_or(0), options.sizeKiB.value_or(0))) {
        err << command << "the range passes the 16 MiB flash address space\n";
        return 1;
    }
    if (!EnterOrLeaveIsp(flash)) {
        err << command << "the chip did not enter ISP mode\n";
        return 1;
    }
    std::string result;
    const bool ok = operation(flash, options, result);
    const bool left = EnterOrLeaveIsp(flash);
    if (context.Json()) {
        context.Out() << "{\"command\": " << JsonQuote(std::string("flash ") + name)
                      << ", \"success\": " << (ok && left ? "true" : "false")
                      << ", \"result\": " << JsonQuote(result)
                      << ", \"message\": " << JsonQuote(reporter.LastLine()) << "}\n";
    } else if (!result.empty()) {
        context.Out() << result << '\n';
    }
    if (!ok) err << command << "failed: " << reporter.LastLine() << '\n';
    if (!left) err << command << "the chip did not leave ISP mode\n";
    return ok && left ? 0 : 1;
}

bool ShowId(FlashContext& flash, const FlashOptions&, std::string& result) {
    if (!ReadChipId(flash)) {
        flash.reporter.ProcessInfo("Reading the flash id failed");
        return false;
    }
    result = "Flash id: " + ChipIdCaption(flash.flashIdBytes) + "(program blocks of " +
             std::to_string(BlockSizeForId(flash.flashIdBytes)) + " bytes)";
    return true;
}

// The status reads 0xFF also when it cannot be read, as on the ISP page.
bool ShowStatus(FlashContext& flash, const FlashOptions&, std::string& result) {
    result = "Status register: " + StatusCaption(ReadStatusRegister(flash));
    return true;
}

bool ReadToFile(FlashContext& flash, const FlashOptions& options, std::string& result) {
    const std::uint64_t end = std::uint64_t{options.readKiB} * 1024;
    if (end >= kImageCapacity) {
        flash.reporter.ProcessInfo("--kib must be below 4096");
        return false;
    }
    const bool read = ReadFlash(flash, static_cast<std::uint32_t>(end));
    // As the window does, the dump is written also after a failed read; unread bytes show 5A.
    const DumpResult dump =
        WriteReadBackDump(flash.readBackBuffer, static_cast<std::uint32_t>(end), options.dumpFile);
    if (!dump.written) {
        flash.reporter.ProcessInfo(dump.message);
        return false;
    }
    result = "Wrote " + options.dumpFile;
    return read;
}

void AddRangeOptions(CLI::App& command, FlashOptions& options) {
    command.add_option("--start", options.startKiB, "Assigned range: start in KiB");
    command.add_option("--size", options.sizeKiB, "Assigned range: size in KiB (erase only)");
}

}  // namespace

void AddFlashCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<FlashOptions>();
    CLI::App* flash = app.add_subcommand("flash", "Single flash operations (ISP page)");
    flash->require_subcommand(1);

    const auto add = [&](const char* name, const char* help, bool needsImage, Operation operation) {
        CLI::App* command = flash->add_subcommand(name, help);
        command->callback([&context, options, name, needsImage, operation] {
            context.SetExitCode(RunFlash(context, name, *options, needsImage, operation));
        });
        return command;
    };
    add("id", "Read the flash id", false, ShowId);
    add("status", "Read the flash status register", false, ShowStatus);
    AddRangeOptions(
        *add("erase", "Erase the whole chip, or the sectors of --start/--size", false,
             [](FlashContext& f, const FlashOptions&, std::string&) { return EraseFlash(f); }),
        *options);
    const auto withImage = [&](const char* name, const char* help, bool (*run)(FlashContext&)) {
        CLI::App* command =
            add(name, help, true,
                [run](FlashContext& f, const FlashOptions&, std::string&) { return run(f); });
        command->add_option("--file", options->file,
                            "Firmware file; default: the product's catalogue file");
        AddRangeOptions(*command, *options);
    };
    withImage("blank", "Check that the image's range is erased", BlankCheckFlash);
    withImage("program", "Program the image", ProgramFlash);
    withImage("verify", "Compare the flash with the image", VerifyFlash);
    CLI::App* read = add("read", "Read the flash back into a text dump FILE", false, ReadToFile);
    read->add_option("FILE", options->dumpFile, "Dump file")->required();
    read->add_option("--kib", options->readKiB, "How much to read, in KiB (default 32)");
}

}  // namespace qv
