#include "system/DesktopSession.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

namespace qv {

#ifdef _WIN32

namespace {

// A standard handle that leads nowhere: none given, or not a file, pipe or console.
bool LeadsNowhere(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE ||
           GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

}  // namespace

void AttachParentConsole() {
    const bool output = LeadsNowhere(STD_OUTPUT_HANDLE);
    const bool error = LeadsNowhere(STD_ERROR_HANDLE);
    if (!output && !error) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    // Streams already redirected by the caller keep their target.
    if (output) std::freopen("CONOUT$", "w", stdout);
    if (error) std::freopen("CONOUT$", "w", stderr);
}

bool MessagesNeedAWindow() {
    return true;
}

std::string NoDeviceAdvice(bool driverRegistered) {
    if (!driverRegistered)
        return "The product's driver is not installed on this computer: install it (see "
               "README-Windows), then plug the product in.";
    return "Plug the product in and check its USB cable (its driver is installed).";
}

#else

void AttachParentConsole() {}

bool MessagesNeedAWindow() {
    return false;
}

std::string NoDeviceAdvice(bool /*driverRegistered*/) {
    return "Plug the product in and check its USB cable.";
}

#endif

}  // namespace qv
