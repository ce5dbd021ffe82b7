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

// Everything that could start other device work or change the image, the range or the link
// while long device work lets messages run.
std::vector<QWidget*> TForm1::DeviceWorkControls(const QWidget* keep) const {
    const Ui::IspPage& isp = *ispPage_;
    std::vector<QWidget*> controls{
        form_->TabSheet1,   form_->PageMI2CCtrl,   form_->Parameter,    form_->Information,
        form_->BinFile,     isp.GroupBox1,         isp.gbxISPRange,     isp.chkReadFile,
        isp.chkISPMode,     isp.chkErase,          isp.chkBlank,        isp.chkProgram,
        isp.chkVerify,      isp.chkProtect,        isp.btnUSBISPAuto,   isp.USBLoadFileBitBtn,
        isp.cbxReadISPFile, panel_->btnSimpleAuto, panel_->chkDetectUSB};
    std::erase(controls, keep);
    return controls;
}

void TForm1::btnUSBISPAutoClick(QObject*) {
    Ui::IspPage& isp = *ispPage_;
    QPushButton* button = isp.btnUSBISPAuto;
    if (button->text() != kAutoCaption) {
        // "Stop" during the run: the sequence ends after its current step.
        unit_.flash.stopRequested = true;
        button->setEnabled(false);
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
        const DeviceWorkScope work(unit_.autoSequenceRunning, DeviceWorkControls(button));
        button->setText(kStopCaption);
        const bool fileReady = !isp.chkReadFile->isChecked() || ReloadProgramFile();
        if (fileReady && SelectRangeFromEdits()) RunAutoSequence(unit_.flash, StepsOf(isp));
    }
    button->setText(kAutoCaption);
    button->setEnabled(true);
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

// Runs once per tool start and never ends early: a product with half-written flash cannot
// start. Presses while it runs, or after it, change nothing.
void TForm1::btnSimpleAutoClick(QObject*) {
    if (unit_.autoSequenceRunning || unit_.updateFinished) return;
    Ui::UpdatePanel& panel = *panel_;
    QLabel* status = panel.lblISPProcStatus;
    bool updated = false;
    {
        const DeviceWorkScope work(unit_.autoSequenceRunning, DeviceWorkControls());
        if (!dialogs_.ConfirmWarning(QString::fromUtf8(kUpdateWarningText))) {
            StyleLabel(status, kOutcomePointSize, Qt::red);
            ShowFitted(status, QStringLiteral("Abort Firmware update process"));
            return;
        }
        panel.btnSimpleAuto->setText(kStopCaption);
        StyleLabel(status, kStepPointSize, QGuiApplication::palette().color(QPalette::WindowText));
        unit_.flashReporter.ClearTrail();
        updated = RunFirmwareUpdate(unit_.flash);  // shows "Firmware update success!" itself
    }
    panel.btnSimpleAuto->setText(QStringLiteral("Finish"));
    panel.btnSimpleAuto->setEnabled(false);
    if (updated) {
        StyleLabel(status, kOutcomePointSize, Qt::blue);
        // The image is in the flash; what the closing steps found is there for a technician.
        status->setToolTip(unit_.flashReporter.Warnings().join(QLatin1Char('\n')));
    } else {
        // "Finish" alone would read as done: say that it is not, and where it stopped.
        const WindowReporter& trail = unit_.flashReporter;
        const QString& failure =
            trail.LastProcessInfo().isEmpty() ? trail.LastStepText() : trail.LastProcessInfo();
        StyleLabel(status, kStepPointSize, Qt::red);
        ShowFitted(status, QStringLiteral("Firmware update did not complete: ") + failure);
    }
    unit_.updateFinished = true;
}

}  // namespace qv
