#pragma once
// The outcome of one call into the operating system's device interface: success, or a failure
// of a known kind with the system's own words for it.

#include <cstdint>
#include <string>
#include <utility>

namespace qv {

enum class FailureKind {
    kNone,           // the call succeeded
    kPermission,     // the system refused access to the device
    kNotFound,       // no device at that path, or no such interface class
    kGone,           // the device was unplugged
    kTimedOut,       // the device did not answer in time
    kStalled,        // the device refused the request
    kRefused,        // the driver refused the request or its carrier
    kShortTransfer,  // the device answered a read with fewer bytes than asked for
    kBusy,           // another program holds the device
    kNoMoreItems,    // an enumeration has no member at that index
    kNotSent,        // the program sent nothing: it is ending (a second stop request)
    kOther,          // anything else; the text says what
};

// A short, stable name of the kind ("permission", "timed-out"), for scripts.
const char* FailureKindName(FailureKind kind);

class [[nodiscard]] DeviceResult {
  public:
    DeviceResult() = default;
    static DeviceResult Success() { return {}; }
    static DeviceResult Failure(FailureKind kind, std::string text) {
        return DeviceResult(kind, std::move(text));
    }

    bool ok() const { return kind_ == FailureKind::kNone; }
    FailureKind kind() const { return kind_; }
    // What the system said, e.g. "Access denied (insufficient permissions)"; empty on success.
    const std::string& text() const { return text_; }
    bool operator==(const DeviceResult&) const = default;

  private:
    DeviceResult(FailureKind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

    FailureKind kind_ = FailureKind::kNone;
    std::string text_;
};

// Success when a read moved all `asked` bytes, else a failure of kind kShortTransfer that
// says how many came ("doing: short transfer, 3 of 8 bytes").
DeviceResult ShortTransferCheck(const char* doing, std::uint64_t moved, std::uint64_t asked);

}  // namespace qv
