#pragma once
// The real Windows calls: device-interface sets through SetupAPI, the drivers through
// CreateFile and DeviceIoControl. A failed call carries its kind and the system's own text for
// its error. Every request has a deadline (RunRequest): a driver that never completes one is
// given up on, so it cannot freeze the tool.

#include <map>
#include <set>

#include "platform/DeviceApi.h"

namespace qv {

class Win32DeviceApi final : public DeviceApi {
  public:
    Win32DeviceApi() = default;
    Win32DeviceApi(const Win32DeviceApi&) = delete;
    Win32DeviceApi& operator=(const Win32DeviceApi&) = delete;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    bool InterfaceClassRegistered(const Guid& interfaceClass) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t NowMicros() override;

  private:
    // SetupDiEnumDeviceInterfaces asks for the class again on every member.
    std::map<DeviceSetHandle, Guid> setClasses_;
    // Whether `path` is among the present interfaces of its class (also when that cannot be
    // told, or the path names no interface class).
    bool StillListed(const std::string& path);

    // Handles whose driver kept a request past its cancel: every request on them fails at once.
    std::set<FileHandle> heldHandles_;
};

}  // namespace qv
