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

// What the drivers and the system return, by what the caller can do about it. A device that
// is unplugged or stops answering mid-request reaches the caller as any of the "gone" codes,
// depending on the driver and on how far the request had come; each counts towards the stop
// after several unanswered transfers in a row.
constexpr ErrorKind kErrorKinds[] = {
    {ERROR_ACCESS_DENIED, FailureKind::kPermission},
    {ERROR_FILE_NOT_FOUND, FailureKind::kNotFound},
    {ERROR_PATH_NOT_FOUND, FailureKind::kNotFound},
    {ERROR_INVALID_NAME, FailureKind::kNotFound},
    {ERROR_NOT_FOUND, FailureKind::kNotFound},
    // Gone: unplugged, removed by the system, or no longer functioning.
    {ERROR_DEVICE_NOT_CONNECTED, FailureKind::kGone},
    {ERROR_DEV_NOT_EXIST, FailureKind::kGone},
    {kErrorNoSuchDevice, FailureKind::kGone},
    {ERROR_DEVICE_REMOVED, FailureKind::kGone},
    {ERROR_GEN_FAILURE, FailureKind::kGone},
    {ERROR_BAD_COMMAND, FailureKind::kGone},
    {ERROR_IO_DEVICE, FailureKind::kGone},
    {ERROR_OPERATION_ABORTED, FailureKind::kGone},
    {ERROR_INVALID_HANDLE, FailureKind::kGone},
    {ERROR_NOT_READY, FailureKind::kGone},
    {ERROR_DEVICE_NOT_AVAILABLE, FailureKind::kGone},
    // Not answering.
    {ERROR_SEM_TIMEOUT, FailureKind::kTimedOut},
    {ERROR_TIMEOUT, FailureKind::kTimedOut},
    {WAIT_TIMEOUT, FailureKind::kTimedOut},
    // The driver does not take the request or its carrier.
    {ERROR_INVALID_FUNCTION, FailureKind::kRefused},
    {ERROR_INVALID_PARAMETER, FailureKind::kRefused},
    {ERROR_NOT_SUPPORTED, FailureKind::kRefused},
    {ERROR_SET_NOT_FOUND, FailureKind::kRefused},
    {ERROR_SHARING_VIOLATION, FailureKind::kBusy},
    {ERROR_BUSY, FailureKind::kBusy},
    {ERROR_NO_MORE_ITEMS, FailureKind::kNoMoreItems},
};

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

FailureKind Win32FailureKind(DWORD error) {
    for (const ErrorKind& entry : kErrorKinds) {
        if (entry.error == error) return entry.kind;
    }
    return FailureKind::kOther;
}

DeviceResult Win32Failure(DWORD error, const char* doing) {
    return DeviceResult::Failure(Win32FailureKind(error),
                                 std::string(doing) + ": " + SystemText(error));
}

}  // namespace qv
