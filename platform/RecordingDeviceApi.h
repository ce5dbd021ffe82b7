#pragma once
// A device interface that passes every call to another one and appends each I/O control to a
// traffic log (see TrafficLog.h), so a session on any bus, real or virtual, can be captured and
// replayed later.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/DeviceApi.h"

namespace qv {

class RecordingDeviceApi final : public DeviceApi {
  public:
    // Appends to `fileName`; null with the reason in `error` when it cannot be opened.
    static std::unique_ptr<RecordingDeviceApi> Create(DeviceApi& inner, const std::string& fileName,
                                                      std::string& error);
    ~RecordingDeviceApi() override;

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
    std::string CurrentDirectory() override;
    char PathSeparator() const override;

  private:
    RecordingDeviceApi(DeviceApi& inner, std::FILE* file) : inner_(inner), file_(file) {}
    void WriteLine(const std::string& line);

    DeviceApi& inner_;
    std::FILE* file_;
};

}  // namespace qv
