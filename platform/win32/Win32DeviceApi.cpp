#include "platform/win32/Win32DeviceApi.h"

// windows.h first: setupapi.h builds on its types.
#include <windows.h>
// (kept apart so that include sorting leaves the order)
#include <setupapi.h>

#include <cstring>
#include <vector>

namespace qv {
namespace {

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

bool InterfaceData(HDEVINFO set, const GUID& interfaceClass, std::uint32_t index,
                   SP_DEVICE_INTERFACE_DATA& data) {
    data = {};
    data.cbSize = sizeof data;
    return SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data) != FALSE;
}

}  // namespace

DeviceSetHandle Win32DeviceApi::OpenInterfaceSet(const Guid& interfaceClass) {
    const GUID native = ToGuid(interfaceClass);
    HDEVINFO set =
        SetupDiGetClassDevsA(&native, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return kNoDeviceSet;
    const auto handle = reinterpret_cast<DeviceSetHandle>(set);
    setClasses_[handle] = interfaceClass;
    return handle;
}

EnumResult Win32DeviceApi::EnumerateInterface(DeviceSetHandle set, std::uint32_t index) {
    auto it = setClasses_.find(set);
    if (it == setClasses_.end()) return EnumResult::kError;
    SP_DEVICE_INTERFACE_DATA data;
    if (InterfaceData(ToSet(set), ToGuid(it->second), index, data)) return EnumResult::kFound;
    return GetLastError() == ERROR_NO_MORE_ITEMS ? EnumResult::kNoMoreItems : EnumResult::kError;
}

bool Win32DeviceApi::InterfaceDetailPath(DeviceSetHandle set, std::uint32_t index,
                                         std::string& path) {
    auto it = setClasses_.find(set);
    SP_DEVICE_INTERFACE_DATA data;
    if (it == setClasses_.end() || !InterfaceData(ToSet(set), ToGuid(it->second), index, data))
        return false;
    // The first call only says how large the detail record is.
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, nullptr, 0, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(DWORD)) return false;
    std::vector<std::uint8_t> record(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
    detail->cbSize = sizeof *detail;
    if (!SetupDiGetDeviceInterfaceDetailA(ToSet(set), &data, detail, size, nullptr, nullptr))
        return false;
    path = detail->DevicePath;
    return true;
}

void Win32DeviceApi::DestroyInterfaceSet(DeviceSetHandle set) {
    if (setClasses_.erase(set) != 0) SetupDiDestroyDeviceInfoList(ToSet(set));
}

FileHandle Win32DeviceApi::OpenPath(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    return file == INVALID_HANDLE_VALUE ? kNoFileHandle : reinterpret_cast<FileHandle>(file);
}

bool Win32DeviceApi::IoControl(FileHandle handle, std::uint32_t code, const std::uint8_t* in,
                               std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize) {
    DWORD returned = 0;
    return DeviceIoControl(ToHandle(handle), code, const_cast<std::uint8_t*>(in), inSize, out,
                           outSize, &returned, nullptr) != FALSE;
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
