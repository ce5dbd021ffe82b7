#pragma once
// Lists the updatable devices present: catalogue products (property mode) and bare chips in
// ISP mode (plain mode), each with the interface path it was seen at.

#include <string>
#include <vector>

#include "platform/DeviceApi.h"

namespace qv {

class QuorvexUsb;

struct FoundDevice {
    std::string displayName;
    std::string idText;
    bool propertyMode = false;
    std::string path;
    int catalogIndex = -1;  // -1 for a bare chip
};

// Each device once, however many interfaces it has registered.
std::vector<FoundDevice> ScanDevices(DeviceApi& api);

// Opens the device's path and closes it again: success, or why it cannot be used.
DeviceResult TryOpen(DeviceApi& api, const FoundDevice& device);

// Points the link at a found device (mode, id text) and runs Find on it.
bool SelectDevice(QuorvexUsb& usb, const FoundDevice& device);

}  // namespace qv
