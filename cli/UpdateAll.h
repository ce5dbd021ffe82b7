#pragma once
// qvtool update --all: every present catalogue product (each with its catalogue file, or --file
// for all) and, with --file, every bare chip, updated in parallel, one link and one thread each;
// --device narrows them to the devices it names. One --file never reaches products of two
// kinds unless --device chose them. One failure never stops the others; every update runs its
// closing steps. A summary table (device, path, result, time, warnings) ends the run.

#include <string>

#include "cli/CliContext.h"
#include "cli/Report.h"

namespace qv {

struct UpdateAllOptions {
    std::string file;
    bool yes = false;
};

// The caller has already refused --json without --yes.
void UpdateAll(CliContext& context, Report& report, const UpdateAllOptions& options);

}  // namespace qv
