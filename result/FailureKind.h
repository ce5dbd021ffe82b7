#pragma once
// The kinds of failure the whole tool tells apart: the device calls' own (permission, not found,
// gone, ...) and "other" for everything the text alone explains.

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

// A short, stable name of the kind ("permission", "timed-out"), for scripts and traffic logs.
const char* FailureKindName(FailureKind kind);

}  // namespace qv
