#pragma once
// ISP page: the single flash operations, the flash access range, "Auto" (the update sequence
// with selectable steps) and the program file it reloads.

#include <functional>
#include <memory>

#include "app/ServicePage.h"
#include "app/WindowReporter.h"

namespace Ui {
class IspPage;
}

namespace qv {

class IspPage final : public ServicePage {
    Q_OBJECT

  public:
    explicit IspPage(const PageContext& context);
    ~IspPage() override;

    void FormCreate() override;
    std::vector<QWidget*> BusyControls() const override;
    std::vector<QWidget*> HiddenAtStartUp() const override;
    void StopWork() override;

    // The labels the flash operations report to: the page's, and `stepText` for the step text.
    WindowReporter::Labels ReporterLabels(QLabel* stepText) const;
    // The caption of "Enter ISP" names the next action.
    void ShowIspModeCaption();

    // ---- Flash operations and the range (IspPage.cpp)
    void rbnRangeClick(QObject* sender);
    void lbledISPStartKeyDown(QObject* sender, int key);
    void btnEnterISPClick(QObject* sender);
    void btnUSBChipIDClick(QObject* sender);
    void btnUSBReadStatusClick(QObject* sender);
    void lbledtUSBWriteStatusKeyDown(QObject* sender, int key);
    void btnUSBWriteEnableClick(QObject* sender);
    void btnUSBWriteDisableClick(QObject* sender);
    void btnUSBEraseClick(QObject* sender);
    void btnUSBBlankClick(QObject* sender);
    void btnUSBProgramClick(QObject* sender);
    void btnUSBVerifyClick(QObject* sender);
    void btnReadBackClick(QObject* sender);

    // ---- "Auto" and its program file (IspAuto.cpp)
    void btnUSBISPAutoClick(QObject* sender);
    void USBLoadFileBitBtnClick(QObject* sender);
    void ReadProgramFile();
    void RememberProgramFile();

  private:
    void ConnectIspPage();
    // "Auto"'s settings and its file: start-up hides them, device work disables them.
    std::vector<QWidget*> AutoSettings() const;
    // The flash range of the range buttons and edits; false after an error box.
    bool SelectRangeFromEdits();
    // False, after an error box, while "Assign Range" stays refused.
    bool RangeTaken();
    // Single flash operations in ISP mode: entered (and left again) around `operation` unless
    // "Enter ISP" holds it.
    void InIspMode(const std::function<void()>& operation);
    // "Stop" during the run: the sequence ends after its current step.
    void StopAuto();
    bool ReloadProgramFile();

    std::unique_ptr<Ui::IspPage> ispPage_;  // the page's form
    bool rangeRefused_ = false;             // the last "Assign Range" was refused
};

}  // namespace qv
