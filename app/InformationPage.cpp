// Information page: the live audio state the chip reports in bank 0 (read on "Update") and the
// five HID media keys sent through the chip's command register.

#include "app/InformationPage.h"

#include <QLabel>
#include <QPushButton>

#include "app/UnitState.h"
#include "app/Wiring.h"
#include "chip/AudioStatus.h"
#include "ui_InformationPage.h"

namespace qv {

InformationPage::InformationPage(const PageContext& context)
    : ServicePage(context), informationPage_(std::make_unique<Ui::InformationPage>()) {
    informationPage_->setupUi(this);
    ConnectInformationPage();
    ConnectSpecialI2cAccess();
}

InformationPage::~InformationPage() = default;

void InformationPage::ConnectInformationPage() {
    Ui::InformationPage& page = *informationPage_;
    ConnectClick(this, page.btnUpdateStatus, &InformationPage::btnUpdateStatusClick);
    for (QPushButton* key :
         {page.btnHID0, page.btnHID1, page.btnHID2, page.btnHID3, page.btnHID4}) {
        ConnectClick(this, key, &InformationPage::btnHIDClick);
    }
}

void InformationPage::btnUpdateStatusClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    const bool read = usb.Open() && ReadStatusRegisters(usb, unit_.statusRegisters);
    usb.Close();

    Ui::InformationPage& page = *informationPage_;
    const std::array<QLabel*, 4> formatAndRate{page.lblCurrentFormat0, page.lblCurrentFormat1,
                                               page.lblCurrentFreq0, page.lblCurrentFreq1};
    const auto enableFormatAndRate = [&formatAndRate](bool enabled) {
        for (QLabel* label : formatAndRate) label->setEnabled(enabled);
    };
    const AudioStatus status = DecodeAudioStatus(unit_.statusRegisters);
    // A device that could not be read is not shown with the state of an earlier update.
    if (!read || !status.connected) {
        page.lblConnect->setText(unit_.connectTexts[1]);
        page.lblMute->setEnabled(false);
        enableFormatAndRate(false);
        return;
    }
    page.lblConnect->setText(unit_.connectTexts[0]);
    page.lblMute->setEnabled(true);
    if (status.muted) {
        page.lblMute->setText(unit_.muteTexts[1]);
        enableFormatAndRate(false);
        return;
    }
    page.lblMute->setText(unit_.muteTexts[0]);
    enableFormatAndRate(true);
    page.lblCurrentFormat1->setText(unit_.formatTexts[status.format]);
    page.lblCurrentFreq1->setText(unit_.freqTexts[status.format][status.rateCode]);
}

void InformationPage::btnHIDClick(QObject* sender) {
    int n = 0;
    while (n < static_cast<int>(kHidKeyCodes.size()) &&
           findChild<QPushButton*>(QStringLiteral("btnHID%1").arg(n)) != sender) {
        ++n;
    }
    if (n == static_cast<int>(kHidKeyCodes.size())) return;

    QuorvexUsb& usb = unit_.usb;
    if (usb.Open()) SendHidKey(usb, kHidKeyCodes[n]);  // the page reports nothing
    usb.Close();
}

}  // namespace qv
