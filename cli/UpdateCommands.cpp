#include "cli/UpdateCommands.h"

#include <cctype>
#include <iostream>
#include <ostream>

#include "cli/FirmwareFile.h"
#include "cli/ProgressReporter.h"
#include "flash/UpdateSequences.h"

namespace qv {
namespace {

constexpr const char* kWarning =
    "Firmware Update is a critical operation. Please make sure the power stays on and do not "
    "disconnect the device before the update is complete. Would you like to proceed?";

struct UpdateOptions {
    std::string file;
    bool yes = false;
};

// Asks on the terminal; anything but y or yes (or the end of input) declines.
bool Confirm(std::ostream& out) {
    out << kWarning << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

void PrintJson(CliContext& context, bool success, const FirmwareImage& image,
               const ProgressReporter& reporter) {
    std::ostream& out = context.Out();
    out << "{\"command\": \"update\", \"success\": " << (success ? "true" : "false")
        << ", \"device\": " << JsonQuote(context.Device().displayName)
        << ", \"file\": " << JsonQuote(image.path) << ", \"length\": " << image.length
        << ", \"steps\": [";
    const auto& lines = reporter.Lines();
    for (std::size_t i = 0; i < lines.size(); ++i) out << (i ? ", " : "") << JsonQuote(lines[i]);
    out << "]}\n";
}

int RunUpdate(CliContext& context, const UpdateOptions& options) {
    QuorvexUsb* usb = context.FindDevice();
    if (usb == nullptr) return 1;
    FirmwareImage image;
    std::string error;
    if (!LoadFirmwareFor(context.Device(), options.file, usb->Api(), image, error)) {
        context.Err() << "qvtool update: " << error << '\n';
        return 1;
    }
    if (!context.Json()) {
        context.Out() << "Device   : " << context.Device().displayName << " ("
                      << context.Device().idText << ")\nFirmware : " << image.path << " ("
                      << image.length << " bytes)\n";
    }
    if (!options.yes && !Confirm(context.Out())) {
        context.Err() << "qvtool update: Abort Firmware update process (nothing was sent)\n";
        return 1;
    }

    ProgressReporter reporter(context.Out(),
                              ProgressReporter::StyleFor(context.Out(), context.Json()));
    FlashContext flash(*usb, image, reporter);
    const bool success = RunFirmwareUpdate(flash);
    if (context.Json()) {
        PrintJson(context, success, image, reporter);
    } else if (!success) {
        context.Err() << "qvtool update: the update failed: " << reporter.LastLine() << '\n';
    }
    return success ? 0 : 1;
}

}  // namespace

void AddUpdateCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<UpdateOptions>();
    CLI::App* update = app.add_subcommand(
        "update", "Update the firmware of the first device found (erase, program, verify)");
    update->add_option("--file", options->file,
                       "Firmware file (.hex, .h00 or .bin); default: the product's catalogue "
                       "file in the current directory. Needed for a bare chip in ISP mode");
    update->add_flag("--yes,-y", options->yes, "Do not ask for confirmation");
    update->callback([&context, options] { context.SetExitCode(RunUpdate(context, *options)); });
}

}  // namespace qv
