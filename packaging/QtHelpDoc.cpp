#include "packaging/QtHelpDoc.h"

#include <sstream>
#include <stdexcept>

#include "packaging/HelpSections.h"

namespace qv::doc {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "--io-log, --sim-log <FILE>": the names and the value.
ArgumentDoc DescribeNames(const std::string& names) {
    ArgumentDoc argument;
    std::string list = names;
    if (const std::size_t open = names.find(" <"); open != std::string::npos) {
        argument.value = names.substr(open + 2, names.find('>', open) - open - 2);
        list = names.substr(0, open);
    }
    std::istringstream words(list);
    for (std::string word; words >> word;) {
        if (word.back() == ',') word.pop_back();
        argument.names.push_back(word);
    }
    return argument;
}

}  // namespace

ProgramDoc DescribeQtHelp(const std::string& name, const std::string& help,
                          const std::string& sections) {
    ProgramDoc program;
    program.name = name;
    std::istringstream in(help);
    std::string line;
    if (!std::getline(in, line) || line.rfind("Usage: ", 0) != 0) {
        throw std::runtime_error(name + "'s help does not start with its usage line");
    }
    const std::size_t options = line.find(' ', 7);
    program.synopsis = options == std::string::npos ? "" : line.substr(options + 1);
    while (std::getline(in, line) && !Trimmed(line).empty()) {
        program.summary += (program.summary.empty() ? "" : " ") + Trimmed(line);
    }
    if (!program.summary.empty() && program.summary.back() == '.') program.summary.pop_back();
    program.top.description = program.summary;

    // Each option starts a line; deeper indented lines continue its description. A blank line
    // ends the list.
    bool inOptions = false;
    std::vector<ArgumentDoc>& arguments = program.top.arguments;
    while (std::getline(in, line)) {
        if (line == "Options:") {
            inOptions = true;
        } else if (Trimmed(line).empty()) {
            inOptions = false;
        } else if (inOptions && line.rfind("  -", 0) == 0) {
            const std::size_t gap = line.find("  ", 2);
            arguments.push_back(DescribeNames(line.substr(2, gap - 2)));
            if (gap != std::string::npos) arguments.back().description = Trimmed(line.substr(gap));
        } else if (inOptions && !arguments.empty()) {
            std::string& text = arguments.back().description;
            text += (text.empty() ? "" : " ") + Trimmed(line);
        }
    }
    if (program.top.arguments.empty()) throw std::runtime_error(name + "'s help lists no options");
    program.sections = ParseHelpSections(sections);
    return program;
}

}  // namespace qv::doc
