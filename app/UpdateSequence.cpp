// The update panel's one-button "Start". The update runs in the flash layer; the window asks,
// guards and shows.

#include <QGuiApplication>
#include <QPalette>

#include "app/DeviceWorkScope.h"
#include "app/Dialogs.h"
#include "app/FittedText.h"
#include "app/IspPage.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "app/UpdatePanelFonts.h"
#include "app/Wiring.h"
#include "flash/UpdateSequences.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {

const QString kStopCaption = QStringLiteral("Stop");

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
    unit_.flashReporter.Attach(isp_->ReporterLabels(panel_->lblISPProcStatus));
    ConnectClick(this, panel_->btnSimpleAuto, &TForm1::btnSimpleAutoClick);
}

// Runs until it succeeds: then the product restarts with what it was given and the button reads
// "Finish". While it runs, the button reads "Stop"; after a stop or a failure it reads "Start"
// again, and the panel says what the product holds and what to do.
void TForm1::btnSimpleAutoClick(QObject*) {
    Ui::UpdatePanel& panel = *panel_;
    if (panel.btnSimpleAuto->text() == kStopCaption) {
        StopUpdate();
        return;
    }
    if (unit_.autoSequenceRunning || unit_.updateFinished) return;
    QLabel* status = panel.lblISPProcStatus;
    SequenceOutcome outcome = SequenceOutcome::kFailed;
    {
        const DeviceWorkScope work = BeginDeviceWork(panel.btnSimpleAuto);
        if (!dialogs_.ConfirmWarning(UpdateQuestion())) {
            unit_.updateOutcome.clear();
            StyleLabel(status, kOutcomePointSize, Qt::red);
            ShowFitted(status, QStringLiteral("Abort Firmware update process"));
            return;
        }
        unit_.updateOutcome.clear();
        panel.btnSimpleAuto->setText(kStopCaption);
        StyleLabel(status, kStepPointSize, QGuiApplication::palette().color(QPalette::WindowText));
        unit_.flashReporter.ClearTrail();
        // Shows "Firmware update success!" itself.
        outcome = RunFirmwareUpdate(unit_.flashTarget, unit_.flashRun);
        unit_.flashSelection.ispModeActive = false;  // the update always leaves ISP mode
    }
    isp_->ShowIspModeCaption();
    ShowUpdateOutcome(outcome);
}

// Its own question, since "proceed" would read as carrying on. Stopping ends the update after
// its current step and still protects the flash and leaves ISP mode; continuing changes nothing.
bool TForm1::StopUpdate() {
    if (unit_.flashRun.stopRequested) return true;
    if (!dialogs_.ConfirmStop(QStringLiteral("Stop the update? The product will be left without "
                                             "firmware until it is updated again."))) {
        return false;
    }
    unit_.flashRun.stopRequested = true;
    panel_->btnSimpleAuto->setEnabled(false);  // one stop is enough
    return true;
}

bool TForm1::StopDeviceWork() {
    if (panel_->btnSimpleAuto->text() == kStopCaption) return StopUpdate();
    for (const Page& page : pages_) page.sheet->StopWork();
    return true;
}

// Success ends the tool's work ("Finish"). Anything else says in red why, what the product now
// holds and what to do, and "Start" is offered again once the product and its file are ready.
void TForm1::ShowUpdateOutcome(SequenceOutcome outcome) {
    QLabel* status = panel_->lblISPProcStatus;
    QPushButton* button = panel_->btnSimpleAuto;
    if (outcome == SequenceOutcome::kSuccess) {
        unit_.lastUpdate = SequenceOutcome::kSuccess;
        unit_.updateFinished = true;
        button->setText(QStringLiteral("Finish"));
        button->setEnabled(false);
        StyleLabel(status, kOutcomePointSize, Qt::blue);
        // The image is in the flash; what the closing steps found is there for a technician.
        status->setToolTip(unit_.flashReporter.Warnings().join(QLatin1Char('\n')));
        return;
    }
    const WindowReporter& trail = unit_.flashReporter;
    const bool stopped = outcome == SequenceOutcome::kStopped;
    unit_.lastUpdate = outcome;
    // Short enough for the panel's two lines at every screen size.
    const QString held = trail.FlashTouched() ? QStringLiteral("No working firmware is left")
                                              : QStringLiteral("The firmware is unchanged");
    QString what;
    if (stopped) {
        what = QStringLiteral("Update stopped. ") + held +
               QStringLiteral(": press Start to update again.");
    } else {
        const QString& failure =
            trail.LastProcessInfo().isEmpty() ? trail.LastStepText() : trail.LastProcessInfo();
        const QString next = trail.DeviceGone() ? QStringLiteral(": plug it in and press Start.")
                                                : QStringLiteral(": press Start to retry.");
        // Unplugged, the step that then failed tells a technician nothing more.
        what = QStringLiteral("Update failed: ") +
               (trail.DeviceGone() ? QStringLiteral("the device was disconnected") : failure) +
               QStringLiteral(". ") + held + next;
    }
    unit_.updateOutcome = what;
    StyleLabel(status, kStepPointSize, Qt::red);
    ShowFitted(status, what);
    button->setText(QStringLiteral("Start"));
    button->setEnabled(unit_.usb.IsPresent() && unit_.firmwareFileReady && !unit_.accessProblem);
}

}  // namespace qv
