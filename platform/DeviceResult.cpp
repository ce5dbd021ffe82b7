#include "platform/DeviceResult.h"

#include <string>

namespace qv {

DeviceResult ShortTransferCheck(const char* doing, std::uint64_t moved, std::uint64_t asked) {
    if (moved >= asked) return DeviceResult::Success();
    return DeviceResult::Failure(FailureKind::kShortTransfer,
                                 std::string(doing) + ": short transfer, " + std::to_string(moved) +
                                     " of " + std::to_string(asked) + " bytes");
}

}  // namespace qv
