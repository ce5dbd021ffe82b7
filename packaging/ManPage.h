#pragma once
// A manual page in roff (man macros) from what a program's help says.

#include <string>
#include <vector>

#include "packaging/ProgramDoc.h"

namespace qv::doc {

struct ManPageInfo {
    std::string version;               // e.g. "1.0", shown in the page's footer
    std::vector<std::string> seeAlso;  // e.g. {"qvupdate(1)"}
};

// Section 1 page: NAME, SYNOPSIS, OPTIONS, COMMANDS (each with its options and arguments), then
// one section per closing section of the help (EXIT STATUS, ENVIRONMENT), SEE ALSO.
std::string WriteManPage(const ProgramDoc& program, const ManPageInfo& info);

}  // namespace qv::doc
