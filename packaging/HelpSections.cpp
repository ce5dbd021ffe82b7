#include "packaging/HelpSections.h"

#include <sstream>
#include <stdexcept>

namespace qv::doc {
namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::vector<HelpSection> ParseHelpSections(const std::string& text) {
    std::vector<HelpSection> sections;
    std::istringstream in(text);
    std::string line;
    std::size_t entryIndent = 0;
    while (std::getline(in, line)) {
        if (Trimmed(line).empty()) continue;
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == 0) {
            if (line.back() == ':') sections.push_back({line.substr(0, line.size() - 1), {}});
            continue;
        }
        if (sections.empty()) throw std::runtime_error("help entry without a heading: " + line);
        auto& entries = sections.back().entries;
        const std::size_t gap = line.find("  ", indent);
        if (gap == std::string::npos) {
            if (entries.empty() || indent <= entryIndent) {
                throw std::runtime_error("help entry without its text: " + line);
            }
            entries.back().second += " " + Trimmed(line);
            continue;
        }
        entryIndent = indent;
        entries.emplace_back(line.substr(indent, gap - indent), Trimmed(line.substr(gap)));
    }
    return sections;
}

}  // namespace qv::doc
