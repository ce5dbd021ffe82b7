// qvtool: the command line of the update and service tool, for benches and production lines.

#include <iostream>

#include "cli/Qvtool.h"
#include "system/StandardStreams.h"
#include "system/StopSignals.h"

int main(int argc, char** argv) {
    // Before any file is opened: a closed stdout must not become the first file's descriptor.
    qv::KeepStandardStreamsApart();
    // A reader that went away must not end an update half-way; the report says what was lost.
    qv::IgnoreBrokenPipe();
    const qv::StopSignals stop(
        "qvtool: stopping at the next safe point, then closing the device properly; a second "
        "stop skips the closing steps\n",
        "qvtool: second stop: nothing more is sent to the device; the steps left undone "
        "follow; a third stop ends at once\n");
    return qv::RunQvtool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
