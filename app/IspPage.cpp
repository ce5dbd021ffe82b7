// ISP page: its form and wiring, the single flash operations and the flash access range. Each
// handler maps its control to one call of the flash layer and the result to a caption.

#include "app/IspPage.h"

#include "app/BinFilePage.h"
#include "app/DeviceWorkScope.h"
#include "app/Dialogs.h"
#include "app/FittedText.h"
#include "app/KeyRoute.h"
#include "app/LabelledEdit.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
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

IspPage::IspPage(const PageContext& context)
    : ServicePage(context), ispPage_(std::make_unique<Ui::IspPage>()) {
    ispPage_->setupUi(this);
    ConnectIspPage();
}

IspPage::~IspPage() = default;

void IspPage::FormCreate() {
    Ui::IspPage& isp = *ispPage_;
    isp.chkISPMode->setChecked(true);
    isp.chkProtect->setChecked(false);
    for (QCheckBox* step :
         {isp.chkReadFile, isp.chkErase, isp.chkBlank, isp.chkProgram, isp.chkVerify}) {
        step->setChecked(true);
    }
    isp.rbnRange0->setChecked(true);
    rbnRangeClick(this);
    isp.lbledISPRange->setText(QStringLiteral("64"));
    isp.lbledISPStart->setText(QStringLiteral("64"));
}

std::vector<QWidget*> IspPage::AutoSettings() const {
    const Ui::IspPage& isp = *ispPage_;
    return {isp.GroupBox1,  isp.gbxISPRange,       isp.chkReadFile,   isp.chkISPMode,
            isp.chkErase,   isp.chkBlank,          isp.chkProgram,    isp.chkVerify,
            isp.chkProtect, isp.USBLoadFileBitBtn, isp.cbxReadISPFile};
}

// The page stays readable while it works: its labels show how far the work has come, and
// "Auto" turns into "Stop".
std::vector<QWidget*> IspPage::BusyControls() const {
    std::vector<QWidget*> controls = AutoSettings();
    controls.push_back(ispPage_->btnUSBISPAuto);
    return controls;
}

std::vector<QWidget*> IspPage::HiddenAtStartUp() const {
    return AutoSettings();
}

WindowReporter::Labels IspPage::ReporterLabels(QLabel* stepText) const {
    return {ispPage_->lblUSBProcessInfo, ispPage_->lblUSBISPProcess, ispPage_->lblUSBISPStatusReg,
            stepText};
}

void IspPage::ConnectIspPage() {
    Ui::IspPage& isp = *ispPage_;
    ConnectClick(this, isp.rbnRange0, &IspPage::rbnRangeClick);
    ConnectClick(this, isp.rbnRange1, &IspPage::rbnRangeClick);
    RouteKeyDown(this, isp.lbledISPStart, &IspPage::lbledISPStartKeyDown);
    RouteKeyDown(this, isp.lbledISPRange, &IspPage::lbledISPStartKeyDown);
    ConnectClick(this, isp.USBLoadFileBitBtn, &IspPage::USBLoadFileBitBtnClick);
    // " Save" puts the default image back, as the Gen. Bin File page's " Save" does.
    ConnectClick(this, isp.Button1, [this](QObject* sender) {
        if (auto* binFile = OtherPage<BinFilePage>()) binFile->btnSaveBinClick(sender);
    });
    ConnectClick(this, isp.btnEnterISP, &IspPage::btnEnterISPClick);
    ConnectClick(this, isp.btnUSBChipID, &IspPage::btnUSBChipIDClick);
    ConnectClick(this, isp.btnUSBReadStatus, &IspPage::btnUSBReadStatusClick);
    RouteKeyDown(this, isp.lbledtUSBWriteStatus, &IspPage::lbledtUSBWriteStatusKeyDown);
    ConnectClick(this, isp.btnUSBWriteEnable, &IspPage::btnUSBWriteEnableClick);
    ConnectClick(this, isp.btnUSBWriteDisable, &IspPage::btnUSBWriteDisableClick);
    ConnectClick(this, isp.btnUSBErase, &IspPage::btnUSBEraseClick);
    ConnectClick(this, isp.btnUSBBlank, &IspPage::btnUSBBlankClick);
    ConnectClick(this, isp.btnUSBProgram, &IspPage::btnUSBProgramClick);
    ConnectClick(this, isp.btnUSBVerify, &IspPage::btnUSBVerifyClick);
    ConnectClick(this, isp.btnReadBack, &IspPage::btnReadBackClick);
    ConnectClick(this, isp.btnUSBISPAuto, &IspPage::btnUSBISPAutoClick);
}

void IspPage::rbnRangeClick(QObject*) {
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
bool IspPage::SelectRangeFromEdits() {
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

bool IspPage::RangeTaken() {
    return !rangeRefused_ || SelectRangeFromEdits();
}

// The range edits take effect when a range button is clicked or "Auto" starts.
void IspPage::lbledISPStartKeyDown(QObject*, int) {}

void IspPage::btnEnterISPClick(QObject*) {
    if (!unit_.usb.IsPresent()) return;
    bool& ispModeActive = unit_.flashSelection.ispModeActive;
    const bool wasActive = ispModeActive;
    ShowIfFailed(ispPage_->lblUSBProcessInfo,
                 EnterOrLeaveIsp(unit_.usb, unit_.flashReporter, ispModeActive),
                 wasActive ? "Exit ISP Mode Fail" : "Enter ISP Mode Fail");
    ShowIspModeCaption();
}

// The caption names the next action.
void IspPage::ShowIspModeCaption() {
    ispPage_->btnEnterISP->setText(unit_.flashSelection.ispModeActive
                                       ? QStringLiteral("Exit ISP")
                                       : QStringLiteral("Enter ISP"));
}

// The chip takes flash instructions only in ISP mode. The device cannot be asked which mode it
// is in, and the sequences leave it whoever entered it, so an operation that finds the mode off
// enters it for itself and leaves it again afterwards, as the sequences do. Without a device
// the operation runs as it is and fails with its own texts.
void IspPage::InIspMode(const std::function<void()>& operation) {
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

void IspPage::btnUSBChipIDClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo,
                     ReadChipId(unit_.flashTarget, unit_.flashReporter), "Chip ID Read Fail");
    });
    ispPage_->lblUSBChipID->setText(
        QString::fromStdString(ChipIdCaption(unit_.flashTarget.flashIdBytes)));
}

void IspPage::btnUSBReadStatusClick(QObject*) {
    std::uint8_t status = 0xFF;
    InIspMode([&] { status = ReadStatusRegister(unit_.usb, unit_.flashReporter); });
    ispPage_->lblUSBStatus->setText(QString::fromStdString(StatusCaption(status)));
}

void IspPage::lbledtUSBWriteStatusKeyDown(QObject*, int key) {
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

void IspPage::btnUSBWriteEnableClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo, SendWriteEnable(unit_.usb, unit_.flashReporter),
                     "Write Enable Fail");
    });
}

void IspPage::btnUSBWriteDisableClick(QObject*) {
    InIspMode([this] {
        ShowIfFailed(ispPage_->lblUSBProcessInfo, SendWriteDisable(unit_.usb, unit_.flashReporter),
                     "Write Disable Fail");
    });
}

void IspPage::btnUSBEraseClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = host_.BeginDeviceWork();
    InIspMode([this] { EraseFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void IspPage::btnUSBBlankClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = host_.BeginDeviceWork();
    InIspMode([this] { BlankCheckFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void IspPage::btnUSBProgramClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = host_.BeginDeviceWork();
    InIspMode([this] { ProgramFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

void IspPage::btnUSBVerifyClick(QObject*) {
    if (!RangeTaken()) return;
    const DeviceWorkScope work = host_.BeginDeviceWork();
    InIspMode([this] { VerifyFlash(unit_.flashTarget, unit_.flashSelection, unit_.flashRun); });
}

// The dump is written whether or not the read succeeded: bytes never read show as 0x5A.
void IspPage::btnReadBackClick(QObject*) {
    FlashReadBack readBack{false, UnreadFlash(kReadFlashEnd)};
    {
        const DeviceWorkScope work = host_.BeginDeviceWork();
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
