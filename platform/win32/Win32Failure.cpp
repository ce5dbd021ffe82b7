#include "platform/win32/Win32Failure.h"

#include <cstring>
#include <string>

namespace qv {
namespace {

// Named by newer Windows SDKs, not by MinGW-w64's headers.
constexpr DWORD kErrorNoSuchDevice = 433;

struct ErrorKind {
    DWORD error;
    FailureKind kind;
};

// Listing interfaces: the end of a set, or a class the system cannot list.
constexpr ErrorKind kListErrors[] = {
    {ERROR_NO_MORE_ITEMS, FailureKind::kNoMoreItems},
    {ERROR_ACCESS_DENIED, FailureKind::kPermission},
    {ERROR_NOT_FOUND, FailureKind::kNotFound},
};

// Opening a device path. Access denied is the system's refusal here (the open re-checks that
// the device is still there before it says so); a device that does not function is "other".
constexpr ErrorKind kOpenErrors[] = {
    {ERROR_ACCESS_DENIED, FailureKind::kPermission},
    {ERROR_FILE_NOT_FOUND, FailureKind::kNotFound},
    {ERROR_PATH_NOT_FOUND, FailureKind::kNotFound},
    {ERROR_INVALID_NAME, FailureKind::kNotFound},
    {ERROR_NOT_FOUND, FailureKind::kNotFound},
    {ERROR_DEVICE_NOT_CONNECTED, FailureKind::kGone},
    {ERROR_DEV_NOT_EXIST, FailureKind::kGone},
    {kErrorNoSuchDevice, FailureKind::kGone},
    {ERROR_DEVICE_REMOVED, FailureKind::kGone},
    {ERROR_NOT_READY, FailureKind::kGone},
    {ERROR_DEVICE_NOT_AVAILABLE, FailureKind::kGone},
    {ERROR_SHARING_VIOLATION, FailureKind::kBusy},
    {ERROR_BUSY, FailureKind::kBusy},
};

// A request on an open handle. Gone: unplugged or removed by the system; each counts towards
// the stop after several unanswered transfers in a row. A USB driver fails a request the
// device stalled with ERROR_GEN_FAILURE; a driver that has no such property says
// ERROR_NOT_FOUND or ERROR_SET_NOT_FOUND. A transfer error (ERROR_IO_DEVICE, ERROR_CRC) or an
// abort the tool did not ask for is "other": the device answered, badly.
constexpr ErrorKind kRequestErrors[] = {
    {ERROR_DEVICE_NOT_CONNECTED, FailureKind::kGone},
    {ERROR_DEV_NOT_EXIST, FailureKind::kGone},
    {kErrorNoSuchDevice, FailureKind::kGone},
    {ERROR_DEVICE_REMOVED, FailureKind::kGone},
    {ERROR_BAD_COMMAND, FailureKind::kGone},
    {ERROR_INVALID_HANDLE, FailureKind::kGone},
    {ERROR_NOT_READY, FailureKind::kGone},
    {ERROR_DEVICE_NOT_AVAILABLE, FailureKind::kGone},
    {ERROR_GEN_FAILURE, FailureKind::kStalled},
    {ERROR_SEM_TIMEOUT, FailureKind::kTimedOut},
    {ERROR_TIMEOUT, FailureKind::kTimedOut},
    {WAIT_TIMEOUT, FailureKind::kTimedOut},
    {ERROR_NOT_FOUND, FailureKind::kRefused},
    {ERROR_SET_NOT_FOUND, FailureKind::kRefused},
    {ERROR_INVALID_FUNCTION, FailureKind::kRefused},
    {ERROR_INVALID_PARAMETER, FailureKind::kRefused},
    {ERROR_NOT_SUPPORTED, FailureKind::kRefused},
    {ERROR_ACCESS_DENIED, FailureKind::kPermission},
    {ERROR_BUSY, FailureKind::kBusy},
};

template <std::size_t N>
FailureKind Lookup(const ErrorKind (&table)[N], DWORD error) {
    for (const ErrorKind& entry : table) {
        if (entry.error == error) return entry.kind;
    }
    return FailureKind::kOther;
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

}  // namespace

FailureKind Win32FailureKind(DWORD error, Win32Call call) {
    switch (call) {
        case Win32Call::kList:
            return Lookup(kListErrors, error);
        case Win32Call::kOpen:
            return Lookup(kOpenErrors, error);
        case Win32Call::kRequest:
            return Lookup(kRequestErrors, error);
    }
    return FailureKind::kOther;
}

DeviceResult Win32Failure(DWORD error, Win32Call call, const char* doing) {
    return DeviceResult::Failure(Win32FailureKind(error, call),
                                 std::string(doing) + ": " + SystemText(error));
}

}  // namespace qv
