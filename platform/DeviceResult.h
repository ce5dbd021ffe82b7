#pragma once
// The outcome of one call into the operating system's device interface: success, or a failure
// of a known kind with the system's own words for it.

#include <cstdint>

#include "result/Expected.h"

namespace qv {

using DeviceResult = Expected<void>;

// Success when a read moved all `asked` bytes, else a failure of kind kShortTransfer that
// says how many came ("doing: short transfer, 3 of 8 bytes").
DeviceResult ShortTransferCheck(const char* doing, std::uint64_t moved, std::uint64_t asked);

}  // namespace qv
