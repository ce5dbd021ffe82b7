#include "packaging/CompletionTables.h"

#include <map>
#include <sstream>
#include <stdexcept>

namespace qv::doc {
namespace {

// Names and choices go into the script unquoted, in word lists and case patterns.
const std::string& PlainWord(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789_+.,/@-") == std::string::npos;
    if (!plain) throw std::runtime_error("cannot complete the word '" + word + "'");
    return word;
}

// How an option's value is completed, as the value-kind table names it.
std::string ValueKind(const ArgumentDoc& option, const CompletionInfo& info) {
    if (option.value.empty()) return "flag";
    if (option.valueOptional) return "optional";
    if (option.names.front() == info.deviceOption) return "device";
    if (option.TakesFile()) return "file";
    if (!option.choices.empty()) return "choices " + ScriptWords(option.choices, " ");
    return "text";
}

struct Tables {
    std::map<std::string, std::string> commands;  // path -> its commands
    std::map<std::string, std::string> options;   // path -> its options
    std::map<std::string, std::string> kinds;     // option name -> value kind
    std::vector<std::string> fileArguments;       // paths whose arguments are files
};

void Collect(const CommandDoc& command, const CompletionInfo& info, Tables& tables) {
    const std::string path = ScriptWords(command.path, " ");
    std::vector<std::string> names;
    for (const ArgumentDoc& argument : command.arguments) {
        if (argument.positional) {
            if (argument.TakesFile()) tables.fileArguments.push_back(path);
            continue;
        }
        const std::string kind = ValueKind(argument, info);
        for (const std::string& name : argument.names) {
            names.push_back(name);
            const auto [known, added] = tables.kinds.emplace(PlainWord(name), kind);
            if (!added && known->second != kind) {
                throw std::runtime_error("option " + name + " takes '" + known->second +
                                         "' in one command and '" + kind + "' in another");
            }
        }
    }
    tables.options[path] = ScriptWords(names, " ");
    std::vector<std::string> subcommands;
    for (const CommandDoc& sub : command.commands) {
        subcommands.push_back(sub.path.back());
        Collect(sub, info, tables);
    }
    tables.commands[path] = ScriptWords(subcommands, " ");
}

void CheckNamed(const Tables& tables, const std::string& option) {
    if (tables.kinds.count(option) == 0) throw std::runtime_error("no option " + option);
}

// One shell function that sets REPLY from a table keyed by its first argument.
void WriteTable(std::ostream& out, const std::string& function, const std::string& comment,
                const std::map<std::string, std::string>& table, const std::string& otherwise) {
    out << "# " << comment << "\n" << function << "() {\n    case $1 in\n";
    for (const auto& [key, value] : table) {
        if (value.empty()) continue;
        out << "        \"" << key << "\") REPLY=\"" << value << "\" ;;\n";
    }
    out << "        *) REPLY=" << otherwise << " ;;\n    esac\n}\n";
}

}  // namespace

std::string ScriptWords(const std::vector<std::string>& words, const std::string& separator) {
    std::string out;
    for (const std::string& word : words) out += (out.empty() ? "" : separator) + PlainWord(word);
    return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string WriteCompletionTables(const ProgramDoc& program, const CompletionInfo& info,
                                  const std::string& prefix) {
    Tables tables;
    Collect(program.top, info, tables);
    CheckNamed(tables, info.deviceOption);
    for (const std::string& option : info.busOptions) CheckNamed(tables, option);

    std::ostringstream out;
    WriteTable(out, prefix + "_commands", "The commands one level below a command path.",
               tables.commands, "\"\"");
    WriteTable(out, prefix + "_options", "The options of a command path (\"\": the program's).",
               tables.options, "\"\"");
    WriteTable(out, prefix + "_value_kind",
               "How an option's value is completed: flag (none), optional (only as "
               "--option=VALUE), file,\n# device, text or \"choices WORD...\".",
               tables.kinds, "flag");
    out << "# Whether the arguments of a command path are files.\n"
        << prefix << "_file_arguments() {\n    case $1 in\n";
    for (const std::string& path : tables.fileArguments) {
        out << "        \"" << path << "\") return 0 ;;\n";
    }
    out << "    esac\n    return 1\n}\n"
        << "# Options that choose where the device list looks.\n"
        << prefix << "_bus_option() {\n    case $1 in\n        "
        << ScriptWords(info.busOptions, "|") << ") return 0 ;;\n    esac\n    return 1\n}\n";
    return out.str();
}

}  // namespace qv::doc
