#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace qv {

// Runs one qvtool command line; returns its exit status (0 only on success).
int RunQvtool(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace qv
