#include "cli/Qvtool.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/CliContext.h"
#include "cli/FlashCommands.h"
#include "cli/ImageCommand.h"
#include "cli/ListCommand.h"
#include "cli/ServiceCommands.h"
#include "cli/UpdateCommands.h"

namespace qv {

int RunQvtool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CLI::App app{"qvtool: firmware update and service access for QV4820 products", "qvtool"};
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command
    CliContext context(out, err);
    context.AddGlobalOptions(app);
    AddListCommand(app, context);
    AddUpdateCommand(app, context);
    AddFlashCommand(app, context);
    AddServiceCommands(app, context);

    std::string imageFile, imageOut;
    CLI::App* image = app.add_subcommand(
        "image", "Load a firmware file as the ISP page would and show its length and checksum");
    image->add_option("FILE", imageFile, "Intel HEX (.hex, .h00) or binary (.bin) file")
        ->required();
    image->add_option("--out", imageOut, "Write the loaded bytes to this binary file");
    image->callback([&] {
        context.SetExitCode(RunImageCommand(imageFile, imageOut, context.Out(), context.Err()));
    });
    try {
        // CLI11 takes the arguments in reverse order, without the program name.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    }
    return context.Finish();
}

}  // namespace qv
