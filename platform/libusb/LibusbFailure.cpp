#include "platform/libusb/LibusbFailure.h"

#include <libusb.h>

#include <string>

namespace qv {
namespace {

FailureKind KindOf(int error) {
    switch (error) {
        case LIBUSB_ERROR_ACCESS:
            return FailureKind::kPermission;
        case LIBUSB_ERROR_NOT_FOUND:
            return FailureKind::kNotFound;
        case LIBUSB_ERROR_NO_DEVICE:
            return FailureKind::kGone;
        case LIBUSB_ERROR_TIMEOUT:
            return FailureKind::kTimedOut;
        case LIBUSB_ERROR_PIPE:
            return FailureKind::kStalled;
        case LIBUSB_ERROR_BUSY:
            return FailureKind::kBusy;
        case LIBUSB_ERROR_NOT_SUPPORTED:
        case LIBUSB_ERROR_INVALID_PARAM:
            return FailureKind::kRefused;
        default:
            return FailureKind::kOther;
    }
}

}  // namespace

DeviceResult LibusbFailure(int error, const char* doing) {
    return DeviceResult::Failure(KindOf(error), std::string(doing) + ": " + libusb_strerror(error));
}

}  // namespace qv
