#pragma once
// What a Qt program's --help (QCommandLineParser) says:
//
//   Usage: /path/qvupdate [options]
//   Firmware update tool for ...
//
//   Options:
//     -h, --help               Displays help on commandline options.
//     --simulate <NAME>        Run on a virtual device: ... wrapped onto
//                              the next lines.

#include <string>

#include "packaging/ProgramDoc.h"

namespace qv::doc {

// The program `help` describes, under `name`, with `sections` (see HelpSections.h) as its
// closing sections. Throws std::runtime_error when `help` lacks its usage line or options.
ProgramDoc DescribeQtHelp(const std::string& name, const std::string& help,
                          const std::string& sections);

}  // namespace qv::doc
