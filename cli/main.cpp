// qvtool: the command line of the update and service tool, for benches and production lines.

#include <iostream>

#include "cli/Qvtool.h"
#include "platform/StopSignals.h"

int main(int argc, char** argv) {
    // A reader that went away must not end an update half-way; the report says what was lost.
    qv::IgnoreBrokenPipe();
    const qv::StopSignals stop(
        "qvtool: stopping at the next safe point, then closing the device properly; a second "
        "stop ends at once\n");
    return qv::RunQvtool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
