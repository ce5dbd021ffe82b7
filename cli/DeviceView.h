#pragma once
// The one device a command works on, as its link sees the bus: interface sets list only the
// chosen path, so two products with the same id are never confused, and every failed I/O
// control is counted, so a command can tell that a transfer failed even where the chip
// commands carry on regardless. After a second stop request nothing more is sent: each open
// and I/O control fails at once, and no wait sleeps, so the closing steps end quickly and say
// what they left undone.

#include <string>

#include "platform/ForwardingDeviceApi.h"

namespace qv {

class DeviceView final : public ForwardingDeviceApi {
  public:
    DeviceView(DeviceApi& api, std::string path)
        : ForwardingDeviceApi(api), path_(std::move(path)) {}

    int FailedTransfers() const { return failedTransfers_; }

    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    // Nothing is waited for once nothing more is sent.
    void Sleep(std::uint32_t milliseconds) override;

  private:
    // The member of the underlying set whose path is the chosen one, or -1.
    std::int64_t ChosenMember(DeviceSetHandle set);

    std::string path_;
    int failedTransfers_ = 0;
};

}  // namespace qv
