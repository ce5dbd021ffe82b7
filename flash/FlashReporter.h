#pragma once
// Where the flash operations show what they are doing. The window maps each text to its label
// and lets pending messages run in Pump(); the command line draws progress; tests record.

#include <cstdint>
#include <string_view>

#include "flash/StepReason.h"

namespace qv {

// The long operations whose progress Progress() reports. A chip erase has no known length: it
// reports the ms waited so far against the most the wait may last.
enum class FlashStage { kChipErase, kSectorErase, kBlankCheck, kProgram, kVerify, kReadBack };

// The steps whose failure StepFailed() or whose warning Warning() reports.
enum class FlashStep {
    kOpen,
    kEnterIsp,
    kLeaveIsp,
    kReadId,
    kFitToFlash,
    kReadStatus,
    kWriteStatus,
    kWriteEnable,
    kWriteDisable,
    kErase,
    kBlankCheck,
    kProgram,
    kVerify,
    kProtect,
    kReadBack,
};

class FlashReporter {
  public:
    virtual ~FlashReporter() = default;

    // The step and its result (lblUSBProcessInfo).
    virtual void ProcessInfo(std::string_view text) = 0;
    // The block address being worked on (lblUSBISPProcess).
    virtual void ProcessAddress(std::string_view text) = 0;
    // The status register while an erase runs (lblUSBISPStatusReg).
    virtual void StatusRegister(std::string_view text) = 0;
    // The step text of the one-button update (lblISPProcStatus).
    virtual void StepText(std::string_view text) = 0;
    // How far a long operation has come: `done` of `total` bytes, or erase polls of the limit.
    virtual void Progress(FlashStage stage, std::uint64_t done, std::uint64_t total) = 0;
    // Called at every progress update; the window lets pending messages run here, so a click
    // may change the run (e.g. raise FlashRun::stopRequested) before the operation goes on.
    virtual void Pump() = 0;
    // A step failed, beside the texts above: why, as the latest failed device call of the step
    // or, when every call went through, what the step found. The window shows only the texts
    // above, so this does nothing unless a reporter wants the reason.
    virtual void StepFailed(FlashStep /*step*/, const StepReason& /*reason*/) {}
    // A step whose outcome does not decide the update (protecting the flash, leaving ISP mode,
    // reading the id that bounds the work) did not end as it should; the update's result stands.
    virtual void Warning(FlashStep /*step*/, const StepReason& /*reason*/) {}
    // Something worth knowing that is neither a failure nor a warning, e.g. that the chip
    // restarted on leaving ISP mode. The window keeps its texts and shows nothing.
    virtual void Note(std::string_view /*text*/) {}
};

// Shows nothing: for runs that only want the result (benchmarks, fuzzing).
class SilentReporter final : public FlashReporter {
  public:
    void ProcessInfo(std::string_view) override {}
    void ProcessAddress(std::string_view) override {}
    void StatusRegister(std::string_view) override {}
    void StepText(std::string_view) override {}
    void Progress(FlashStage, std::uint64_t, std::uint64_t) override {}
    void Pump() override {}
};

}  // namespace qv
