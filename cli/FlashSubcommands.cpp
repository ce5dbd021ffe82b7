// qvtool flash id|status|erase|blank|program|verify|read: the ISP page's single operations.

#include <functional>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/FirmwareFile.h"
#include "cli/ProgressReporter.h"
#include "cli/ServiceText.h"
#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/ReadBackDump.h"
#include "platform/OutputFile.h"

namespace qv {
namespace {

constexpr std::uint32_t kMaxReadKiB = kImageCapacity / 1024 - 1;

struct FlashOptions {
    std::string file;                       // image for blank, program, verify
    std::optional<std::uint32_t> startKiB;  // assigned range
    std::optional<std::uint32_t> sizeKiB;
    std::string dumpFile;  // read
    std::uint32_t readKiB = kReadFlashEnd / 1024;
};

// What one sub-command does once the chip is in ISP mode: true on success. Failures are in the
// reporter's last line.
using Operation = std::function<bool(FlashContext&, const FlashOptions&, Report&)>;

struct FlashCommand {
    const char* name;
    Access access;
    bool needsImage;
    Operation operation;
};

// Everything that needs no device: the file to program or compare, the dump file, the numbers.
bool CheckArguments(const FlashCommand& command, const FlashOptions& o, Report& report) {
    if (std::string(command.name) == "read") {
        if (o.readKiB < 1 || o.readKiB > kMaxReadKiB) {
            report.Fail(Outcome::kUsage, "--kib must be 1 to " + std::to_string(kMaxReadKiB) +
                                             ". Nothing was sent.");
            return false;
        }
        const OutputTarget target = CheckOutputFile(o.dumpFile);
        if (!target.error.empty()) {
            report.Fail(Outcome::kFileRefused, target.error + ". Nothing was sent.");
            return false;
        }
    }
    return true;
}

void RunFlash(CliContext& context, Report& report, const FlashCommand& command,
              const FlashOptions& o) {
    if (!CheckArguments(command, o, report)) return;
    auto image = std::make_unique<FirmwareImage>();
    LoadResult loaded;
    if (command.needsImage && !o.file.empty() && !LoadFirmwareFile(o.file, *image, loaded, report))
        return;
    if (!context.ChooseDevice(report, command.access)) return;
    // Without --file the image is the device's catalogue file.
    if (command.needsImage && o.file.empty() &&
        !LoadFirmwareFor(context.Device(), o.file, context.ChosenBus(), *image, report))
        return;
    QuorvexUsb* usb = context.Connect(report);
    if (usb == nullptr) return;
    ProgressReporter reporter(context.ProgressOut(),
                              ProgressReporter::StyleFor(context.ProgressOut()));
    FlashContext flash(*usb, *image, reporter);
    if ((o.startKiB || o.sizeKiB) &&
        !SelectAssignedRange(flash, o.startKiB.value_or(0), o.sizeKiB.value_or(0))) {
        return report.Fail(Outcome::kUsage,
                           "the range passes the 16 MiB flash address space. Nothing was sent.");
    }
    if (!EnterOrLeaveIsp(flash)) {
        report.Fail(Outcome::kDeviceFailure, "the chip did not enter ISP mode");
        return report.AddReason("", usb->LastFailure());
    }
    const bool ok = command.operation(flash, o, report);
    EnterOrLeaveIsp(flash);  // a closing step: a warning when it fails
    report["steps"] = reporter.Lines();
    reporter.AddWarningsTo(report);
    if (!ok) report.Fail(Outcome::kDeviceFailure, "failed: " + reporter.LastLine());
    if (reporter.HasFailure())
        report.AddReason(reporter.FailedStepName(), reporter.FailureReason());
    report.AddReason("", usb->LastFailure());
}

bool ShowId(FlashContext& flash, const FlashOptions&, Report& report) {
    if (!ReadChipId(flash)) {
        flash.reporter.ProcessInfo("Reading the flash id failed");
        return false;
    }
    const int block = BlockSizeForId(flash.flashIdBytes);
    report.Line("Flash id: " + ChipIdCaption(flash.flashIdBytes) + "(program blocks of " +
                std::to_string(block) + " bytes)");
    report["id"] = {HexText(flash.flashIdBytes[0]), HexText(flash.flashIdBytes[1]),
                    HexText(flash.flashIdBytes[2])};
    report["blockSize"] = block;
    return true;
}

// The status reads 0xFF also when it cannot be read, as on the ISP page.
bool ShowStatus(FlashContext& flash, const FlashOptions&, Report& report) {
    const std::uint8_t status = ReadStatusRegister(flash);
    report.Line("Status register: " + StatusCaption(status));
    report["status"] = HexText(status);
    return true;
}

// A dump replaces the named file only after the whole range was read.
bool ReadToFile(FlashContext& flash, const FlashOptions& o, Report& report) {
    const std::uint32_t end = o.readKiB * 1024;
    if (!ReadFlash(flash, end)) return false;
    const DumpResult dump = WriteReadBackDump(flash.readBackBuffer, end, o.dumpFile);
    if (!dump.written) {
        report.Fail(Outcome::kFileRefused, dump.message);
        return true;  // not the device's failure
    }
    report.Line("Wrote " + o.dumpFile);
    report["file"] = o.dumpFile;
    report["bytes"] = end;
    return true;
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

    const auto add = [&](const char* help, FlashCommand command) {
        CLI::App* sub = flash->add_subcommand(command.name, help);
        context.Bind(
            sub, std::string("flash ") + command.name,
            [&context, options, command](Report& r) { RunFlash(context, r, command, *options); });
        return sub;
    };
    add("Read the flash id", {"id", Access::kReadOnly, false, ShowId});
    add("Read the flash status register", {"status", Access::kReadOnly, false, ShowStatus});
    AddRangeOptions(
        *add("Erase the whole chip, or the sectors of --start/--size",
             {"erase", Access::kChanges, false,
              [](FlashContext& f, const FlashOptions&, Report&) { return EraseFlash(f); }}),
        *options);
    const auto withImage = [&](const char* name, const char* help, Access access,
                               bool (*run)(FlashContext&)) {
        CLI::App* command =
            add(help, {name, access, true,
                       [run](FlashContext& f, const FlashOptions&, Report&) { return run(f); }});
        command
            ->add_option("--file", options->file,
                         "Firmware file; default: the product's catalogue file")
            ->type_name("FILE");
        AddRangeOptions(*command, *options);
    };
    withImage("blank", "Check that the image's range is erased", Access::kReadOnly,
              BlankCheckFlash);
    withImage("program", "Program the image", Access::kChanges, ProgramFlash);
    withImage("verify", "Compare the flash with the image", Access::kReadOnly, VerifyFlash);
    CLI::App* read = add("Read the flash back into a text dump FILE",
                         {"read", Access::kReadOnly, false, ReadToFile});
    read->add_option("FILE", options->dumpFile, "Dump file (replaced only once complete)")
        ->required();
    read->add_option(
        "--kib", options->readKiB,
        "How much to read, in KiB (default 32, at most " + std::to_string(kMaxReadKiB) + ")");
}

}  // namespace qv
