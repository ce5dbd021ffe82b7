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

// Runs on the virtual device go in virtual time, so its waits take no wall time.
inline CliRun RunCli(std::vector<std::string> arguments) {
    for (const std::string& argument : arguments) {
        if (argument.rfind("--simulate", 0) == 0) {
            arguments.insert(arguments.begin(), "--sim-virtual-time");
            break;
        }
    }
    std::ostringstream out, err;
    const int status = RunQvtool(arguments, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace qv
