#pragma once
// What a CLI11 command tree says about itself: the same names, values and texts --help shows.

#include <CLI/CLI.hpp>

#include "packaging/ProgramDoc.h"

namespace qv::doc {

// The program `app` describes. Its description reads "NAME: summary"; its footer holds the
// closing sections (see HelpSections.h).
ProgramDoc DescribeCli11(const CLI::App& app);

}  // namespace qv::doc
