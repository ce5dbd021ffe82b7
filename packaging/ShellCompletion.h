#pragma once
// Shell completion for a program with commands, from what its help says: the commands at each
// level, their options, file values and file arguments, the values a check accepts, and the
// devices the program itself lists.

#include <string>
#include <vector>

#include "packaging/ProgramDoc.h"

namespace qv::doc {

struct CompletionInfo {
    std::string deviceOption;  // e.g. "--device": completed with the ids the list command prints
    std::vector<std::string> listCommand;  // e.g. {"list", "--json"}: prints "id":"..." pairs
    // Program options that choose where the list command looks (e.g. --simulate); as typed so
    // far, they are passed on to it.
    std::vector<std::string> busOptions;
};

// A bash completion script for `program` (complete -F). Throws std::runtime_error when the
// help cannot be completed as one table: an option name with two meanings, or an option named
// in `info` that the program lacks.
std::string WriteBashCompletion(const ProgramDoc& program, const CompletionInfo& info);
// The same for zsh (#compdef, compadd and _files), throwing as above.
std::string WriteZshCompletion(const ProgramDoc& program, const CompletionInfo& info);

}  // namespace qv::doc
