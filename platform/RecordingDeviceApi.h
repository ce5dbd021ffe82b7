#pragma once
// A device interface that passes every call to another one and appends each opened path and
// I/O control to a traffic log (see TrafficLog.h), so a session on any bus, real or virtual, can be
// captured and replayed later.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/ForwardingDeviceApi.h"

namespace qv {

class RecordingDeviceApi final : public ForwardingDeviceApi {
  public:
    // Appends to `fileName`; null with the reason in `error` when it cannot be opened.
    static std::unique_ptr<RecordingDeviceApi> Create(DeviceApi& inner, const std::string& fileName,
                                                      std::string& error);
    ~RecordingDeviceApi() override;

    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;

  private:
    RecordingDeviceApi(DeviceApi& inner, std::FILE* file)
        : ForwardingDeviceApi(inner), file_(file) {}
    void WriteLine(const std::string& line);

    std::FILE* file_;
};

}  // namespace qv
