#pragma once
// A device interface that passes every call to another one and appends each call that has an
// outcome (listing, opening, I/O control) with that outcome to a traffic log (see TrafficLog.h),
// so a session on any bus, real or virtual, good or failed, can be captured and replayed later.

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "platform/ForwardingDeviceApi.h"

namespace qv {

class RecordingDeviceApi final : public ForwardingDeviceApi {
  public:
    // Starts `fileName` with the version line, or appends to a log of this version; refused when
    // it cannot be opened, written or holds something else.
    static Expected<std::unique_ptr<RecordingDeviceApi>> Create(DeviceApi& inner,
                                                                const std::string& fileName);
    ~RecordingDeviceApi() override;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;

    // Success while every line was written; else why the log stopped short (a full disk, an
    // I/O error), with the system's words. The calls go on regardless, so that device work is
    // never cut short by its log; the run's report fails when it is done.
    const Expected<void>& Written() const { return written_; }

  private:
    RecordingDeviceApi(DeviceApi& inner, std::FILE* file, std::string name)
        : ForwardingDeviceApi(inner), file_(file), name_(std::move(name)) {}
    void WriteLine(const std::string& line);

    std::FILE* file_;
    std::string name_;
    Expected<void> written_;
    std::map<DeviceSetHandle, std::string> setClasses_;  // the open sets and their class
};

}  // namespace qv
