#pragma once
// The question before an update, for one device and for --all.

#include "cli/CliContext.h"

namespace qv {

// Asks on stderr; anything but y or yes (in any case), or the end of input, declines.
bool ConfirmUpdate(CliContext& context);

}  // namespace qv
