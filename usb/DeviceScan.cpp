#include "usb/DeviceScan.h"

#include <set>

#include "catalog/Products.h"
#include "platform/carriers/RequestBlocks.h"
#include "text/LetterCase.h"
#include "usb/QuorvexUsb.h"

namespace qv {
namespace {

// An interface path names its device instance before the "#{" of its class: "\\?\usb#vid_..&
// pid_..#<instance>" on Windows, "...#<bus>-<port path>" for libusb. One device may register
// an interface twice, or under two classes; its instance stays the same. Windows spells
// instances in either case.
std::string DeviceInstance(const std::string& path) {
    return Lower(path.substr(0, path.find("#{")));
}

std::vector<std::string> InterfacePaths(DeviceApi& api, const Guid& interfaceClass) {
    std::vector<std::string> paths;
    DeviceSetHandle set = kNoDeviceSet;
    if (!api.OpenInterfaceSet(interfaceClass, set).ok()) return paths;
    for (std::uint32_t i = 0; api.EnumerateInterface(set, i).ok(); ++i) {
        std::string path;
        if (api.InterfaceDetailPath(set, i, path).ok()) paths.push_back(std::move(path));
    }
    api.DestroyInterfaceSet(set);
    return paths;
}

}  // namespace

std::vector<FoundDevice> ScanDevices(DeviceApi& api) {
    std::vector<FoundDevice> found;
    std::set<std::string> instances;
    // A device is listed once, at the first of its interfaces.
    const auto add = [&](FoundDevice device) {
        if (instances.insert(DeviceInstance(device.path)).second)
            found.push_back(std::move(device));
    };
    for (const std::string& path : InterfacePaths(api, kProductInterfaceClass)) {
        for (std::size_t row = 0; row < DeviceCatalog.size(); ++row) {
            if (path.find(DeviceCatalog[row].deviceId) == std::string::npos) continue;
            add({DeviceCatalog[row].displayName, DeviceCatalog[row].deviceId, true, path,
                 static_cast<int>(row)});
        }
    }
    for (const std::string& path : InterfacePaths(api, kUsbDeviceInterfaceClass)) {
        for (const char* id : {kIspIdA7d6, kIspId0c5e}) {
            if (path.find(id) == std::string::npos) continue;
            const bool a7d6 = std::string(id) == kIspIdA7d6;
            add({a7d6 ? "Firmware update device A7D6" : "Firmware update device 0C5E", id, false,
                 path, -1});
        }
    }
    return found;
}

DeviceResult TryOpen(DeviceApi& api, const FoundDevice& device) {
    FileHandle handle = kNoFileHandle;
    DeviceResult result = api.OpenPath(device.path, handle);
    if (result.ok()) api.CloseHandle(handle);
    return result;
}

bool SelectDevice(QuorvexUsb& usb, const FoundDevice& device) {
    usb.SetPropertyMode(device.propertyMode);
    usb.SetIdText(device.idText);
    usb.Find();
    return usb.IsPresent();
}

}  // namespace qv
