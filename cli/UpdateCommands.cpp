// qvtool update: the one-button firmware update.

#include <istream>
#include <memory>
#include <ostream>

#include "cli/Commands.h"
#include "cli/FirmwareFile.h"
#include "cli/FlashSession.h"
#include "cli/Interruption.h"
#include "cli/UpdateAll.h"
#include "cli/UpdateQuestion.h"
#include "flash/UpdateSequences.h"

namespace qv {
namespace {

struct UpdateOptions {
    std::string file;
    bool yes = false;
    bool all = false;
    bool otherProduct = false;
};

void Update(CliContext& context, Report& report, const UpdateOptions& o) {
    if (context.Json() && !o.yes) {
        return report.Fail(Outcome::kUsage,
                           "with --json the update does not ask: add --yes. Nothing was sent.");
    }
    if (o.all) return UpdateAll(context, report, {o.file, o.yes, o.otherProduct});
    auto image = std::make_unique<FirmwareImage>();
    if (!o.file.empty() && !LoadFirmwareFile(o.file, *image, report).ok()) return;
    if (!context.ChooseDevice(report, Access::kChanges)) return;
    if (o.file.empty() && !LoadFirmwareFor(context.Device(), o.file, *image, report)) return;
    std::string note;
    if (!FileIsForDevice(context.Device(), o.file, o.otherProduct, report, note)) return;
    report["file"] = image->path;
    report["length"] = image->length;
    if (!note.empty()) report["note"] = note;
    if (!context.Json()) {
        context.Out() << "Device   : " << context.Device().displayName << " ("
                      << context.Device().idText << ")\nFirmware : " << image->path << " ("
                      << image->length << " bytes)\n"
                      << (note.empty() ? "" : "Note     : " + note + "\n") << std::flush;
        KeepWriteFailure(context.Out());
    }
    if (!o.yes && !ConfirmUpdate(context)) {
        return report.Fail(Outcome::kUsage, "Abort Firmware update process (nothing was sent)");
    }
    QuorvexUsb* usb = context.Connect(report);
    if (usb == nullptr) return;
    FlashSession session(context, *usb, *image);
    const ProgressReporter& reporter = session.reporter;
    const SequenceOutcome outcome = RunFirmwareUpdate(session.target, session.run);
    const bool success = outcome == SequenceOutcome::kSuccess;
    report["steps"] = reporter.Lines();
    report["warnings"] = Report::Json::array();
    reporter.AddWarningsTo(report);
    if (FlashSession::Stopped(outcome))
        return FailInterrupted(report, StoppedUpdateState(reporter.Lines()));
    if (!success) report.Fail(Outcome::kDeviceFailure, "the update failed: " + reporter.LastLine());
    if (reporter.HasFailure())
        report.AddReason(reporter.FailedStepName(), reporter.FailureReason());
}

}  // namespace

void AddUpdateCommand(CLI::App& app, CliContext& context) {
    auto o = std::make_shared<UpdateOptions>();
    CLI::App* update =
        app.add_subcommand("update", "Update the firmware of the device (erase, program, verify)");
    CLI::Option* file =
        update
            ->add_option("--file", o->file,
                         "Firmware file (.hex, .h00 or .bin); default: the product's catalogue "
                         "file in the current directory. Needed for a bare chip in ISP mode")
            ->type_name("FILE");
    update->add_flag("--yes,-y", o->yes, "Do not ask for confirmation");
    update->add_flag(kOtherProductOption, o->otherProduct,
                     "Write --file even where it is the catalogue file of another product than "
                     "the device's (refused without this option)");
    update->add_flag(
        "--all", o->all,
        "Update every catalogue product present (and, with --file, every bare "
        "chip) in parallel, or those --device names; a summary table at the end. "
        "With --file the devices must all be one catalogue product (no bare chips beside "
        "them) unless --device names them");
    context.Bind(
        update, "update",
        [&context, o](Report& r) {
            if (o->all) r = Report("update --all");
            Update(context, r, *o);
        },
        [o, file] { return FirmwareFilesRead(file->count() > 0, o->file); });
}

}  // namespace qv
