// qvtool flash id|status|erase|blank|program|verify|read: the ISP page's single operations.

#include <functional>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/EraseRange.h"
#include "cli/FirmwareFile.h"
#include "cli/FlashSession.h"
#include "cli/Interruption.h"
#include "cli/ProgressReporter.h"
#include "cli/ServiceText.h"
#include "flash/FlashBounds.h"
#include "flash/FlashErase.h"
#include "flash/FlashProtection.h"
#include "flash/FlashSteps.h"
#include "flash/IspOperations.h"
#include "flash/ReadBackDump.h"
#include "system/OutputFile.h"
#include "system/StopSignals.h"

namespace qv {
namespace {

constexpr std::uint32_t kMaxReadKiB = kImageCapacity / 1024 - 1;

struct FlashOptions {
    std::string file;                       // image for blank, program, verify
    std::optional<std::uint32_t> startKiB;  // assigned range
    std::optional<std::uint32_t> sizeKiB;   // erase only
    bool align = false;                     // erase: widen the range to whole sectors
    bool unprotect = false;                 // erase, program: clear the flash's protection
    std::string dumpFile;                   // read
    std::uint32_t readKiB = kReadFlashEnd / 1024;
};

// What one sub-command does once the chip is in ISP mode: true on success. Failures are in the
// reporter's last line.
using Operation = std::function<bool(FlashSession&, const FlashOptions&, Report&)>;

struct FlashCommand {
    const char* name;
    Access access;
    bool needsImage;
    const char* work;  // what a stop before it leaves undone, e.g. "the erase"
    Operation operation;
    // What a stop part-way leaves in the flash, after "<work> stopped at 0x...; ".
    const char* afterStop = "the flash was not changed";
};

bool Is(const FlashCommand& command, const char* name) {
    return std::string(command.name) == name;
}

// The assigned range, in KiB; none for the whole chip or an image placed at 0.
struct RangeChoice {
    bool assigned = false;
    std::uint32_t startKiB = 0;
    std::uint32_t sizeKiB = 0;
};

// The range the command works on, decided before any traffic; nothing after a refusal.
std::optional<RangeChoice> ChooseRange(const FlashCommand& command, const FlashOptions& o,
                                       Report& report) {
    if (Is(command, "erase")) {
        const Expected<EraseRangePlan> plan = PlanEraseRange({o.startKiB, o.sizeKiB, o.align});
        if (!plan.ok()) {
            report.Fail(Outcome::kUsage, plan.text() + ". Nothing was sent.");
            return std::nullopt;
        }
        if (plan->wholeChip) return RangeChoice{};
        const std::uint64_t start = std::uint64_t{plan->startKiB} * 1024;
        report["range"] = FlashRangeText(start, start + std::uint64_t{plan->sizeKiB} * 1024);
        return RangeChoice{true, plan->startKiB, plan->sizeKiB};
    }
    if (!o.startKiB) return RangeChoice{};
    if (std::uint64_t{*o.startKiB} * 1024 >= kFlashAddressSpace) {
        report.Fail(Outcome::kUsage,
                    "--start passes the 16 MiB flash address space. Nothing was sent.");
        return std::nullopt;
    }
    return RangeChoice{true, *o.startKiB, 0};
}

// Everything that needs no device: the dump file and the numbers.
bool CheckArguments(const FlashCommand& command, const FlashOptions& o, Report& report) {
    if (Is(command, "read")) {
        if (o.readKiB < 1 || o.readKiB > kMaxReadKiB) {
            report.Fail(Outcome::kUsage, "--kib must be 1 to " + std::to_string(kMaxReadKiB) +
                                             ". Nothing was sent.");
            return false;
        }
        if (const Expected<OutputTarget> target = CheckOutputFile(o.dumpFile); !target.ok()) {
            report.Fail(Outcome::kFileRefused, target.text() + ". Nothing was sent.");
            return false;
        }
    }
    return true;
}

// Success when the erase range or the image fits in the flash the id names, or no id can be
// read (the work then fails with its own texts); else why not.
Expected<void> InsideTheFlash(const FlashCommand& command, FlashSession& session) {
    FlashTarget& target = session.target;
    if (!StepRunner(target.usb, session.run.reporter).OpenLink()) return {};
    EnsureFlashId(target);
    target.usb.Close();
    if (Is(command, "erase")) return EraseInsideFlash(target, session.selection);
    std::optional<FlashRange> range = ImageRange(session.selection, target.image);
    if (!range) {
        return Problem{FailureKind::kOther, "Image does not fit in the flash above 0x" +
                                                Hex6(session.selection.flashRangeStart)};
    }
    return FitImageToFlash(target, *range);
}

// Erase and program change nothing on a protected flash, which says nothing about it: check
// the protection first, and clear it only when asked, once the range is known to fit.
bool ReadyToWrite(const FlashCommand& command, const FlashOptions& o, FlashSession& session,
                  Report& report) {
    if (!Is(command, "erase") && !Is(command, "program")) return true;
    if (const Expected<void> inside = InsideTheFlash(command, session); !inside.ok()) {
        report.Fail(Outcome::kDeviceFailure,
                    "failed: " + inside.text() + "; " + command.work + " was not started" +
                        (o.unprotect ? " and the protection not cleared" : ""));
        return false;
    }
    if (MakeFlashWritable(session.target, session.reporter, o.unprotect)) return true;
    const std::string& problem = session.reporter.LastLine();
    std::string advice;
    if (!o.unprotect && problem.rfind("Flash is protected", 0) == 0)
        advice = "; add --unprotect to clear the protection first";
    report.Fail(Outcome::kDeviceFailure,
                "failed: " + problem + "; " + command.work + " was not started" + advice);
    return false;
}

void RunFlash(CliContext& context, Report& report, const FlashCommand& command,
              const FlashOptions& o) {
    if (!CheckArguments(command, o, report)) return;
    const std::optional<RangeChoice> range = ChooseRange(command, o, report);
    if (!range) return;
    auto image = std::make_unique<FirmwareImage>();
    if (command.needsImage && !o.file.empty() && !LoadFirmwareFile(o.file, *image, report).ok())
        return;
    if (!context.ChooseDevice(report, command.access)) return;
    // Without --file the image is the device's catalogue file.
    if (command.needsImage && o.file.empty() &&
        !LoadFirmwareFor(context.Device(), o.file, *image, report))
        return;
    QuorvexUsb* usb = context.Connect(report);
    if (usb == nullptr) return;
    FlashSession session(context, *usb, *image);
    ProgressReporter& reporter = session.reporter;
    // Inside the address space: ChooseRange checked it.
    if (range->assigned)
        (void)SelectAssignedRange(session.selection, range->startKiB, range->sizeKiB);
    bool& ispModeActive = session.selection.ispModeActive;
    if (!EnterOrLeaveIsp(*usb, reporter, ispModeActive)) {
        report.Fail(Outcome::kDeviceFailure, "the chip did not enter ISP mode");
        return report.AddReason("", usb->LastFailure());
    }
    bool ok = false;
    bool ran = false;
    if (StopRequested()) {
        FailInterrupted(report,
                        std::string(command.work) + " was not started; the flash was not changed");
    } else if (ReadyToWrite(command, o, session, report)) {
        ran = true;
        ok = command.operation(session, o, report);
    }
    const std::optional<std::uint32_t> stoppedAt = session.run.stoppedAt;
    EnterOrLeaveIsp(*usb, reporter, ispModeActive);  // a closing step: a warning when it fails
    report["steps"] = reporter.Lines();
    reporter.AddWarningsTo(report);
    if (ran && !ok && stoppedAt) {
        FailInterrupted(report, std::string(command.work) + " stopped at 0x" + Hex6(*stoppedAt) +
                                    "; " + command.afterStop);
    } else if (ran && !ok && EndRequested()) {
        FailInterrupted(report, std::string(command.work) + " was cut short by a second stop");
    }
    if (ran && !ok) report.Fail(Outcome::kDeviceFailure, "failed: " + reporter.LastLine());
    if (reporter.HasFailure())
        report.AddReason(reporter.FailedStepName(), reporter.FailureReason());
    report.AddReason("", usb->LastFailure());
}

bool ShowId(FlashSession& session, const FlashOptions&, Report& report) {
    if (!ReadChipId(session.target, session.run.reporter)) {
        session.run.reporter.ProcessInfo("Reading the flash id failed");
        return false;
    }
    const FlashId& id = session.target.flashIdBytes;
    const int block = BlockSizeForId(id);
    report.Line("Flash id: " + ChipIdCaption(id) + "(program blocks of " + std::to_string(block) +
                " bytes)");
    report["id"] = {HexText(id[0]), HexText(id[1]), HexText(id[2])};
    report["blockSize"] = block;
    return true;
}

// The status reads 0xFF also when it cannot be read, as on the ISP page.
bool ShowStatus(FlashSession& session, const FlashOptions&, Report& report) {
    const std::uint8_t status = ReadStatusRegister(session.target.usb, session.run.reporter);
    report.Line("Status register: " + StatusCaption(status));
    report["status"] = HexText(status);
    return true;
}

// A dump replaces the named file only after the whole range was read.
bool ReadToFile(FlashSession& session, const FlashOptions& o, Report& report) {
    const std::uint32_t end = o.readKiB * 1024;
    const FlashReadBack readBack = ReadFlash(session.target, session.run, end);
    if (!readBack.complete) return false;
    const Expected<void> dump = WriteReadBackDump(readBack.bytes, end, o.dumpFile);
    if (!dump.ok()) {
        report.Fail(Outcome::kFileRefused, dump.text());
        return true;  // not the device's failure
    }
    report.Line("Wrote " + o.dumpFile);
    report["file"] = o.dumpFile;
    report["bytes"] = end;
    return true;
}

void AddStartOption(CLI::App& command, FlashOptions& options) {
    command.add_option("--start", options.startKiB,
                       "Place the image at this flash address, in KiB");
}

void AddUnprotectOption(CLI::App& command, FlashOptions& options) {
    command.add_flag("--unprotect", options.unprotect,
                     "Clear the flash's protection first (a protected flash refuses the command)");
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
            [&context, options, command](Report& r) { RunFlash(context, r, command, *options); },
            [options, command, sub] {
                if (Is(command, "read"))
                    return std::vector<NamedFile>{{"flash read FILE", options->dumpFile, true}};
                if (!command.needsImage) return std::vector<NamedFile>{};
                return FirmwareFilesRead(sub->count("--file") > 0, options->file);
            });
        return sub;
    };
    add("Read the flash id", {"id", Access::kReadOnly, false, "the id read", ShowId});
    add("Read the flash status register",
        {"status", Access::kReadOnly, false, "the status read", ShowStatus});
    CLI::App* erase = add("Erase the whole chip, or the 4 KiB sectors of --start/--size",
                          {"erase", Access::kChanges, false, "the erase",
                           [](FlashSession& s, const FlashOptions&, Report&) {
                               return EraseFlash(s.target, s.selection, s.run);
                           },
                           "the sectors from there on were not erased"});
    erase->add_option("--start", options->startKiB,
                      "Erase from this flash address, in KiB (a multiple of 4; needs --size)");
    erase->add_option("--size", options->sizeKiB,
                      "How many KiB to erase (a multiple of 4; needs --start)");
    erase->add_flag("--align", options->align,
                    "Widen a range that is not on 4 KiB sector boundaries to its whole sectors");
    AddUnprotectOption(*erase, *options);
    const auto withImage = [&](const char* name, const char* work, const char* help, Access access,
                               bool (*run)(FlashTarget&, const FlashSelection&, FlashRun&),
                               const char* afterStop = "the flash was not changed") {
        CLI::App* command = add(help, {name, access, true, work,
                                       [run](FlashSession& s, const FlashOptions&, Report&) {
                                           return run(s.target, s.selection, s.run);
                                       },
                                       afterStop});
        command
            ->add_option("--file", options->file,
                         "Firmware file; default: the product's catalogue file")
            ->type_name("FILE");
        AddStartOption(*command, *options);
        return command;
    };
    withImage("blank", "the blank check", "Check that the image's range is erased",
              Access::kReadOnly, BlankCheckFlash);
    AddUnprotectOption(
        *withImage("program", "programming", "Program the image", Access::kChanges, ProgramFlash,
                   "the flash holds the image only up to there; erase and program it again"),
        *options);
    withImage("verify", "the verify", "Compare the flash with the image", Access::kReadOnly,
              VerifyFlash);
    CLI::App* read = add("Read the flash back into a text dump FILE",
                         {"read", Access::kReadOnly, false, "the flash read", ReadToFile,
                          "the flash was not changed and no dump was written"});
    read->add_option("FILE", options->dumpFile, "Dump file (replaced only once complete)")
        ->required();
    read->add_option(
        "--kib", options->readKiB,
        "How much to read, in KiB (default 32, at most " + std::to_string(kMaxReadKiB) + ")");
}

}  // namespace qv
