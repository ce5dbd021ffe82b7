#pragma once
// The one device a command works on, as its link sees the bus: interface sets list only the
// chosen path, so two products with the same id are never confused, and every failed I/O
// control is counted, so a command can tell that a transfer failed even where the chip
// commands carry on regardless.

#include <string>

#include "platform/DeviceApi.h"

namespace qv {

class DeviceView final : public DeviceApi {
  public:
    DeviceView(DeviceApi& api, std::string path) : api_(api), path_(std::move(path)) {}

    int FailedTransfers() const { return failedTransfers_; }

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override { api_.DestroyInterfaceSet(set); }
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override { api_.CloseHandle(handle); }
    void Sleep(std::uint32_t milliseconds) override { api_.Sleep(milliseconds); }
    std::string CurrentDirectory() override { return api_.CurrentDirectory(); }
    char PathSeparator() const override { return api_.PathSeparator(); }

  private:
    // The member of the underlying set whose path is the chosen one, or -1.
    std::int64_t ChosenMember(DeviceSetHandle set);

    DeviceApi& api_;
    std::string path_;
    int failedTransfers_ = 0;
};

}  // namespace qv
