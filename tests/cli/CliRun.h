#pragma once
// Runs qvtool in-process and captures what it prints.

#include <sstream>
#include <string>
#include <vector>

#include "cli/Qvtool.h"

namespace qv {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun RunCli(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    const int status = RunQvtool(arguments, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace qv
