#include "platform/win32/Win32DeviceApi.h"

// windows.h first: setupapi.h builds on its types.
#include <windows.h>
// (kept apart so that include sorting leaves the order)
#include <setupapi.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/carriers/RequestBlocks.h"
#include "platform/win32/RequestThread.h"
#include "platform/win32/Win32Failure.h"
#include "text/LetterCase.h"

namespace qv {
namespace {

constexpr const char* kRequestDoing = "control transfer";
// How long a driver gets to give back a request after it was cancelled.
constexpr DWORD kCancelGraceMs = 500;

DeviceResult ListFailure(const char* doing) {
    return Win32Failure(GetLastError(), Win32Call::kList, doing);
}

DeviceResult DriverHeldRequest() {
    return DeviceResult::Failure(FailureKind::kTimedOut,
                                 std::string(kRequestDoing) +
                                     ": the driver did not complete the request (given up after " +
                                     std::to_string(kRequestTimeoutMs) + " ms and a cancel)");
}

GUID ToGuid(const Guid& guid) {
    GUID native;
    static_assert(sizeof native == sizeof guid.bytes);
    std::memcpy(&native, guid.bytes.data(), sizeof native);
    return native;
}

HDEVINFO ToSet(DeviceSetHandle set) {
    return reinterpret_cast<HDEVINFO>(set);
}

HANDLE ToHandle(FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

DeviceResult NoSuchSet() {
    return DeviceResult::Failure(FailureKind::kOther, "no such device set");
}

DeviceResult InterfaceData(HDEVINFO set, const GUID& interfaceClass, std::uint32_t index,
                           SP_DEVICE_INTERFACE_DATA& data) {
    data = {};
    data.cbSize = sizeof data;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data))
        return DeviceResult::Success();
    return ListFailure("listing the device interfaces");
}

}  // namespace

DeviceResult Win32DeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    const GUID native = ToGuid(interfaceClass);
    HDEVINFO devices =
        SetupDiGetClassDevsA(&native, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return ListFailure("listing the device interfaces");
    set = reinterpret_cast<DeviceSetHandle>(devices);
    setClasses_[set] = interfaceClass;
    return DeviceResult::Success();
}

DeviceResult Win32DeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    auto it = setClasses_.find(set);
    if (it == setClasses_.end()) return NoSuchSet();
    SP_DEVICE_INTERFACE_DATA data;
    return InterfaceData(ToSet(set), ToGuid(it->second), index, data);
}

DeviceResult Win32DeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                                 std::string& path) {
    auto it = setClasses_.find(set);
    if (it == setClasses_.end()) return NoSuchSet();
    SP_DEVICE_INTERFACE_DATA data;
    if (DeviceResult found = InterfaceData(ToSet(set), ToGuid(it->second), index, data);
        !found.ok())
        return found;
    // The first call only says how large the detail record is.
    DWORD size = 0;
    if (!SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, nullptr, 0, &size, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return ListFailure("reading the interface path");
    std::vector<std::uint8_t> record(size > sizeof(DWORD) ? size : sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, detail,
                                          static_cast<DWORD>(record.size()), nullptr, nullptr))
        return ListFailure("reading the interface path");
    path = detail->DevicePath;
    return DeviceResult::Success();
}

bool Win32DeviceApi::InterfaceClassRegistered(const Guid& interfaceClass) {
    const GUID native = ToGuid(interfaceClass);
    // Without DIGCF_PRESENT the set holds every interface a driver ever registered.
    HDEVINFO devices = SetupDiGetClassDevsA(&native, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return true;  // cannot tell: no claim about the driver
    SP_DEVICE_INTERFACE_DATA data;
    const bool registered = InterfaceData(devices, native, 0, data).ok();
    SetupDiDestroyDeviceInfoList(devices);
    return registered;
}

void Win32DeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    if (setClasses_.erase(set) != 0) SetupDiDestroyDeviceInfoList(ToSet(set));
}

DeviceResult Win32DeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    constexpr const char* kDoing = "opening the device";
    // Overlapped, so that every request can be given up after its deadline.
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        handle = reinterpret_cast<FileHandle>(file);
        return DeviceResult::Success();
    }
    const DWORD error = GetLastError();
    // A device on its way out refuses opens too: that is no question of permission.
    if (error == ERROR_ACCESS_DENIED && !StillListed(path))
        return DeviceResult::Failure(FailureKind::kGone,
                                     std::string(kDoing) + ": the device was removed");
    return Win32Failure(error, Win32Call::kOpen, kDoing);
}

bool Win32DeviceApi::StillListed(const std::string& path) {
    const std::string wanted = Lower(path);
    for (const Guid& interfaceClass : {kProductInterfaceClass, kUsbDeviceInterfaceClass}) {
        if (wanted.find(GuidText(interfaceClass)) == std::string::npos) continue;
        DeviceSetHandle set = kNoDeviceSet;
        if (!OpenInterfaceSet(interfaceClass, set).ok()) return true;  // cannot tell
        bool listed = false;
        for (std::uint32_t i = 0; !listed && EnumerateInterface(set, i).ok(); ++i) {
            std::string member;
            listed = InterfaceDetailPath(set, i, member).ok() && Lower(member) == wanted;
        }
        DestroyInterfaceSet(set);
        return listed;
    }
    return true;  // not a device interface: the refusal stands
}

DeviceResult Win32DeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                       const std::uint8_t* in, std::uint32_t inSize,
                                       std::uint8_t* out, std::uint32_t outSize) {
    if (heldHandles_.count(handle) != 0) return DriverHeldRequest();
    const std::uint32_t whole = ExpectedReturnLength(code, in, inSize, outSize);
    const RequestOutcome outcome = RunRequest(ToHandle(handle), code, in, inSize, out, outSize,
                                              whole, kRequestTimeoutMs, kCancelGraceMs);
    switch (outcome.end) {
        case RequestEnd::kHeld:
            // The handle is left to the driver: nothing more is sent through it.
            heldHandles_.insert(handle);
            return DriverHeldRequest();
        case RequestEnd::kCancelled:
            return DeviceResult::Failure(FailureKind::kTimedOut,
                                         std::string(kRequestDoing) + ": timed out after " +
                                             std::to_string(kRequestTimeoutMs) + " ms");
        case RequestEnd::kCompleted:
            break;
    }
    if (outcome.error != ERROR_SUCCESS)
        return Win32Failure(outcome.error, Win32Call::kRequest, kRequestDoing);
    // A read is whole or it failed; a short one has left `out` as it was.
    return ShortTransferCheck(kRequestDoing, outcome.returned, whole);
}

void Win32DeviceApi::CloseHandle(FileHandle handle) {
    heldHandles_.erase(handle);
    ::CloseHandle(ToHandle(handle));
}

void Win32DeviceApi::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::uint64_t Win32DeviceApi::NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace qv
