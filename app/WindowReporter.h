#pragma once
// The window's view of the flash operations: each text goes to its label on the ISP page or the
// update panel, and every progress update lets pending window messages run.

#include <QLabel>
#include <QPointer>

#include "app/TForm1.h"
#include "flash/FlashReporter.h"

namespace qv {

class WindowReporter final : public FlashReporter {
  public:
    struct Labels {
        QLabel* processInfo;     // lblUSBProcessInfo
        QLabel* processAddress;  // lblUSBISPProcess
        QLabel* statusRegister;  // lblUSBISPStatusReg
        QLabel* stepText;        // lblISPProcStatus
    };

    // Shows the texts in `labels` and pumps the messages of `window`. The reporter lives with
    // the unit, the labels with the window; once they are gone the texts go nowhere.
    void Attach(TForm1& window, const Labels& labels);

    void ProcessInfo(std::string_view text) override { Show(processInfo_, text); }
    void ProcessAddress(std::string_view text) override { Show(processAddress_, text); }
    void StatusRegister(std::string_view text) override { Show(statusRegister_, text); }
    void StepText(std::string_view text) override { Show(stepText_, text); }
    // The labels already show how far the work has come; the window has no progress bar.
    void Progress(FlashStage, std::uint64_t, std::uint64_t) override {}
    void Pump() override;

  private:
    static void Show(const QPointer<QLabel>& label, std::string_view text);

    QPointer<TForm1> window_;
    QPointer<QLabel> processInfo_;
    QPointer<QLabel> processAddress_;
    QPointer<QLabel> statusRegister_;
    QPointer<QLabel> stepText_;
};

}  // namespace qv
