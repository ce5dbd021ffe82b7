// The two update sequences: the ISP page's "Auto" with its selectable steps and the update
// panel's one-button "Start". Both run in the flash layer; the window asks, guards and shows.

#include <QGuiApplication>
#include <QPalette>

#include "app/DeviceWorkScope.h"
#include "app/Dialogs.h"
#include "app/FittedText.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "app/UpdatePanelFonts.h"
#include "flash/UpdateSequences.h"
#include "ui_IspPage.h"
#include "ui_TForm1.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {

const QString kAutoCaption = QStringLiteral("Auto");
const QString kStopCaption = QStringLiteral("Stop");

AutoSteps StepsOf(const Ui::IspPage& isp) {
    return {.ispMode = isp.chkISPMode->isChecked(),
            .erase = isp.chkErase->isChecked(),
            .blank = isp.chkBlank->isChecked(),
            .program = isp.chkProgram->isChecked(),
            .verify = isp.chkVerify->isChecked(),
            .protect = isp.chkProtect->isChecked()};
}

}  // namespace

void StyleLabel(QLabel* label, int pointSize, const QColor& color) {
    QFont font = label->font();
    font.setPointSize(pointSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

void TForm1::ConnectUpdateSequences() {
    unit_.flashReporter.Attach({ispPage_->lblUSBProcessInfo, ispPage_->lblUSBISPProcess,
                                ispPage_->lblUSBISPStatusReg, panel_->lblISPProcStatus});
    ConnectClick(ispPage_->btnUSBISPAuto, &TForm1::btnUSBISPAutoClick);
    ConnectClick(panel_->btnSimpleAuto, &TForm1::btnSimpleAutoClick);
}

void TForm1::btnUSBISPAutoClick(QObject*) {
    Ui::IspPage& isp = *ispPage_;
    QPushButton* button = isp.btnUSBISPAuto;
    if (button->text() != kAutoCaption) {
        StopAuto();
        return;
    }
    if (unit_.autoSequenceRunning) return;  // other device work is under way
    if (!unit_.usb.IsPresent()) {
        dialogs_.ShowMessage(QStringLiteral("USB device is NOT available !!    "));
        return;
    }
    if (!unit_.programFileReady && isp.cbxReadISPFile->currentText().isEmpty()) {
        dialogs_.ShowMessage(QStringLiteral("Program File Not Ready !!    "));
        return;
    }

    {
        const DeviceWorkScope work = BeginDeviceWork(button);
        button->setText(kStopCaption);
        // With no file named there is nothing to reload: the run goes on with the image held.
        const bool reload =
            isp.chkReadFile->isChecked() && !isp.cbxReadISPFile->currentText().isEmpty();
        const AutoSteps steps = StepsOf(isp);
        if ((!reload || ReloadProgramFile()) && SelectRangeFromEdits()) {
            RunAutoSequence(unit_.flash, steps);
            // The sequence left ISP mode, whoever had entered it.
            if (steps.ispMode) unit_.flash.ispModeActive = false;
        }
    }
    ShowIspModeCaption();
    button->setText(kAutoCaption);
    button->setEnabled(true);
}

// "Stop" during the run: the sequence ends after its current step.
void TForm1::StopAuto() {
    unit_.flash.stopRequested = true;
    ispPage_->btnUSBISPAuto->setEnabled(false);  // one stop is enough
}

// Loads the file named in the combo box; false, with nothing sent, when it did not load.
bool TForm1::ReloadProgramFile() {
    unit_.firmwareImage.path = ispPage_->cbxReadISPFile->currentText().toStdString();
    // ReadProgramFile raises programFileReady only for a file it loaded.
    unit_.programFileReady = false;
    ReadProgramFile();
    if (!unit_.programFileReady) {
        ShowFitted(ispPage_->lblUSBProcessInfo, QStringLiteral("Program file not loaded"));
    }
    return unit_.programFileReady;
}

// Runs once per tool start: once it has ended, the product restarts with what it was given and
// the button reads "Finish". While it runs, the button reads "Stop".
void TForm1::btnSimpleAutoClick(QObject*) {
    Ui::UpdatePanel& panel = *panel_;
    if (panel.btnSimpleAuto->text() == kStopCaption) {
        StopUpdate();
        return;
    }
    if (unit_.autoSequenceRunning || unit_.updateFinished) return;
    QLabel* status = panel.lblISPProcStatus;
    bool updated = false;
    {
        const DeviceWorkScope work = BeginDeviceWork(panel.btnSimpleAuto);
        if (!dialogs_.ConfirmWarning(UpdateQuestion())) {
            StyleLabel(status, kOutcomePointSize, Qt::red);
            ShowFitted(status, QStringLiteral("Abort Firmware update process"));
            return;
        }
        panel.btnSimpleAuto->setText(kStopCaption);
        StyleLabel(status, kStepPointSize, QGuiApplication::palette().color(QPalette::WindowText));
        unit_.flashReporter.ClearTrail();
        updated = RunFirmwareUpdate(unit_.flash);  // shows "Firmware update success!" itself
        unit_.flash.ispModeActive = false;         // the update always leaves ISP mode
    }
    panel.btnSimpleAuto->setText(QStringLiteral("Finish"));
    panel.btnSimpleAuto->setEnabled(false);
    ShowIspModeCaption();
    ShowUpdateOutcome(updated);
    unit_.updateFinished = true;
}

// The same question as before the update. On OK the update ends after its current step and
// still protects the flash and leaves ISP mode; on Cancel it goes on as if nothing was pressed.
bool TForm1::StopUpdate() {
    if (unit_.flash.stopRequested) return true;
    if (!dialogs_.ConfirmWarning(QString::fromUtf8(kUpdateWarningText))) return false;
    unit_.flash.stopRequested = true;
    panel_->btnSimpleAuto->setEnabled(false);  // one stop is enough
    return true;
}

bool TForm1::StopDeviceWork() {
    if (panel_->btnSimpleAuto->text() == kStopCaption) return StopUpdate();
    if (ispPage_->btnUSBISPAuto->text() == kStopCaption) StopAuto();
    return true;
}

// "Finish" alone would read as done: a run that did not succeed says so in red, and why.
void TForm1::ShowUpdateOutcome(bool updated) {
    QLabel* status = panel_->lblISPProcStatus;
    if (updated) {
        StyleLabel(status, kOutcomePointSize, Qt::blue);
        // The image is in the flash; what the closing steps found is there for a technician.
        status->setToolTip(unit_.flashReporter.Warnings().join(QLatin1Char('\n')));
        return;
    }
    const WindowReporter& trail = unit_.flashReporter;
    const QString& failure =
        trail.LastProcessInfo().isEmpty() ? trail.LastStepText() : trail.LastProcessInfo();
    QString reason = failure;
    if (!unit_.flash.flashStepFailed) {
        reason = QStringLiteral("stopped by user");  // a stop, not a failure, skipped the rest
    } else if (trail.DeviceGone()) {
        reason = QStringLiteral("the device was disconnected (") + failure + QLatin1Char(')');
    }
    StyleLabel(status, kStepPointSize, Qt::red);
    ShowFitted(status, QStringLiteral("Firmware update did not complete: ") + reason);
}

}  // namespace qv
