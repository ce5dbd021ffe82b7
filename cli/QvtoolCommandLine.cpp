#include "cli/QvtoolCommandLine.h"

#include "cli/Commands.h"
#include "system/SystemHelp.h"

namespace qv {
namespace {

// Sections of "Heading:" lines followed by "  KEY  text" lines; the man page takes them over.
constexpr const char* kHelpFooter =
    "Exit status:\n"
    "  0  success, also with warnings: the image is in the flash, a closing step did not end as "
    "it should (see the warning lines, or \"warnings\" with --json)\n"
    "  1  failure on the device: a transfer failed, the device did not confirm, a step failed\n"
    "  2  bad usage: unknown command or option, bad argument, update declined; nothing was sent\n"
    "  3  no device: none present, none matching --device, or it could not be opened\n"
    "  4  file refused: a firmware file that cannot be read or loaded or is another "
    "product's, an output file that cannot be written (standard output included), files that "
    "collide\n"
    "  5  interrupted: a stop signal ended the command before its work was done; the message "
    "says what state the device was left in";

// The exit statuses, then the environment variables this system's build reads, if any.
std::string HelpFooter() {
    const std::string environment = EnvironmentHelp();
    return environment.empty() ? kHelpFooter
                               : std::string(kHelpFooter) + "\n\nEnvironment:\n" + environment;
}

}  // namespace

void BuildQvtoolCommandLine(CLI::App& app, CliContext& context) {
    app.name("qvtool");
    app.description("qvtool: firmware update and service access for QV4820 products");
    app.footer(HelpFooter());
    app.set_version_flag("--version", "qvtool " QV_VERSION, "Show the program's version");
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command
    // A path such as /home/x/fw.hex is a file, not a Windows-style option, on every system.
    app.allow_windows_style_options(false);
    // The shared device options name their values (FILE for files, which the shell's completion
    // completes as files).
    context.AddGlobalOptions(app);
    AddListCommand(app, context);
    AddUpdateCommand(app, context);
    AddFlashCommand(app, context);
    AddImageCommand(app, context);
    AddRegCommand(app, context);
    AddI2cCommand(app, context);
    AddParamCommand(app, context);
    AddStatusCommands(app, context);
}

}  // namespace qv
