#pragma once
// What a program's help says, in a form the man page and the shell completions are written
// from: its commands, their options and arguments, and the closing sections (exit status,
// environment).

#include <string>
#include <utility>
#include <vector>

namespace qv::doc {

struct ArgumentDoc {
    // An option's names ("--io-log", "--sim-log"; "--yes", "-y"), or a positional's one name.
    std::vector<std::string> names;
    bool positional = false;
    // What the value is called ("FILE", "TEXT", "INT"); empty for a flag.
    std::string value;
    bool valueOptional = false;  // e.g. --simulate[=NAME]
    std::vector<std::string> choices;
    bool required = false;
    bool repeatable = false;
    std::string description;
    std::vector<std::string> needs;     // options it cannot go without
    std::vector<std::string> excludes;  // options it cannot go with

    bool TakesFile() const { return value == "FILE"; }
};

struct CommandDoc {
    std::vector<std::string> path;  // {"flash", "read"}; empty for the program itself
    std::string description;
    std::vector<ArgumentDoc> arguments;
    std::vector<CommandDoc> commands;
};

// A closing section of the help: a heading and its "KEY  text" entries.
struct HelpSection {
    std::string heading;  // e.g. "Exit status"
    std::vector<std::pair<std::string, std::string>> entries;
};

struct ProgramDoc {
    std::string name;      // "qvtool"
    std::string summary;   // one line, for NAME
    std::string synopsis;  // what follows the name in a usage line
    CommandDoc top;
    bool topOptionsEverywhere = false;  // the program's options may follow any command
    std::vector<HelpSection> sections;
};

}  // namespace qv::doc
