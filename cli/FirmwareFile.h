#pragma once
// Which firmware file a command programs: the one given, or the catalogue product's own file
// in the current directory, as the window loads it.

#include <string>

#include "image/FirmwareImage.h"
#include "platform/DeviceApi.h"
#include "usb/DeviceScan.h"

namespace qv {

// Loads `file` (HEX or binary by its name) when given; otherwise the device's catalogue file
// (current directory, separator, firmware base name, ".hex") as Intel HEX. A bare chip has no
// catalogue file and needs `file`. False with `error` set when nothing was loaded.
bool LoadFirmwareFor(const FoundDevice& device, const std::string& file, DeviceApi& api,
                     FirmwareImage& image, std::string& error);

}  // namespace qv
