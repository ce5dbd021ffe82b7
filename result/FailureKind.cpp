#include "result/FailureKind.h"

namespace qv {

const char* FailureKindName(FailureKind kind) {
    switch (kind) {
        case FailureKind::kNone:
            return "none";
        case FailureKind::kPermission:
            return "permission";
        case FailureKind::kNotFound:
            return "not-found";
        case FailureKind::kGone:
            return "gone";
        case FailureKind::kTimedOut:
            return "timed-out";
        case FailureKind::kStalled:
            return "stalled";
        case FailureKind::kRefused:
            return "refused";
        case FailureKind::kShortTransfer:
            return "short-transfer";
        case FailureKind::kBusy:
            return "busy";
        case FailureKind::kNoMoreItems:
            return "no-more-items";
        case FailureKind::kNotSent:
            return "not-sent";
        case FailureKind::kOther:
            return "other";
    }
    return "other";
}

}  // namespace qv
