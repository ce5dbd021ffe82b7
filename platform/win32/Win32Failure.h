#pragma once
// A failed Windows call as a DeviceResult: the kind its error code stands for and the system's
// own words, after what was being done ("control transfer: The device is not connected.").

#include <windows.h>

#include "platform/DeviceResult.h"

namespace qv {

// The kind of failure an error code stands for; kOther for a code the table does not know.
FailureKind Win32FailureKind(DWORD error);

// "doing: " and the system's message for `error`.
DeviceResult Win32Failure(DWORD error, const char* doing);

}  // namespace qv
