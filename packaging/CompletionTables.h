#pragma once
// The tables a completion script looks things up in, written as shell functions that bash and
// zsh both run (PREFIX is "_" and the program's name):
//   PREFIX_commands PATH      REPLY: the commands one level below a command path ("" on top)
//   PREFIX_options PATH       REPLY: the options of a command path
//   PREFIX_value_kind OPTION  REPLY: flag, optional, file, device, text or "choices WORD..."
//   PREFIX_file_arguments PATH   succeeds when the arguments of a command path are files
//   PREFIX_bus_option OPTION     succeeds for the options passed on to the device list

#include <string>
#include <vector>

#include "packaging/ProgramDoc.h"
#include "packaging/ShellCompletion.h"

namespace qv::doc {

// Throws std::runtime_error as WriteBashCompletion does.
std::string WriteCompletionTables(const ProgramDoc& program, const CompletionInfo& info,
                                  const std::string& prefix);

// The words joined by `separator`; throws std::runtime_error for a word a script would have
// to quote.
std::string ScriptWords(const std::vector<std::string>& words, const std::string& separator);

// `text` with every `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to);

}  // namespace qv::doc
