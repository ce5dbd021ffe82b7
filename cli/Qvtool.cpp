#include "cli/Qvtool.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "cli/CliContext.h"
#include "cli/FlashCommands.h"
#include "cli/ListCommand.h"
#include "cli/UpdateCommands.h"

namespace qv {

int RunQvtool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    CLI::App app{"qvtool: firmware update and service access for QV4820 products"};
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command
    CliContext context(out, err);
    context.AddGlobalOptions(app);
    AddListCommand(app, context);
    AddUpdateCommand(app, context);
    AddFlashCommand(app, context);
    try {
        // CLI11 takes the arguments in reverse order, without the program name.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err);
    }
    return context.ExitCode();
}

}  // namespace qv
