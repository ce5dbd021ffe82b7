#pragma once
// One run of a flash operation or sequence: where it reports, and whether it was asked to stop
// and where it stopped. The front end raises stopRequested (a click while messages run, a
// signal); the operations clear it as they start.

#include <cstdint>
#include <optional>

#include "flash/FlashReporter.h"

namespace qv {

struct FlashRun {
    explicit FlashRun(FlashReporter& reporter) : reporter(reporter) {}

    FlashReporter& reporter;
    bool stopRequested = false;
    // Where the latest long step ended on a stop request: the first address left undone.
    std::optional<std::uint32_t> stoppedAt;
};

}  // namespace qv
