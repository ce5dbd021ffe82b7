#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qv {

// What the caller of RunQvtool provides besides the arguments.
struct QvtoolSettings {
    std::istream* in = nullptr;  // the confirmation answer; null means standard input
    bool virtualTime = false;    // virtual devices keep device time instead of sleeping
};

// Runs one qvtool command line; returns its exit status (see Outcome in cli/Report.h).
int RunQvtool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
              const QvtoolSettings& settings = {});

}  // namespace qv
