#pragma once
// Shows the flash operations on the command line: a progress bar per stage on a terminal, one
// line per step otherwise (on stderr when stdout carries JSON), and keeps a record of the steps.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "flash/FlashReporter.h"

namespace qv {

class Report;

class ProgressReporter final : public FlashReporter {
  public:
    enum class Style { kBars, kLines, kQuiet };

    ProgressReporter(std::ostream& out, Style style) : out_(out), style_(style) {}
    ~ProgressReporter() override;

    // Bars on a terminal, lines elsewhere.
    static Style StyleFor(const std::ostream& out);

    void ProcessInfo(std::string_view text) override { Line(text); }
    void ProcessAddress(std::string_view) override {}
    void StatusRegister(std::string_view) override {}
    void StepText(std::string_view text) override { Line(text); }
    void Progress(FlashStage stage, std::uint64_t done, std::uint64_t total) override;
    void Pump() override {
        if (pumpAction_) pumpAction_();
    }
    void StepFailed(FlashStep step, const StepReason& reason) override;
    void Warning(FlashStep step, const StepReason& reason) override;
    void Note(std::string_view text) override { Line(text); }

    // The first step that failed and why, when the flash layer said.
    bool HasFailure() const { return failedStep_.has_value(); }
    std::string_view FailedStepName() const;
    const StepReason& FailureReason() const { return *failureReason_; }

    struct StepWarning {
        FlashStep step;
        StepReason reason;
    };
    // The warnings, in order.
    const std::vector<StepWarning>& Warnings() const { return warnings_; }
    // Adds each warning to `report`.
    void AddWarningsTo(Report& report) const;

    // Called with each new step line and each new percentage ("Program 45%"), whatever the
    // style; for a display that shows several devices at once.
    void SetListener(std::function<void(const std::string&)> listener) {
        listener_ = std::move(listener);
    }

    // Runs at each pump, where a long operation may learn of a stop.
    void SetPumpAction(std::function<void()> action) { pumpAction_ = std::move(action); }

    // Every step line shown, in order, without repeats.
    const std::vector<std::string>& Lines() const { return lines_; }
    std::string LastLine() const { return lines_.empty() ? std::string() : lines_.back(); }

  private:
    void Line(std::string_view text);
    void EndBar();

    std::ostream& out_;
    Style style_;
    std::vector<std::string> lines_;
    bool barShown_ = false;
    FlashStage barStage_ = FlashStage::kChipErase;
    std::uint64_t barValue_ = 0;
    std::function<void(const std::string&)> listener_;
    std::function<void()> pumpAction_;
    std::string lastStatus_;
    std::optional<FlashStep> failedStep_;
    std::optional<StepReason> failureReason_;
    std::vector<StepWarning> warnings_;
};

}  // namespace qv
