#pragma once
// Why a flash step failed or earned a warning: a device call that failed, with its kind and the
// system's words, or, when every call went through, what the step found wrong in what the
// device answered (a byte that is not blank, a byte that differs from the image, an image that
// does not fit the flash, a status without its protect bits).

#include <optional>
#include <string>
#include <utility>

#include "platform/DeviceResult.h"

namespace qv {

class StepReason {
  public:
    static StepReason DeviceFailure(const DeviceResult& failure) {
        return StepReason(failure.kind(), failure.text());
    }
    static StepReason Finding(std::string text) {
        return StepReason(std::nullopt, std::move(text));
    }

    bool IsFinding() const { return !kind_.has_value(); }
    // The failed call's kind; empty for a finding.
    std::optional<FailureKind> Kind() const { return kind_; }
    // For scripts: "finding", or the failed call's kind ("timed-out", "gone", ...).
    const char* KindName() const { return kind_ ? FailureKindName(*kind_) : "finding"; }
    const std::string& Text() const { return text_; }
    bool operator==(const StepReason&) const = default;

  private:
    StepReason(std::optional<FailureKind> kind, std::string text)
        : kind_(kind), text_(std::move(text)) {}

    std::optional<FailureKind> kind_;
    std::string text_;
};

}  // namespace qv
