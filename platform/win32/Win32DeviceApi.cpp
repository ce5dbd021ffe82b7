#include "platform/win32/Win32DeviceApi.h"

// windows.h first: setupapi.h builds on its types.
#include <windows.h>
// (kept apart so that include sorting leaves the order)
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "platform/win32/Win32Failure.h"

namespace qv {
namespace {

DeviceResult LastFailure(const char* doing) {
    return Win32Failure(GetLastError(), doing);
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
    return LastFailure("listing the device interfaces");
}

}  // namespace

DeviceResult Win32DeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    const GUID native = ToGuid(interfaceClass);
    HDEVINFO devices =
        SetupDiGetClassDevsA(&native, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return LastFailure("listing the device interfaces");
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
        return LastFailure("reading the interface path");
    std::vector<std::uint8_t> record(size > sizeof(DWORD) ? size : sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, detail,
                                          static_cast<DWORD>(record.size()), nullptr, nullptr))
        return LastFailure("reading the interface path");
    path = detail->DevicePath;
    return DeviceResult::Success();
}

void Win32DeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    if (setClasses_.erase(set) != 0) SetupDiDestroyDeviceInfoList(ToSet(set));
}

DeviceResult Win32DeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    // Overlapped, so that every request can be given up after its deadline.
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastFailure("opening the device");
    handle = reinterpret_cast<FileHandle>(file);
    return DeviceResult::Success();
}

// The request is overlapped: a driver that has not completed it by the deadline is asked to
// cancel it, and it fails as timed out.
DeviceResult Win32DeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                       const std::uint8_t* in, std::uint32_t inSize,
                                       std::uint8_t* out, std::uint32_t outSize) {
    constexpr const char* kDoing = "control transfer";
    if (done_ == nullptr) return Win32Failure(doneError_, kDoing);
    OVERLAPPED request{};
    request.hEvent = done_;
    ResetEvent(done_);
    DWORD returned = 0;
    if (DeviceIoControl(ToHandle(handle), code, const_cast<std::uint8_t*>(in), inSize, out, outSize,
                        &returned, &request))
        return DeviceResult::Success();
    if (GetLastError() != ERROR_IO_PENDING) return LastFailure(kDoing);
    if (WaitForSingleObject(done_, kRequestTimeoutMs) == WAIT_TIMEOUT) {
        // The buffers must outlive the request: cancel it and wait until the driver lets go.
        CancelIoEx(ToHandle(handle), &request);
        GetOverlappedResult(ToHandle(handle), &request, &returned, TRUE);
        return DeviceResult::Failure(
            FailureKind::kTimedOut,
            std::string(kDoing) + ": timed out after " + std::to_string(kRequestTimeoutMs) + " ms");
    }
    if (GetOverlappedResult(ToHandle(handle), &request, &returned, FALSE))
        return DeviceResult::Success();
    return LastFailure(kDoing);
}

Win32DeviceApi::Win32DeviceApi()
    : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), doneError_(GetLastError()) {}

Win32DeviceApi::~Win32DeviceApi() {
    if (done_ != nullptr) ::CloseHandle(done_);
}

void Win32DeviceApi::CloseHandle(FileHandle handle) {
    ::CloseHandle(ToHandle(handle));
}

void Win32DeviceApi::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::string Win32DeviceApi::CurrentDirectory() {
    std::string directory(GetCurrentDirectoryA(0, nullptr), '\0');
    const DWORD length =
        GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    directory.resize(length < directory.size() ? length : 0);
    return directory;
}

}  // namespace qv
