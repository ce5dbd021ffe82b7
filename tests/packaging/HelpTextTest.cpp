// Reading help texts: the closing sections, a Qt program's option list, and the checks that
// keep a completion script from offering wrong values.

#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <stdexcept>

#include "packaging/Cli11Doc.h"
#include "packaging/HelpSections.h"
#include "packaging/QtHelpDoc.h"
#include "packaging/ShellCompletion.h"

namespace qv::doc {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(HelpSections, ReadHeadingsEntriesAndContinuations) {
    const struct {
        const char* text;
        std::vector<HelpSection> sections;
    } cases[] = {
        {"", {}},
        {"Text before any heading.\nExit status:\n  0  success\n  1  failure\n",
         {{"Exit status", Entries{{"0", "success"}, {"1", "failure"}}}}},
        {"Environment:\n  A_VAR  first part\n         second part\n\nNotes:\n  x  y",
         {{"Environment", Entries{{"A_VAR", "first part second part"}}},
          {"Notes", Entries{{"x", "y"}}}}},
    };
    for (const auto& c : cases) {
        const std::vector<HelpSection> sections = ParseHelpSections(c.text);
        ASSERT_EQ(sections.size(), c.sections.size()) << c.text;
        for (std::size_t i = 0; i < sections.size(); ++i) {
            EXPECT_EQ(sections[i].heading, c.sections[i].heading) << c.text;
            EXPECT_EQ(sections[i].entries, c.sections[i].entries) << c.text;
        }
    }
}

TEST(HelpSections, RefuseEntriesThatCannotBePlaced) {
    for (const char* text :
         {"  0  an entry without a heading", "Exit status:\n  0success-without-a-gap",
          "Exit status:\n  0  ok\n  continuation-at-entry-depth"}) {
        EXPECT_THROW(ParseHelpSections(text), std::runtime_error) << text;
    }
}

TEST(QtHelp, ReadsUsageSummaryAndWrappedOptions) {
    const std::string help =
        "Usage: /build/bin/tool [options]\n"
        "Does one thing\n"
        "well.\n"
        "\n"
        "Options:\n"
        "  -h, --help                 Displays help on commandline options.\n"
        "  --log, --trace <FILE>      Append every request to FILE, wrapped\n"
        "                             onto a second line.\n"
        "  --a-very-long-option-name-that-fills-the-column <VALUE>\n"
        "                             Its text on the next line.\n"
        "\n"
        "Arguments:\n"
        "  none   not an option\n";
    const ProgramDoc program = DescribeQtHelp("tool", help, "Exit status:\n  0  closed\n");
    EXPECT_EQ(program.synopsis, "[options]");
    EXPECT_EQ(program.summary, "Does one thing well");
    ASSERT_EQ(program.top.arguments.size(), 3u);
    const ArgumentDoc& log = program.top.arguments[1];
    EXPECT_EQ(log.names, (std::vector<std::string>{"--log", "--trace"}));
    EXPECT_EQ(log.value, "FILE");
    EXPECT_EQ(log.description, "Append every request to FILE, wrapped onto a second line.");
    EXPECT_EQ(program.top.arguments[2].description, "Its text on the next line.");
    EXPECT_EQ(program.sections.at(0).entries, (Entries{{"0", "closed"}}));

    EXPECT_THROW(DescribeQtHelp("tool", "tool: no usage line\n", ""), std::runtime_error);
    EXPECT_THROW(DescribeQtHelp("tool", "Usage: tool\nNo options.\n", ""), std::runtime_error);
}

// An option name completed one way in one command and another way in a second would make
// the script offer wrong values; so would a device option the program lacks.
TEST(BashCompletion, RefusesWhatOneTableCannotSay) {
    CLI::App app{"tool: a tool", "tool"};
    std::string file, device;
    bool flag = false;
    app.add_option("--device", device);
    app.add_subcommand("a")->add_option("--file", file)->type_name("FILE");
    CLI::App* b = app.add_subcommand("b");
    b->add_flag("--file", flag);
    const CompletionInfo info{"--device", {"list"}, {}};
    EXPECT_THROW(WriteBashCompletion(DescribeCli11(app), info), std::runtime_error);

    b->remove_option(b->get_option("--file"));
    EXPECT_NO_THROW(WriteBashCompletion(DescribeCli11(app), info));
    EXPECT_THROW(WriteBashCompletion(DescribeCli11(app), {"--no-such", {"list"}, {}}),
                 std::runtime_error);
    app.add_option("--name", device)->check(CLI::IsMember({"a b"}));
    EXPECT_THROW(WriteBashCompletion(DescribeCli11(app), info), std::runtime_error);
}

}  // namespace
}  // namespace qv::doc
