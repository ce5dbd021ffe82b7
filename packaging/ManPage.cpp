#include "packaging/ManPage.h"

#include <sstream>

#include "text/LetterCase.h"

namespace qv::doc {
namespace {

// Text as roff prints it: backslashes and minus signs escaped, each line break kept, no line
// read as a request.
std::string Roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        lineStart = false;
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else if (c == '\n') {
            out += "\n.br\n";
            lineStart = true;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Bold(const std::string& text) {
    return "\\fB" + Roff(text) + "\\fR";
}
std::string Italic(const std::string& text) {
    return "\\fI" + Roff(text) + "\\fR";
}

// "--sim-fault FAULT ...", "--simulate[=NAME]", "--mclk {128|256}", "FILE".
std::string ArgumentLine(const ArgumentDoc& argument) {
    if (argument.positional) {
        return Italic(argument.names.front()) + (argument.repeatable ? " ..." : "");
    }
    std::string line;
    for (const std::string& name : argument.names) line += (line.empty() ? "" : ", ") + Bold(name);
    std::string value;
    if (!argument.choices.empty()) {
        for (const std::string& choice : argument.choices) {
            value += (value.empty() ? "{" : "|") + Italic(choice);
        }
        value += "}";
    } else if (!argument.value.empty()) {
        value = Italic(argument.value);
    }
    if (argument.valueOptional) {
        line += "[=" + value + "]";
    } else if (!value.empty()) {
        line += " " + value;
    }
    if (argument.repeatable) line += " ...";
    return line;
}

// "Needs: --a --b", as the help says it.
std::string OptionList(const std::string& label, const std::vector<std::string>& options) {
    std::string text = label + ":";
    for (const std::string& option : options) text += " " + option;
    return ".br\n" + Roff(text) + "\n";
}

void WriteArguments(std::ostream& out, const std::vector<ArgumentDoc>& arguments) {
    for (const ArgumentDoc& argument : arguments) {
        out << ".TP\n" << ArgumentLine(argument) << "\n" << Roff(argument.description) << "\n";
        if (!argument.needs.empty()) out << OptionList("Needs", argument.needs);
        if (!argument.excludes.empty()) out << OptionList("Excludes", argument.excludes);
    }
}

// "flash read [OPTIONS] FILE": the path and what a command line of it holds.
std::string CommandUsage(const std::string& program, const CommandDoc& command) {
    std::string usage = Bold(program);
    for (const std::string& word : command.path) usage += " " + Bold(word);
    bool options = false;
    std::string positionals;
    for (const ArgumentDoc& argument : command.arguments) {
        if (!argument.positional) {
            options = true;
            continue;
        }
        const std::string name = ArgumentLine(argument);
        positionals += " " + (argument.required ? name : "[" + name + "]");
    }
    if (options) usage += " [" + Italic("OPTIONS") + "]";
    if (!command.commands.empty()) usage += " " + Italic("COMMAND");
    return usage + positionals;
}

void WriteCommands(std::ostream& out, const std::string& program, const CommandDoc& parent) {
    for (const CommandDoc& command : parent.commands) {
        out << ".SS \"" << CommandUsage(program, command) << "\"\n"
            << Roff(command.description) << "\n";
        WriteArguments(out, command.arguments);
        WriteCommands(out, program, command);
    }
}

}  // namespace

std::string WriteManPage(const ProgramDoc& program, const ManPageInfo& info) {
    std::ostringstream out;
    out << ".\\\" Written by the build from " << program.name << "'s own help; do not edit.\n"
        << ".TH " << Upper(program.name) << " 1 \"\" \"" << program.name << " " << info.version
        << "\" \"User Commands\"\n"
        // Words stay whole and lines ragged, so every text reads as the help prints it.
        << ".nh\n.ad l\n"
        << ".SH NAME\n"
        << program.name << " \\- " << Roff(program.summary) << "\n"
        << ".SH SYNOPSIS\n"
        << Bold(program.name) << " " << Roff(program.synopsis) << "\n";
    if (!program.top.arguments.empty()) {
        out << ".SH OPTIONS\n";
        if (program.topOptionsEverywhere && !program.top.commands.empty()) {
            out << "These options apply to every command, before or after it.\n";
        }
        WriteArguments(out, program.top.arguments);
    }
    if (!program.top.commands.empty()) {
        out << ".SH COMMANDS\n";
        WriteCommands(out, program.name, program.top);
    }
    for (const HelpSection& section : program.sections) {
        out << ".SH " << Upper(section.heading) << "\n";
        for (const auto& [key, text] : section.entries) {
            out << ".TP\n" << Bold(key) << "\n" << Roff(text) << "\n";
        }
    }
    if (!info.seeAlso.empty()) {
        out << ".SH SEE ALSO\n";
        for (std::size_t i = 0; i < info.seeAlso.size(); ++i) {
            const std::string& page = info.seeAlso[i];
            const std::size_t paren = page.find('(');
            out << ".BR " << Roff(page.substr(0, paren)) << " " << page.substr(paren)
                << (i + 1 < info.seeAlso.size() ? " ," : "") << "\n";
        }
    }
    return out.str();
}

}  // namespace qv::doc
