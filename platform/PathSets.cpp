#include "platform/PathSets.h"

namespace qv {

DeviceResult PathSets::Enumerate(DeviceSetHandle set, std::uint32_t index) const {
    const auto it = sets_.find(set);
    if (it == sets_.end()) return DeviceResult::Failure(FailureKind::kOther, "no such device set");
    if (index < it->second.size()) return DeviceResult::Success();
    return DeviceResult::Failure(FailureKind::kNoMoreItems, "no more devices");
}

DeviceResult PathSets::Path(DeviceSetHandle set, std::uint32_t index, std::string& path) const {
    const auto it = sets_.find(set);
    if (it == sets_.end() || index >= it->second.size())
        return DeviceResult::Failure(FailureKind::kNotFound, "no such member of the device set");
    path = it->second[index];
    return DeviceResult::Success();
}

}  // namespace qv
