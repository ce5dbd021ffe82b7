#pragma once
// Reads the closing sections of a help text:
//
//   Exit status:
//     0  success
//     1  failure on the device: ...
//
// A heading is an unindented line ending in ':'; each indented line below it is an entry, its
// key and its text separated by two or more spaces. A more deeply indented line without such a
// gap continues the entry above.

#include <string>
#include <vector>

#include "packaging/ProgramDoc.h"

namespace qv::doc {

// The sections of `text`; lines before the first heading are not part of any. Throws
// std::runtime_error naming the line when an entry has no text or no heading above it.
std::vector<HelpSection> ParseHelpSections(const std::string& text);

}  // namespace qv::doc
