// ISP page: the single flash operations, the flash access range and the page's file buttons.
// Each handler maps its control to one call of the flash layer and the result to a caption.

#include "app/DeviceWorkScope.h"
#include "app/Dialogs.h"
#include "app/FittedText.h"
#include "app/KeyRoute.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "flash/FlashErase.h"
#include "flash/IspOperations.h"
#include "flash/ReadBackDump.h"
#include "ui_IspPage.h"

namespace qv {

namespace {

// The short operations show nothing of their own on success; a failure must not pass for one.
void ShowIfFailed(QLabel* processInfo, bool ok, const char* failureText) {
    if (!ok) ShowFitted(processInfo, QString::fromLatin1(failureText));
}

}  // namespace

void TForm1::ConnectIspPage() {
    Ui::IspPage& isp = *ispPage_;
    ConnectClick(isp.rbnRange0, &TForm1::rbnRangeClick);
    ConnectClick(isp.rbnRange1, &TForm1::rbnRangeClick);
    RouteKeyDown(isp.lbledISPStart, &TForm1::lbledISPStartKeyDown);
    RouteKeyDown(isp.lbledISPRange, &TForm1::lbledISPStartKeyDown);
    ConnectClick(isp.USBLoadFileBitBtn, &TForm1::USBLoadFileBitBtnClick);
    ConnectClick(isp.Button1, &TForm1::btnSaveBinClick);
    ConnectClick(isp.btnEnterISP, &TForm1::btnEnterISPClick);
    ConnectClick(isp.btnUSBChipID, &TForm1::btnUSBChipIDClick);
    ConnectClick(isp.btnUSBReadStatus, &TForm1::btnUSBReadStatusClick);
    RouteKeyDown(isp.lbledtUSBWriteStatus, &TForm1::lbledtUSBWriteStatusKeyDown);
    ConnectClick(isp.btnUSBWriteEnable, &TForm1::btnUSBWriteEnableClick);
    ConnectClick(isp.btnUSBWriteDisable, &TForm1::btnUSBWriteDisableClick);
    ConnectClick(isp.btnUSBErase, &TForm1::btnUSBEraseClick);
    ConnectClick(isp.btnUSBBlank, &TForm1::btnUSBBlankClick);
    ConnectClick(isp.btnUSBProgram, &TForm1::btnUSBProgramClick);
    ConnectClick(isp.btnUSBVerify, &TForm1::btnUSBVerifyClick);
    ConnectClick(isp.btnReadBack, &TForm1::btnReadBackClick);
}

void TForm1::rbnRangeClick(QObject*) {
    Ui::IspPage& isp = *ispPage_;
    const bool assigned = !isp.rbnRange0->isChecked();
    SetLabelledEnabled(isp.lbledISPStart, assigned);
    SetLabelledEnabled(isp.lbledISPRange, assigned);
    isp.Label20->setEnabled(assigned);
    isp.Label21->setEnabled(assigned);
    SelectRangeFromEdits();
}

// Start and size are taken together or not at all: a new start with the old size would erase
// sectors nobody asked for. A refused "Assign Range" leaves no range that the operations could
// use: until a range is taken, each of them tries the edits again and sends nothing if they are
// still refused (the flash layer's range is still "All", which would erase the whole chip).
bool TForm1::SelectRangeFromEdits() {
    Ui::IspPage& isp = *ispPage_;
    if (isp.rbnRange0->isChecked()) {
        SelectWholeRange(unit_.flashSelection);
        rangeRefused_ = false;
        return true;
    }
    rangeRefused_ = true;
    const auto startKiB = ConvertDecimal(isp.lbledISPStart->text());
    if (!startKiB) return false;
    const auto sizeKiB = ConvertDecimal(isp.lbledISPRange->text());
    if (!sizeKiB) return false;
    rangeRefused_ = !SelectAssignedRange(unit_.flashSelection, *startKiB, *sizeKiB);
    if (!rangeRefused_) return true;
    dialogs_.ShowError(
        QStringLiteral("Start %1 KB and size %2 KB reach past the %3 KB flash address space")
            .arg(*startKiB)
            .arg(*sizeKiB)
            .arg(kFlashAddressSpace / 1024));
    return false;
}

bool TForm1::RangeTaken() {
    return !rangeRefused_ || SelectRangeFromEdits();
}

// The range edits take effect when a range button is clicked or "Auto" starts.
void TForm1::lbledISPStartKeyDown(QObject*, int) {}

void TForm1::btnEnterISPClick(QObject*) {
    if (!unit_.usb.IsPresent()) return;
    bool& ispModeActive = unit_.flashSelection.ispModeActive;
    const bool wasActive = ispModeActive;
    ShowIfFailed(ispPage_->lblUSBProcessInfo,
                 EnterOrLeaveIsp(unit_.usb, unit_.flashReporter, ispModeActive),
                 wasActive ? "Exit ISP Mode Fail" : "Enter ISP Mode Fail");
    ShowIspModeCaption();
}

// The caption names the next action.
void TForm1::ShowIspModeCaption() {
    ispPage_->btnEnterISP->setText(unit_.flashSelection.ispModeActive
                                       ? QStringLiteral("Exit ISP")
                                       : QStringLiteral("Enter ISP"));
}

// The chip takes flash instructions only in ISP mode. The device cannot be asked which mode it
// is in, and the sequences leave it whoever entered it, so an operation that finds the mode off
// enters it for itself and leaves it again afterwards, as the sequences do. Without a device
// the operation runs as it is and fails with its own texts.
void TForm1::InIspMode(const std::function<void()>& operation) {
    bool& ispModeActive = unit_.flashSelection.ispModeActive;
    if (ispModeActive || !unit_.usb.IsPresent()) {
        operation();
        return;
    }
    if (!EnterOrLeaveIsp(unit_.usb, unit_.flashReporter, ispModeActive)) {
        ShowFitted(ispPage_->lblUSBProcessInfo, QStringLiteral("Enter ISP Mode Fail"));
        return;
    }
    operation();
    if (!EnterOrLeaveIsp(unit_.usb, unit_.flashReporter, ispModeActive)) {
        ShowFitted(ispPage_->lblUSBProcessInfo, QStringLiteral("Exit ISP Mode Fail"));
    }
}

void TForm1::btnUSBChipIDClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo,
                     ReadChipId(unit_.flashTarget, unit_.flashReporter), "Chip ID Read Fail");
    });
    ispPage_->lblUSBChipID->setText(
        QString::fromStdString(ChipIdCaption(unit_.flashTarget.flashIdBytes)));
}

void TForm1::btnUSBReadStatusClick(QObject*) {
    std::uint8_t status = 0xFF;
    InIspMode([&] { status = ReadStatusRegister(unit_.usb, unit_.flashReporter); });
    ispPage_->lblUSBStatus->setText(QString::fromStdString(StatusCaption(status)));
}

void TForm1::lbledtUSBWriteStatusKeyDown(QObject*, int key) {
    if (key != kVkReturn) return;
    const auto value = ConvertTypedByte(ispPage_->lbledtUSBWriteStatus->text());
    if (!value) return;
    InIspMode([&] {
        ShowIfFailed(
            ispPage_->lblUSBProcessInfo,
            WriteStatusRegister(unit_.usb, unit_.flashReporter, static_cast<std::uint8_t>(*value)),
            "Write Status Fail");
    });
}

void TForm1::btnUSBWriteEnableClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo, SendWriteEnable(unit_.usb, unit_.flashReporter),
                     "Write Enable Fail");
    });
}

void TForm1::btnUSBWriteDisableClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo, SendWriteDisable(unit_.usb, unit_.flashReporter),
                     "Write Disable Fail");
    });
}

void TForm1::btnUSBEraseClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = BeginDeviceWork();
    InIspMode([this] { EraseFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void TForm1::btnUSBBlankClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = BeginDeviceWork();
    InIspMode([this] { BlankCheckFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void TForm1::btnUSBProgramClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = BeginDeviceWork();
    InIspMode([this] { ProgramFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void TForm1::btnUSBVerifyClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = BeginDeviceWork();
    InIspMode([this] { VerifyFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

// The dump is written whether or not the read succeeded: bytes never read show as 0x5A.
void TForm1::btnReadBackClick(QObject*) {
    FlashReadBack readBack{false, UnreadFlash(kReadFlashEnd)};
    {
        const DeviceWorkScope work = BeginDeviceWork();
        InIspMode([&] { readBack = ReadFlash(unit_.flashTarget, unit_.flashRun); });
    }
    const std::optional<QString> path = dialogs_.SaveFile(SaveFlashDumpDialog);
    if (!path) return;
    const Expected<void> written =
        WriteReadBackDump(readBack.bytes, kReadFlashEnd, path->toStdString());
    if (written.ok()) return;
    const QString reason = QString::fromStdString(written.text());
    ShowFitted(ispPage_->lblUSBProcessInfo, reason);
    dialogs_.ShowError(reason);
}

}  // namespace qv
