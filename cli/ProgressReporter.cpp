#include "cli/ProgressReporter.h"

#include <cstdio>
#include <iostream>
#include <ostream>

#include "cli/Report.h"
#include "flash/StepFailure.h"
#include "system/Terminal.h"

namespace qv {
namespace {

constexpr int kBarWidth = 40;
constexpr std::string_view kEraseAll = "Flash Erase All";

const char* StageName(FlashStage stage) {
    switch (stage) {
        case FlashStage::kChipErase:
        case FlashStage::kSectorErase:
            return "Erase";
        case FlashStage::kBlankCheck:
            return "Blank check";
        case FlashStage::kProgram:
            return "Program";
        case FlashStage::kVerify:
            return "Verify";
        case FlashStage::kReadBack:
            return "Read";
    }
    return "";
}

// The erase texts grow a dot every 20 polls; on the command line that is the bar's job.
std::string_view WithoutProgressDots(std::string_view text) {
    if (text.substr(0, kEraseAll.size()) == kEraseAll) return kEraseAll;
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

ProgressReporter::~ProgressReporter() {
    EndBar();
}

ProgressReporter::Style ProgressReporter::StyleFor(const std::ostream& out) {
    const bool terminal =
        (out.rdbuf() == std::cout.rdbuf() && IsTerminal(StandardStream::kOutput)) ||
        (out.rdbuf() == std::cerr.rdbuf() && IsTerminal(StandardStream::kError));
    return terminal ? Style::kBars : Style::kLines;
}

void ProgressReporter::Line(std::string_view text) {
    const std::string_view line = WithoutProgressDots(text);
    if (line.empty() || (!lines_.empty() && lines_.back() == line)) return;
    lines_.emplace_back(line);
    if (listener_) listener_(lines_.back());
    if (style_ == Style::kQuiet) return;
    EndBar();
    out_ << line << '\n' << std::flush;
    KeepWriteFailure(out_);
}

void ProgressReporter::Progress(FlashStage stage, std::uint64_t done, std::uint64_t total) {
    if (total == 0) return;
    // The whole-chip erase has no known length: show the time waited instead of a bar.
    const bool polls = stage == FlashStage::kChipErase;
    const std::uint64_t value = polls ? done / 1000 : done * 100 / total;  // s, or %
    if (listener_ && !polls) {
        std::string status = std::string(StageName(stage)) + " " + std::to_string(value) + "%";
        if (status != lastStatus_) listener_(lastStatus_ = std::move(status));
    }
    if (style_ != Style::kBars) return;
    if (barShown_ && stage == barStage_ && value == barValue_) return;
    barShown_ = true;
    barStage_ = stage;
    barValue_ = value;
    char text[128];
    if (polls) {
        std::snprintf(text, sizeof text,
                      "\r  %-12s waiting for the chip erase: %llu of at most %llu s",
                      StageName(stage), static_cast<unsigned long long>(value),
                      static_cast<unsigned long long>((total + 999) / 1000));
    } else {
        const int filled = static_cast<int>(value * kBarWidth / 100);
        std::snprintf(text, sizeof text, "\r  %-12s [%.*s%*s] %3llu%%", StageName(stage), filled,
                      "########################################", kBarWidth - filled, "",
                      static_cast<unsigned long long>(value));
    }
    out_ << text << std::flush;
    KeepWriteFailure(out_);
}

void ProgressReporter::EndBar() {
    if (!barShown_) return;
    out_ << '\n';
    barShown_ = false;
}

void ProgressReporter::StepFailed(FlashStep step, const StepReason& reason) {
    if (failedStep_) return;  // later failures follow from the first
    failedStep_ = step;
    failureReason_ = reason;
}

std::string_view ProgressReporter::FailedStepName() const {
    return failedStep_ ? FlashStepName(*failedStep_) : "";
}

void ProgressReporter::Warning(FlashStep step, const StepReason& reason) {
    warnings_.push_back({step, reason});
}

void ProgressReporter::AddWarningsTo(Report& report) const {
    for (const StepWarning& warning : warnings_)
        report.Warn(FlashStepName(warning.step), warning.reason);
}

}  // namespace qv
