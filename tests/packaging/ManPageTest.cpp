// The man pages the build writes say what the programs' --help says: every command, every
// option and argument with its text, the exit statuses and the environment. The pages are read
// as man shows them (groff), so a text that roff swallows or mangles fails too.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Qvtool.h"
#include "packaging/ManPage.h"
#include "tests/packaging/ProgramOutput.h"

namespace qv {
namespace {

// Whitespace collapsed to one space and none after a hyphen (a line may break there), so
// wrapped and unwrapped texts compare equal.
std::string Flat(const std::string& text) {
    std::string flat = std::regex_replace(text, std::regex("\\s+"), " ");
    return std::regex_replace(flat, std::regex("- "), "-");
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ManAsText(const std::string& page) {
    return Flat(test::Output(QV_GROFF " -man -Tascii -P-cbou " + test::Quoted(page)));
}

// One entry of a help text: "  --file FILE   Firmware file ...", its text wrapped onto deeper
// indented lines or starting on the next one.
struct HelpEntry {
    std::string section;  // "Options", "Subcommands", "Exit status", ...
    std::string column;   // "--sim-fault TEXT Excludes: --replay"
    std::string text;
};

std::vector<HelpEntry> Entries(const std::string& help) {
    std::vector<HelpEntry> entries;
    std::istringstream in(help);
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != ' ' && line.back() == ':') {
            section = line.substr(0, line.size() - 1);
        } else if (line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ' &&
                   !section.empty()) {
            const std::size_t gap = line.find("  ", 2);
            entries.push_back({section, line.substr(2, gap - 2),
                               gap == std::string::npos ? "" : line.substr(gap)});
        } else if (line.rfind("   ", 0) == 0 && !entries.empty()) {
            entries.back().text += " " + line;
        } else {
            section.clear();
        }
    }
    for (HelpEntry& entry : entries) entry.text = Trimmed(Flat(entry.text));
    return entries;
}

// The option names of an entry's first column ("-h,--help", "-h, --help <X>"), with what
// follows "Needs:" or "Excludes:" as one text.
void ExpectEntryInPage(const HelpEntry& entry, const std::string& page, const std::string& where) {
    std::string column = entry.column;
    for (const char* label : {"Needs:", "Excludes:"}) {
        const std::size_t at = column.find(label);
        if (at == std::string::npos) continue;
        EXPECT_NE(page.find(Flat(column.substr(at))), std::string::npos) << where << column;
        column.erase(at);
    }
    std::istringstream names(std::regex_replace(column, std::regex(","), " "));
    for (std::string name; names >> name;) {
        if (name[0] == '-') {
            EXPECT_NE(page.find(name), std::string::npos) << where << name;
        }
    }
    EXPECT_NE(page.find(Flat(entry.text)), std::string::npos) << where << entry.text;
}

std::string QvtoolHelp(const std::vector<std::string>& command) {
    std::vector<std::string> arguments = command;
    arguments.push_back("--help");
    std::ostringstream out, err;
    EXPECT_EQ(RunQvtool(arguments, out, err), 0);
    return out.str();
}

// Every command below `command`, each help entry of each, found in the page.
void ExpectCommandsInPage(const std::vector<std::string>& command, const std::string& page) {
    std::string where = "qvtool";
    for (const std::string& word : command) where += " " + word;
    if (!command.empty()) {
        EXPECT_NE(page.find(where), std::string::npos) << where;
    }
    for (const HelpEntry& entry : Entries(QvtoolHelp(command))) {
        const std::string context = where + " --help, " + entry.section + ": ";
        if (entry.section == "Subcommands") {
            std::vector<std::string> sub = command;
            sub.push_back(entry.column);
            ExpectCommandsInPage(sub, page);
            EXPECT_NE(page.find(entry.text), std::string::npos) << context << entry.text;
        } else if (entry.section == "Exit status" || entry.section == "Environment") {
            EXPECT_NE(page.find(entry.column + " " + entry.text), std::string::npos)
                << context << entry.column;
        } else {
            ExpectEntryInPage(entry, page, context);
        }
    }
}

TEST(ManPages, QvtoolsSaysWhatEveryHelpOfQvtoolSays) {
    const std::string page = ManAsText(QV_DOCS_DIR "/qvtool.1");
    for (const char* section :
         {"NAME", "SYNOPSIS", "OPTIONS", "COMMANDS", "EXIT STATUS", "ENVIRONMENT", "SEE ALSO"}) {
        EXPECT_NE(page.find(std::string(" ") + section + " "), std::string::npos) << section;
    }
    ExpectCommandsInPage({}, page);
}

TEST(ManPages, QvupdatesSaysWhatItsHelpSays) {
    const std::string help = test::Output("QT_QPA_PLATFORM=offscreen " QV_QVUPDATE " --help");
    const std::string page = ManAsText(QV_DOCS_DIR "/qvupdate.1");
    const std::vector<HelpEntry> entries = Entries(help);
    ASSERT_GE(entries.size(), 9u) << help;
    for (const HelpEntry& entry : entries) ExpectEntryInPage(entry, page, "qvupdate --help: ");
    for (const char* section : {"EXIT STATUS", "ENVIRONMENT", "QT_ENABLE_HIGHDPI_SCALING"}) {
        EXPECT_NE(page.find(section), std::string::npos) << section;
    }
}

// Texts reach the reader as written: no line of them read as a roff request, backslashes and
// minus signs kept.
TEST(ManPages, ShowTextsAsWritten) {
    doc::ProgramDoc program;
    program.name = "tool";
    program.summary = "a tool";
    const std::vector<std::string> texts = {
        ".SH looks like a request",
        "'also a request",
        "a path C:\\fw\\new.hex and \\fB no bold",
        "--minus -signs stay",
        "two lines\n.TP at the start of the second",
    };
    for (const std::string& text : texts) {
        doc::ArgumentDoc argument;
        argument.names = {"--x"};
        argument.description = text;
        program.top.arguments.push_back(argument);
    }
    const std::string file = testing::TempDir() + "tool.1";
    std::ofstream(file) << doc::WriteManPage(program, {"1.0", {}});
    const std::string page = ManAsText(file);
    for (const std::string& text : texts) {
        EXPECT_NE(page.find(Flat(text)), std::string::npos) << text << "\nin: " << page;
    }
}

}  // namespace
}  // namespace qv
