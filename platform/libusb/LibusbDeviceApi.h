#pragma once
// USB devices through libusb, presented as Windows-style interface paths
// (\\?\usb#vid_xxxx&pid_yyyy#<bus>-<port path>#{class guid}); every USB device is a member of
// the USB device class, and devices with an audio interface also of the product class. Request
// carriers are decoded as the drivers would and sent as vendor control transfers.

#include <libusb.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceApi.h"
#include "platform/PathSets.h"

namespace qv {

class LibusbDeviceApi final : public DeviceApi {
  public:
    LibusbDeviceApi();
    ~LibusbDeviceApi() override;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMicros() override;

  private:
    struct OpenDevice {
        libusb_device_handle* handle = nullptr;
        bool propertyMode = false;
    };

    // Success once libusb started; otherwise why it did not.
    DeviceResult Ready() const;
    DeviceResult PathsOf(const Guid& interfaceClass, std::vector<std::string>& paths);

    libusb_context* context_ = nullptr;
    int initError_ = 0;
    PathSets sets_;
    std::map<FileHandle, OpenDevice> handles_;
    std::intptr_t nextHandle_ = 1;
};

}  // namespace qv
