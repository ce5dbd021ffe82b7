#include "platform/LockingDeviceApi.h"

#include "text/LetterCase.h"

namespace qv {

std::string DeviceLockReadable(const std::string& path) {
    // \\?\usb#vid_a7d6&pid_f017#1-2#{...}: the third field is the bus and port path.
    const std::size_t first = path.find('#');
    const std::size_t second = first == std::string::npos ? first : path.find('#', first + 1);
    const std::size_t third = second == std::string::npos ? second : path.find('#', second + 1);
    if (third == std::string::npos) return "device";
    return "usb-" + path.substr(second + 1, third - second - 1);
}

LockingDeviceApi::LockingDeviceApi(std::unique_ptr<DeviceApi> inner, std::chrono::milliseconds wait)
    : ForwardingDeviceApi(*inner), inner_(std::move(inner)), wait_(wait) {}

DeviceResult LockingDeviceApi::Hold(const std::string& path) {
    Held& held = held_[path];
    if (held.users == 0) {
        Expected<std::unique_ptr<ProcessLock>> lock =
            ProcessLock::Acquire(Lower(path), DeviceLockReadable(path), wait_);
        if (!lock.ok()) {
            held_.erase(path);
            const bool busy = lock.kind() == FailureKind::kBusy;
            return DeviceResult::Failure(
                lock.kind(), (busy ? "the device is " : "the device's lock: ") + lock.text());
        }
        held.lock = std::move(*lock);
    }
    ++held.users;
    return DeviceResult::Success();
}

void LockingDeviceApi::Release(const std::string& path) {
    const auto it = held_.find(path);
    if (it != held_.end() && --it->second.users == 0) held_.erase(it);
}

DeviceResult LockingDeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    handle = kNoFileHandle;
    if (DeviceResult held = Hold(path); !held.ok()) return held;
    DeviceResult result = Inner().OpenPath(path, handle);
    if (result.ok()) {
        handles_[handle] = path;
    } else {
        Release(path);
    }
    return result;
}

void LockingDeviceApi::CloseHandle(FileHandle handle) {
    Inner().CloseHandle(handle);
    if (const auto it = handles_.find(handle); it != handles_.end()) {
        Release(it->second);
        handles_.erase(it);
    }
}

}  // namespace qv
