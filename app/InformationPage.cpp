// Information page: the live audio state the chip reports in bank 0 (read on "Update") and the
// five HID media keys sent through the chip's command register.

#include <QLabel>
#include <QPushButton>

#include "app/TForm1.h"
#include "app/UnitState.h"
#include "chip/Registers.h"
#include "ui_InformationPage.h"

namespace qv {

namespace {
constexpr std::uint16_t kRegStatusFirst = 0xA4;  // 0xA4 rate code, 0xA5, 0xA6 flags
constexpr std::uint8_t kFlagConnected = 0x01;
constexpr std::uint8_t kFlagDsd = 0x02;
constexpr std::uint8_t kFlagMuted = 0x04;

constexpr int kHidKeyCount = 5;
constexpr std::array<std::uint8_t, kHidKeyCount> kHidKeyCodes{0x40, 0x02, 0x10, 0x01, 0x20};
// The key command shares the parameter mailbox's command and selector registers.
constexpr std::uint8_t kHidCommand = 0x30;
constexpr std::uint8_t kHidDone = 0x31;
constexpr int kHidPolls = 10;
constexpr std::uint32_t kHidPollMs = 10;
}  // namespace

void TForm1::ConnectInformationPage() {
    Ui::InformationPage& page = *informationPage_;
    ConnectClick(page.btnUpdateStatus, &TForm1::btnUpdateStatusClick);
    for (QPushButton* key :
         {page.btnHID0, page.btnHID1, page.btnHID2, page.btnHID3, page.btnHID4}) {
        ConnectClick(key, &TForm1::btnHIDClick);
    }
}

void TForm1::btnUpdateStatusClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    std::array<std::uint8_t, 3>& status = unit_.statusRegisters;
    bool read = usb.Open() && RegSelectBank(usb, kBankParameters);
    for (std::uint16_t i = 0; i < status.size(); ++i) {
        read = RegRead(usb, kRegStatusFirst + i, status[i]) && read;
    }
    usb.Close();

    Ui::InformationPage& page = *informationPage_;
    const std::array<QLabel*, 4> formatAndRate{page.lblCurrentFormat0, page.lblCurrentFormat1,
                                               page.lblCurrentFreq0, page.lblCurrentFreq1};
    const auto enableFormatAndRate = [&formatAndRate](bool enabled) {
        for (QLabel* label : formatAndRate) label->setEnabled(enabled);
    };
    const std::uint8_t flags = status[2];
    // A device that could not be read is not shown with the state of an earlier update.
    if (!read || (flags & kFlagConnected) == 0) {
        page.lblConnect->setText(unit_.connectTexts[1]);
        page.lblMute->setEnabled(false);
        enableFormatAndRate(false);
        return;
    }
    page.lblConnect->setText(unit_.connectTexts[0]);
    page.lblMute->setEnabled(true);
    if ((flags & kFlagMuted) != 0) {
        page.lblMute->setText(unit_.muteTexts[1]);
        enableFormatAndRate(false);
        return;
    }
    page.lblMute->setText(unit_.muteTexts[0]);
    enableFormatAndRate(true);
    const int format = (flags & kFlagDsd) != 0 ? 1 : 0;
    page.lblCurrentFormat1->setText(unit_.formatTexts[format]);
    page.lblCurrentFreq1->setText(unit_.freqTexts[format][status[0] & 0x0F]);
}

void TForm1::btnHIDClick(QObject* sender) {
    int n = 0;
    while (n < kHidKeyCount &&
           findChild<QPushButton*>(QStringLiteral("btnHID%1").arg(n)) != sender) {
        ++n;
    }
    if (n == kHidKeyCount) return;

    QuorvexUsb& usb = unit_.usb;
    usb.Open();
    RegSelectBank(usb, kBankParameters);
    RegWrite(usb, kRegParamSelector, kHidKeyCodes[n]);
    RegWrite(usb, kRegParamCommand, kHidCommand);
    for (int poll = 0; poll < kHidPolls; ++poll) {
        unit_.api.Sleep(kHidPollMs);
        std::uint8_t answer = 0;
        if (RegRead(usb, kRegParamCommand, answer) && answer == kHidDone) break;
    }
    usb.Close();
}

}  // namespace qv
