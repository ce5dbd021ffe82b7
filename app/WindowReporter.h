#pragma once
// The window's view of the flash operations: each text goes to its label on the ISP page or the
// update panel, and every progress update lets pending window messages run.

#include <QPointer>
#include <QString>
#include <QStringList>

#include "flash/FlashReporter.h"

class QLabel;

namespace qv {

class WindowReporter final : public FlashReporter {
  public:
    struct Labels {
        QLabel* processInfo;     // lblUSBProcessInfo
        QLabel* processAddress;  // lblUSBISPProcess
        QLabel* statusRegister;  // lblUSBISPStatusReg
        QLabel* stepText;        // lblISPProcStatus
    };

    // Shows the texts in `labels` and lets window messages run while labels are attached. The
    // reporter lives with the unit, the labels with the window; once they are gone the texts go
    // nowhere.
    void Attach(const Labels& labels);

    void ProcessInfo(std::string_view text) override;
    void ProcessAddress(std::string_view text) override;
    void StatusRegister(std::string_view text) override;
    void StepText(std::string_view text) override;
    // The labels already show how far the work has come; the window has no progress bar.
    void Progress(FlashStage, std::uint64_t, std::uint64_t) override {}
    void Pump() override;
    // Shown in process info as "Warning: step: reason", and kept for Warnings().
    void Warning(FlashStep step, const StepReason& reason) override;
    void StepFailed(FlashStep step, const StepReason& reason) override;

    // The last process info and step texts since ClearTrail(). The one-button update puts only
    // failures into process info (warnings are kept apart), so after it failed these name the
    // step that failed.
    void ClearTrail();
    const QString& LastProcessInfo() const { return lastProcessInfo_; }
    const QString& LastStepText() const { return lastStepText_; }
    // The warnings since ClearTrail(), one line each.
    const QStringList& Warnings() const { return warnings_; }
    // Whether a step failed since ClearTrail() because the device was unplugged.
    bool DeviceGone() const { return deviceGone_; }
    // Whether the one-button update began its erase since ClearTrail(): from then on, until it
    // succeeds, the product holds no working firmware.
    bool FlashTouched() const { return flashTouched_; }

  private:
    QPointer<QLabel> processInfo_;
    QPointer<QLabel> processAddress_;
    QPointer<QLabel> statusRegister_;
    QPointer<QLabel> stepText_;
    QString lastProcessInfo_;
    QString lastStepText_;
    QStringList warnings_;
    bool deviceGone_ = false;
    bool flashTouched_ = false;
};

}  // namespace qv
