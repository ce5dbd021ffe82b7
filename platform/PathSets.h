#pragma once
// Interface sets kept as the device paths they listed, for the device interfaces that enumerate
// by path (libusb and replay).

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/DeviceApi.h"

namespace qv {

class PathSets {
  public:
    void Add(DeviceSetHandle set, std::vector<std::string> paths) { sets_[set] = std::move(paths); }
    // Whether member `index` exists; kNoMoreItems past the last.
    DeviceResult Enumerate(DeviceSetHandle set, std::uint32_t index) const;
    DeviceResult Path(DeviceSetHandle set, std::uint32_t index, std::string& path) const;
    void Destroy(DeviceSetHandle set) { sets_.erase(set); }

  private:
    std::map<DeviceSetHandle, std::vector<std::string>> sets_;
};

}  // namespace qv
