#pragma once
// A device interface that answers from a traffic log (see TrafficLog.h): it presents the devices
// the log opened, and answers each I/O control with the next recorded one as long as the request
// is the recorded one (code, input block and output size). The first request that differs fails,
// naming the log line, and so does every request after it. Sleeps take no time.

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "platform/DeviceApi.h"
#include "platform/PathSets.h"
#include "platform/TrafficLog.h"

namespace qv {

class ReplayDeviceApi final : public DeviceApi {
  public:
    // Reads and checks the whole log first; null with the reason in `error`.
    static std::unique_ptr<ReplayDeviceApi> Load(const std::string& fileName, std::string& error);
    ReplayDeviceApi(TrafficLog log, std::string name);

    // Why the replay went off the recording; empty while it follows it.
    const std::string& Mismatch() const { return mismatch_; }
    // Success when every recorded request was asked for and none differed.
    DeviceResult Verdict() const;

    DeviceResult OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) override;
    DeviceResult EnumerateInterface(DeviceSetHandle set, std::uint32_t index) override;
    DeviceResult InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                     std::string& path) override;
    void DestroyInterfaceSet(DeviceSetHandle set) override;
    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    DeviceResult IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                           std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) override;
    void CloseHandle(FileHandle handle) override;
    void Sleep(std::uint32_t) override {}
    std::string CurrentDirectory() override;
    char PathSeparator() const override;

  private:
    // How the request differs from `entry`; empty when it is the recorded one.
    static std::string Difference(const TrafficEntry& entry, std::uint32_t code,
                                  const std::uint8_t* in, std::uint32_t inSize,
                                  std::uint32_t outSize);
    DeviceResult Refuse(std::string mismatch);

    TrafficLog log_;
    std::string name_;
    std::size_t next_ = 0;
    std::string mismatch_;
    PathSets sets_;
    std::map<FileHandle, std::string> handles_;
    std::intptr_t nextHandle_ = 1;
};

}  // namespace qv
