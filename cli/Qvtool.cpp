#include "cli/Qvtool.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "cli/CliContext.h"
#include "cli/QvtoolCommandLine.h"
#include "text/Joined.h"

namespace qv {
namespace {

// Whether `word` is an option, of the app or of any command, whose value is the next word.
bool TakesValue(const CLI::App& level, const std::string& word) {
    if (const CLI::Option* option = level.get_option_no_throw(word))
        return option->get_items_expected_min() > 0;
    const std::vector<const CLI::App*> commands = level.get_subcommands({});
    return std::ranges::any_of(commands,
                               [&](const CLI::App* command) { return TakesValue(*command, word); });
}

bool HasCommand(const CLI::App& level, const std::string& word) {
    for (const CLI::App* command : level.get_subcommands({})) {
        if (command->get_name() == word) return true;
    }
    return false;
}

// Names what the parser could not place: the word that is not a command of the level that was
// reached, or CLI11's own text.
std::string UsageMessage(const CLI::ParseError& error, const CLI::App& app,
                         const std::vector<std::string>& arguments) {
    if (std::string(error.what()) != "A subcommand is required") return error.what();
    const CLI::App* level = &app;
    while (!level->get_subcommands().empty()) level = level->get_subcommands().front();
    const std::string known = Joined(level->get_subcommands({}), ", ",
                                     [](const CLI::App* command) { return command->get_name(); });
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.rfind("-", 0) == 0) {
            if (TakesValue(app, word)) ++i;
            continue;
        }
        if (!HasCommand(*level, word) && !HasCommand(app, word) &&
            std::none_of(arguments.begin(), arguments.begin() + static_cast<long>(i),
                         [](const std::string& w) { return w == "--"; })) {
            if (level == &app && i > 0 && arguments[i - 1] == "--simulate") continue;
            return "unknown command '" + word + "' (commands: " + known + ")";
        }
    }
    return "a command is needed (commands: " + known + ")";
}

// The full command path that was reached, e.g. "reg read".
std::string ReachedCommand(const CLI::App& app) {
    std::string name;
    for (const CLI::App* level = &app; !level->get_subcommands().empty();) {
        level = level->get_subcommands().front();
        name += (name.empty() ? "" : " ") + level->get_name();
    }
    return name;
}

}  // namespace

int RunQvtool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              const QvtoolSettings& settings) {
    CLI::App app;
    CliContext context(out, err, settings);
    BuildQvtoolCommandLine(app, context);
    try {
        // CLI11 takes the arguments in reverse order, without the program name.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        // As any report: help that cannot be written (a full disk) is no success.
        Report help("");
        std::string text = app.help();
        if (text.ends_with('\n')) text.pop_back();
        help.Line(std::move(text));
        return help.Emit(out, err, false);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e, out, err);
        // The flag may not have been reached when parsing stopped.
        const bool json =
            std::find(arguments.begin(), arguments.end(), "--json") != arguments.end();
        Report report(ReachedCommand(app));
        report.Fail(Outcome::kUsage, UsageMessage(e, app, arguments) + ". Nothing was sent.");
        const int status = report.Emit(out, err, json);
        if (!json) err << "Run with --help for more information.\n";
        return status;
    }
    return context.ExitCode();
}

}  // namespace qv
