#pragma once
// libusb's error codes as device results.

#include "platform/DeviceResult.h"

namespace qv {

// The kind of a libusb error code (LIBUSB_ERROR_*), with libusb's own description after what
// was being done, e.g. "opening the device: Access denied (insufficient permissions)".
DeviceResult LibusbFailure(int error, const char* doing);

}  // namespace qv
