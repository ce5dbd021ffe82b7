// ISP page: "Auto", the update sequence with selectable steps, and the program file it reloads
// (the page's file list). The sequence runs in the flash layer; the page asks, guards and shows.

#include "app/DeviceWorkScope.h"
#include "app/Dialogs.h"
#include "app/FirmwareFileLoad.h"
#include "app/FittedText.h"
#include "app/IspPage.h"
#include "app/UnitState.h"
#include "flash/UpdateSequences.h"
#include "text/HexFormat.h"
#include "ui_IspPage.h"

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

void IspPage::btnUSBISPAutoClick(QObject*) {
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
        const DeviceWorkScope work = host_.BeginDeviceWork(button);
        button->setText(kStopCaption);
        // With no file named there is nothing to reload: the run goes on with the image held.
        const bool reload =
            isp.chkReadFile->isChecked() && !isp.cbxReadISPFile->currentText().isEmpty();
        const AutoSteps steps = StepsOf(isp);
        if ((!reload || ReloadProgramFile()) && SelectRangeFromEdits()) {
            RunAutoSequence(unit_.flashTarget, unit_.flashSelection, unit_.flashRun, steps);
            // The sequence left ISP mode, whoever had entered it.
            if (steps.ispMode) unit_.flashSelection.ispModeActive = false;
        }
    }
    ShowIspModeCaption();
    button->setText(kAutoCaption);
    button->setEnabled(true);
}

void IspPage::StopWork() {
    if (ispPage_->btnUSBISPAuto->text() == kStopCaption) StopAuto();
}

// "Stop" during the run: the sequence ends after its current step.
void IspPage::StopAuto() {
    unit_.flashRun.stopRequested = true;
    ispPage_->btnUSBISPAuto->setEnabled(false);  // one stop is enough
}

// Loads the file named in the combo box; false, with nothing sent, when it did not load.
bool IspPage::ReloadProgramFile() {
    unit_.firmwareImage.path = ispPage_->cbxReadISPFile->currentText().toStdString();
    // ReadProgramFile raises programFileReady only for a file it loaded.
    unit_.programFileReady = false;
    ReadProgramFile();
    if (!unit_.programFileReady) {
        ShowFitted(ispPage_->lblUSBProcessInfo, QStringLiteral("Program file not loaded"));
    }
    return unit_.programFileReady;
}

void IspPage::ReadProgramFile() {
    FirmwareImage& image = unit_.firmwareImage;
    if (image.path.empty()) {
        dialogs_.ShowMessage(QStringLiteral("Program File Not Ready !!    "));
        unit_.programFileReady = false;
        return;
    }
    RememberProgramFile();

    const LoadResult result = LoadFirmwareFile(image, image.path);
    if (!result.ok()) {
        const QString reason = QString::fromStdString(result.text());
        ShowFitted(ispPage_->lblUSBChecksum, reason);
        dialogs_.ShowError(QStringLiteral("Program file not loaded: ") + reason);
        return;
    }
    ShowFitted(ispPage_->lblUSBChecksum,
               QString::fromStdString("Checksum : 0x" + HexText(result->checksum, 4)));
    unit_.programFileReady = true;
    host_.ShowProgramFile(QString::fromStdString(image.path));
}

void IspPage::RememberProgramFile() {
    QComboBox* files = ispPage_->cbxReadISPFile;
    const QString path = QString::fromStdString(unit_.firmwareImage.path);
    if (files->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) files->addItem(path);
    files->setEditText(path);
}

void IspPage::USBLoadFileBitBtnClick(QObject*) {
    host_.ReadProgramFile1();
}

}  // namespace qv
