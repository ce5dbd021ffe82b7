#pragma once
// qvtool update --all: every present catalogue product (each with its catalogue file, or --file
// for all) and, with --file, every bare chip, updated in parallel, one link and one thread each;
// --device narrows them to the devices it names. One --file never reaches two catalogue
// products (two rows of one display name are two products), nor bare chips beside products,
// unless --device chose them; never another product's catalogue file without
// --other-product-firmware. One failure never stops the others; every update runs its
// closing steps. A summary table (device, path, result, time, warnings) ends the run.

#include <string>

#include "cli/CliContext.h"
#include "cli/Report.h"

namespace qv {

struct UpdateAllOptions {
    std::string file;
    bool yes = false;
    bool otherProduct = false;  // --other-product-firmware
};

// The caller has already refused --json without --yes.
void UpdateAll(CliContext& context, Report& report, const UpdateAllOptions& options);

}  // namespace qv
