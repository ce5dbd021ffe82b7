// qvtool: the command line of the update and service tool, for benches and production lines.

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/CliContext.h"
#include "cli/ListCommand.h"

int main(int argc, char** argv) {
    CLI::App app{"qvtool: firmware update and service access for QV4820 products"};
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the command
    qv::CliContext context(std::cout, std::cerr);
    context.AddGlobalOptions(app);
    qv::AddListCommand(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return context.ExitCode();
}
