#pragma once
// A failed Windows call as a DeviceResult: the kind its error code stands for and the system's
// own words, after what was being done ("control transfer: The device is not connected."). One
// code means different things in different calls, so each kind of call has its own table.

#include <windows.h>

#include "platform/DeviceResult.h"

namespace qv {

enum class Win32Call {
    kList,     // SetupAPI: the interface sets and their members
    kOpen,     // CreateFile on a device path
    kRequest,  // an I/O control on an open handle
};

// The kind of failure an error code stands for in `call`; kOther for a code its table does not
// know.
FailureKind Win32FailureKind(DWORD error, Win32Call call);

// "doing: " and the system's message for `error`.
DeviceResult Win32Failure(DWORD error, Win32Call call, const char* doing);

}  // namespace qv
