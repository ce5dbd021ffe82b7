// libusb's error codes keep their kind and the library's own words.

#include <gtest/gtest.h>
#include <libusb.h>

#include <utility>

#include "platform/libusb/LibusbFailure.h"

namespace qv {
namespace {

TEST(LibusbFailure, ErrorsKeepTheirKindAndWords) {
    const DeviceResult kNoPermission = LibusbFailure(LIBUSB_ERROR_ACCESS, "opening the device");
    EXPECT_EQ(kNoPermission.kind(), FailureKind::kPermission);
    EXPECT_EQ(kNoPermission.text(),
              std::string("opening the device: ") + libusb_strerror(LIBUSB_ERROR_ACCESS));
    const std::pair<int, FailureKind> cases[] = {
        {LIBUSB_ERROR_ACCESS, FailureKind::kPermission},
        {LIBUSB_ERROR_NOT_FOUND, FailureKind::kNotFound},
        {LIBUSB_ERROR_NO_DEVICE, FailureKind::kGone},
        {LIBUSB_ERROR_TIMEOUT, FailureKind::kTimedOut},
        {LIBUSB_ERROR_PIPE, FailureKind::kStalled},
        {LIBUSB_ERROR_BUSY, FailureKind::kBusy},
        {LIBUSB_ERROR_NOT_SUPPORTED, FailureKind::kRefused},
        {LIBUSB_ERROR_IO, FailureKind::kOther},
        {LIBUSB_ERROR_NO_MEM, FailureKind::kOther},
    };
    for (const auto& [error, kind] : cases) {
        EXPECT_EQ(LibusbFailure(error, "x").kind(), kind) << libusb_error_name(error);
    }
}

}  // namespace
}  // namespace qv
