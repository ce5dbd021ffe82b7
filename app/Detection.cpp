// Device detection: Timer1 scans for a catalogue product or a bare chip, one candidate per
// tick, and then tracks the device it found.

#include <QGuiApplication>
#include <QPalette>
#include <QTimer>

#include "app/Colors.h"
#include "app/FittedText.h"
#include "app/KeyRoute.h"
#include "app/LabelledEdit.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "app/UpdatePanelFonts.h"
#include "app/Wiring.h"
#include "catalog/Products.h"
#include "platform/carriers/RequestBlocks.h"
#include "system/DesktopSession.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {
constexpr int kTrackingInterval = 1000;
constexpr int kScanningInterval = 100;
// Five catalogue rows and five bare-chip tries: every candidate once.
constexpr int kScansPerCycle = 10;
const QString kFileChosenLater =
    QStringLiteral("The firmware file is chosen when a product is found");
}  // namespace

void TForm1::ConnectUpdatePanel() {
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    ConnectClick(this, panel_->chkDetectUSB, &TForm1::chkDetectUSBClick);
    RouteKeyDown(this, panel_->lbledtVID, &TForm1::lbledtVIDPIDKeyDown);
    RouteKeyDown(this, panel_->lbledtPID, &TForm1::lbledtVIDPIDKeyDown);
}

void TForm1::Timer1Timer() {
    QuorvexUsb& usb = unit_.usb;
    if (!unit_.detectEnabled || unit_.updateFinished) {
        if (usb.IsPresent()) usb.Close();
        // After the update nothing more is searched for, but a device that goes away must not
        // stay shown as ready.
        if (unit_.updateFinished && usb.IsPresent() && !usb.Probe()) {
            ShowFitted(panel_->lblUpdaeFileStatus, QStringLiteral("No Updated File !"));
            ShowDetectionOutcome();
        }
        return;
    }
    if (unit_.autoSequenceRunning) return;

    if (usb.IsPresent()) {
        Timer1->setInterval(kTrackingInterval);
        if (!unit_.accessProblem) {
            usb.Probe();
        } else {
            RetryOpen();
        }
    } else {
        ScanNextCandidate();
    }
    ShowDetectionOutcome();
}

// Alternates between the next catalogue row (property mode) and the next bare-chip id (plain
// mode); the first tick, in plain mode from start-up, tries catalogue row 1.
void TForm1::ScanNextCandidate() {
    QuorvexUsb& usb = unit_.usb;
    unit_.firmwareFileReady = false;
    // Which file is needed is known only once a product is found: nothing is missing yet.
    ShowFitted(panel_->lblUpdaeFileStatus, kFileChosenLater);
    ShowFitted(panel_->lblISPProcStatus, unit_.updateOutcome);  // an update's outcome stays

    if (usb.InPropertyMode()) {
        Timer1->setInterval(kScanningInterval);
        usb.SetPropertyMode(false);
        usb.SetIdText(unit_.ispIdToggle ? kIspId0c5e : kIspIdA7d6);
        unit_.ispIdToggle = !unit_.ispIdToggle;
    } else {
        usb.SetPropertyMode(true);
        unit_.catalogIndex =
            static_cast<std::uint8_t>((unit_.catalogIndex + 1) % DeviceCatalog.size());
        usb.SetIdText(DeviceCatalog[unit_.catalogIndex].deviceId);
    }
    usb.Find();
    unit_.fruitlessScans = usb.IsPresent() ? 0 : unit_.fruitlessScans + 1;
    NoteAccessProblem();
}

// A device that is listed but cannot be opened is not updatable; its own reason says what to
// do. One whose presence test fails once opened still counts as present.
void TForm1::NoteAccessProblem() {
    const QuorvexUsb& usb = unit_.usb;
    const DeviceResult& failure = usb.OpenFailure();
    const bool unusable = usb.IsPresent() && !failure.ok();
    unit_.accessProblem =
        unusable ? std::optional(QString::fromStdString(failure.text())) : std::nullopt;
}

// What kept the device from opening may pass (another program let go of it, its driver
// finished starting): it is tried again on each tick, and once it opens it is updatable.
void TForm1::RetryOpen() {
    unit_.usb.Find();
    NoteAccessProblem();
    if (unit_.accessProblem) return;
    ShowFitted(panel_->lblISPProcStatus, QString());
    unit_.firmwareFileReady = false;  // read again, which allows Start
}

// Why the device found cannot be updated, where the panel shows how an update went.
void TForm1::ShowUpdateProblem(const QString& reason) {
    Ui::UpdatePanel& panel = *panel_;
    StyleLabel(panel.lblISPProcStatus, kStepPointSize, Qt::red);
    ShowFitted(panel.lblISPProcStatus, reason);
    panel.btnSimpleAuto->setEnabled(false);
}

void TForm1::ShowDetectionOutcome() {
    const QuorvexUsb& usb = unit_.usb;
    Ui::UpdatePanel& panel = *panel_;
    if (!usb.IsPresent()) {
        SetPanelColor(panel.pnlUSBExist, ButtonFaceColor());
        panel.lblDetectDevice->setText(QStringLiteral("No device is available"));
        panel.btnSimpleAuto->setEnabled(false);
        // Once every candidate was tried in vain; an update's outcome says more.
        if (unit_.fruitlessScans >= kScansPerCycle && unit_.updateOutcome.isEmpty()) {
            StyleLabel(panel.lblISPProcStatus, kStepPointSize,
                       QGuiApplication::palette().color(QPalette::WindowText));
            ShowFitted(panel.lblISPProcStatus,
                       QStringLiteral("No product found. ") +
                           QString::fromStdString(NoDeviceAdvice(
                               unit_.usb.Api().InterfaceClassRegistered(kProductInterfaceClass))));
        }
        return;
    }
    if (usb.InPropertyMode()) {
        panel.lblDetectDevice->setText(
            QStringLiteral("Find Device ") +
            QString::fromLatin1(DeviceCatalog[unit_.catalogIndex].displayName));
        if (unit_.accessProblem) return ShowUpdateProblem(*unit_.accessProblem);
        if (!unit_.firmwareFileReady) ReadProgramFile1();
        return;
    }
    panel.lblDetectDevice->setText(unit_.ispIdToggle
                                       ? QStringLiteral("Firmware update device A7D6 is exist")
                                       : QStringLiteral("Firmware update device 0C5E is exist"));
    if (unit_.accessProblem) ShowUpdateProblem(*unit_.accessProblem);
}

void TForm1::chkDetectUSBClick(QObject*) {
    Ui::UpdatePanel& panel = *panel_;
    if (panel.chkDetectUSB->isChecked()) {
        unit_.detectEnabled = true;
        SetLabelledEnabled(panel.lbledtVID, false);
        SetLabelledEnabled(panel.lbledtPID, false);
        unit_.selectedVid = panel.lbledtVID->text();
        unit_.selectedPid = panel.lbledtPID->text();
    } else {
        unit_.detectEnabled = false;
        SetPanelColor(panel.pnlUSBExist, kColorGrey);
        SetLabelledEnabled(panel.lbledtVID, true);
        SetLabelledEnabled(panel.lbledtPID, true);
        unit_.usb.ClearPresence();
    }
}

void TForm1::lbledtVIDPIDKeyDown(QObject* sender, int key) {
    if (key != kVkReturn) return;
    if (sender == panel_->lbledtVID) unit_.selectedVid = panel_->lbledtVID->text();
    if (sender == panel_->lbledtPID) unit_.selectedPid = panel_->lbledtPID->text();
}

}  // namespace qv
