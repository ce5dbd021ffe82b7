#pragma once
// One program at a time on a device: the first open of a device path takes the device's lock
// (see ProcessLock.h), waiting up to a limit for another program to let go; the last close lets
// go. A second program's open fails as busy, "the device is in use by process 1234", before
// any request reaches the device. Hold() keeps the lock across the opens and closes of work
// that must not be split (a whole update).

#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "platform/ForwardingDeviceApi.h"
#include "system/ProcessLock.h"

namespace qv {

class LockingDeviceApi final : public ForwardingDeviceApi {
  public:
    LockingDeviceApi(std::unique_ptr<DeviceApi> inner, std::chrono::milliseconds wait);

    DeviceResult OpenPath(const std::string& path, FileHandle& handle) override;
    void CloseHandle(FileHandle handle) override;

    // Takes the lock of the device at `path` until the matching Release.
    DeviceResult Hold(const std::string& path);
    void Release(const std::string& path);

  private:
    struct Held {
        std::unique_ptr<ProcessLock> lock;
        int users = 0;
    };

    std::unique_ptr<DeviceApi> inner_;
    std::chrono::milliseconds wait_;
    std::map<std::string, Held> held_;
    std::map<FileHandle, std::string> handles_;
};

// The lock of a device path: its bus and port ("usb-1-2") in the name where the path shows
// them, the whole path in the key.
std::string DeviceLockReadable(const std::string& path);

}  // namespace qv
