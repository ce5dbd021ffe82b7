#include "packaging/Cli11Doc.h"

#include "packaging/HelpSections.h"

namespace qv::doc {
namespace {

// CLI11 names a value by its type, followed by what its checks accept: "TEXT:{24,32}".
void SetValue(const std::string& typeName, ArgumentDoc& argument) {
    const std::size_t colon = typeName.find(":{");
    argument.value = typeName.substr(0, colon);
    if (colon == std::string::npos || typeName.back() != '}') return;
    std::string list = typeName.substr(colon + 2, typeName.size() - colon - 3);
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        argument.choices.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
}

ArgumentDoc DescribeOption(const CLI::Option& option) {
    ArgumentDoc argument;
    argument.positional = !option.nonpositional();
    if (argument.positional) {
        argument.names = {option.get_name()};
    } else {
        for (const std::string& name : option.get_snames()) argument.names.push_back("-" + name);
        for (const std::string& name : option.get_lnames()) argument.names.push_back("--" + name);
    }
    if (option.get_items_expected_max() > 0) {
        // A positional is named by itself; its type name says nothing more.
        SetValue(argument.positional ? option.get_name() : option.get_type_name(), argument);
        argument.valueOptional = option.get_items_expected_min() == 0 && !argument.positional;
    }
    argument.required = option.get_required();
    argument.repeatable = option.get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll ||
                          option.get_items_expected_max() > 1;
    argument.description = option.get_description();
    for (const CLI::Option* other : option.get_needs()) argument.needs.push_back(other->get_name());
    for (const CLI::Option* other : option.get_excludes()) {
        argument.excludes.push_back(other->get_name());
    }
    return argument;
}

CommandDoc DescribeCommand(const CLI::App& app, std::vector<std::string> path) {
    CommandDoc command;
    command.path = path;
    command.description = app.get_description();
    for (const CLI::Option* option : app.get_options()) {
        // Every command takes --help; the program's own entry says it once.
        if (option == app.get_help_ptr() && !path.empty()) continue;
        command.arguments.push_back(DescribeOption(*option));
    }
    for (const CLI::App* sub : app.get_subcommands({})) {
        std::vector<std::string> subPath = path;
        subPath.push_back(sub->get_name());
        command.commands.push_back(DescribeCommand(*sub, subPath));
    }
    return command;
}

}  // namespace

ProgramDoc DescribeCli11(const CLI::App& app) {
    ProgramDoc program;
    program.name = app.get_name();
    program.top = DescribeCommand(app, {});
    program.topOptionsEverywhere = app.get_fallthrough();
    program.summary = program.top.description;
    const std::string prefix = program.name + ": ";
    if (program.summary.rfind(prefix, 0) == 0) program.summary.erase(0, prefix.size());
    program.synopsis = "[OPTIONS] COMMAND [OPTIONS] [ARGUMENTS]";
    program.sections = ParseHelpSections(app.get_footer());
    return program;
}

}  // namespace qv::doc
