#include "platform/win32/Win32DeviceApi.h"

// windows.h first: setupapi.h builds on its types.
#include <windows.h>
// (kept apart so that include sorting leaves the order)
#include <setupapi.h>

#include <cstring>
#include <vector>

namespace qv {
namespace {

FailureKind KindOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return FailureKind::kPermission;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_NOT_FOUND:
            return FailureKind::kNotFound;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
            return FailureKind::kGone;
        case ERROR_SEM_TIMEOUT:
        case ERROR_TIMEOUT:
            return FailureKind::kTimedOut;
        case ERROR_GEN_FAILURE:  // what a USB driver reports for a stalled request
            return FailureKind::kStalled;
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
        case ERROR_NOT_SUPPORTED:
            return FailureKind::kRefused;
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return FailureKind::kBusy;
        case ERROR_NO_MORE_ITEMS:
            return FailureKind::kNoMoreItems;
        default:
            return FailureKind::kOther;
    }
}

// The system's message for the error, e.g. "Access is denied."
std::string SystemText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer != nullptr ? buffer : "", length);
    LocalFree(buffer);
    while (!text.empty() && std::strchr("\r\n ", text.back()) != nullptr) text.pop_back();
    return text.empty() ? "Windows error " + std::to_string(error) : text;
}

DeviceResult LastFailure() {
    const DWORD error = GetLastError();
    return DeviceResult::Failure(KindOf(error), SystemText(error));
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
    return LastFailure();
}

}  // namespace

DeviceResult Win32DeviceApi::OpenInterfaceSet(const Guid& interfaceClass, DeviceSetHandle& set) {
    const GUID native = ToGuid(interfaceClass);
    HDEVINFO devices =
        SetupDiGetClassDevsA(&native, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (devices == INVALID_HANDLE_VALUE) return LastFailure();
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
        return LastFailure();
    std::vector<std::uint8_t> record(size > sizeof(DWORD) ? size : sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, detail,
                                          static_cast<DWORD>(record.size()), nullptr, nullptr))
        return LastFailure();
    path = detail->DevicePath;
    return DeviceResult::Success();
}

void Win32DeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    if (setClasses_.erase(set) != 0) SetupDiDestroyDeviceInfoList(ToSet(set));
}

DeviceResult Win32DeviceApi::OpenPath(const std::string& path, FileHandle& handle) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastFailure();
    handle = reinterpret_cast<FileHandle>(file);
    return DeviceResult::Success();
}

DeviceResult Win32DeviceApi::IoControl(FileHandle handle, std::uint32_t code,
                                       const std::uint8_t* in, std::uint32_t inSize,
                                       std::uint8_t* out, std::uint32_t outSize) {
    DWORD returned = 0;
    if (DeviceIoControl(ToHandle(handle), code, const_cast<std::uint8_t*>(in), inSize, out, outSize,
                        &returned, nullptr))
        return DeviceResult::Success();
    return LastFailure();
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
