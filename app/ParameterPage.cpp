// Parameter page: the audio output settings record and the product ids and strings.

#include "app/ParameterPage.h"

#include <optional>
#include <vector>

#include "app/Dialogs.h"
#include "app/KeyRoute.h"
#include "app/QStringWindows1252.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
#include "chip/Parameters.h"
#include "ui_ParameterPage.h"

namespace qv {

namespace {
constexpr int kMclkChoices = 4;
constexpr std::uint8_t kMclkBits = 0x30;

QString MclkButtonName(int n) {
    return QStringLiteral("rbnMCLKOutFreq%1").arg(n);
}

void SetBits(std::uint8_t& byte, std::uint8_t mask, bool set) {
    byte = static_cast<std::uint8_t>(set ? byte | mask : byte & ~mask);
}

// The text as the device stores it, or nothing after a message that says why it cannot be
// sent: a character without a Windows-1252 code, or more characters than the field holds.
std::optional<std::vector<std::uint8_t>> DeviceText(Dialogs& dialogs, const QString& text,
                                                    std::size_t limit, const QString& field) {
    EncodedText encoded = EncodeWindows1252(text);
    if (!encoded.refused.isEmpty()) {
        dialogs.ShowError(QStringLiteral("%1: the character '%2' cannot be stored on the "
                                         "device. Nothing was sent.")
                              .arg(field, encoded.refused));
        return std::nullopt;
    }
    if (encoded.bytes.size() > limit) {
        dialogs.ShowError(QStringLiteral("%1 has %2 characters, at most %3 can be stored. "
                                         "Nothing was sent.")
                              .arg(field)
                              .arg(encoded.bytes.size())
                              .arg(limit));
        return std::nullopt;
    }
    return std::move(encoded.bytes);
}
}  // namespace

ParameterPage::ParameterPage(const PageContext& context)
    : ServicePage(context), parameterPage_(std::make_unique<Ui::ParameterPage>()) {
    parameterPage_->setupUi(this);
    ConnectParameterPage();
}

ParameterPage::~ParameterPage() = default;

void ParameterPage::FormCreate() {
    unit_.SystemSettings = {0xA1, 0x00, 0x00, 0x00};
    UpdateParameterPage();
}

// Shows SystemSettings in the page's controls. Every setting handler derives its bits from the
// controls' state, so a handler run by this refresh leaves the record unchanged.
void ParameterPage::UpdateParameterPage() {
    Ui::ParameterPage& page = *parameterPage_;
    const SettingsFields fields = DecodeSettings(unit_.SystemSettings);

    page.lblEepAvail->setText(fields.eepromPresent ? QStringLiteral("EEPROM Exist")
                                                   : QStringLiteral("EEPROM not Available"));
    (fields.i2s32Bit ? page.rbnI2Slen0 : page.rbnI2Slen1)->setChecked(true);
    (fields.spdif32Bit ? page.rbnSPDIFlen0 : page.rbnSPDIFlen1)->setChecked(true);
    page.chkI2SLRSwap->setChecked(fields.i2sSwap);
    page.chkDSDLRSwap->setChecked(fields.dsdSwap);
    (fields.leftJustified ? page.rbnI2SFormat1 : page.rbnI2SFormat0)->setChecked(true);
    (fields.nativeDsd ? page.rbnDSDOut0 : page.rbnDSDOut1)->setChecked(true);
    if (auto* button = findChild<QRadioButton*>(MclkButtonName(fields.mclkChoice))) {
        button->setChecked(true);
    }
    page.chkMCLKOutOff->setChecked(fields.mclkOff);
    page.chkI2SOutOff->setChecked(fields.i2sOff);
    page.chkSPDIFOutOff->setChecked(fields.spdifOff);
}

void ParameterPage::ConnectParameterPage() {
    Ui::ParameterPage& page = *parameterPage_;
    ConnectClick(this, page.btnSetPara, &ParameterPage::btnSetParaClick);
    ConnectClick(this, page.btnReadPara, &ParameterPage::btnReadParaClick);
    RouteKeyDown(this, page.lbledSysVID, &ParameterPage::lbledSysVIDPIDKeyDown);
    RouteKeyDown(this, page.lbledSysPID, &ParameterPage::lbledSysVIDPIDKeyDown);
    for (QLineEdit* edit : {page.lbledSysStr1, page.lbledSysStr2, page.lbledSysStr3}) {
        RouteKeyDown(this, edit, &ParameterPage::lbledSysStrKeyDown);
    }
    ConnectClick(this, page.rbnI2Slen0, &ParameterPage::rbnI2SlenClick);
    ConnectClick(this, page.rbnI2Slen1, &ParameterPage::rbnI2SlenClick);
    ConnectClick(this, page.rbnSPDIFlen0, &ParameterPage::rbnSPDIFlenClick);
    ConnectClick(this, page.rbnSPDIFlen1, &ParameterPage::rbnSPDIFlenClick);
    ConnectClick(this, page.chkI2SLRSwap, &ParameterPage::chkI2SLRSwapClick);
    ConnectClick(this, page.chkDSDLRSwap, &ParameterPage::chkDSDLRSwapClick);
    for (int n = 0; n < kMclkChoices; ++n) {
        ConnectClick(this, findChild<QRadioButton*>(MclkButtonName(n)),
                     &ParameterPage::rbnMCLKOutFreqClick);
    }
    ConnectClick(this, page.rbnI2SFormat0, &ParameterPage::rbnI2SFormatClick);
    ConnectClick(this, page.rbnI2SFormat1, &ParameterPage::rbnI2SFormatClick);
    ConnectClick(this, page.rbnDSDOut0, &ParameterPage::rbnDSDOutClick);
    ConnectClick(this, page.rbnDSDOut1, &ParameterPage::rbnDSDOutClick);
    ConnectClick(this, page.chkMCLKOutOff, &ParameterPage::chkMCLKOutOffClick);
    ConnectClick(this, page.chkI2SOutOff, &ParameterPage::chkI2SOutOffClick);
    ConnectClick(this, page.chkSPDIFOutOff, &ParameterPage::chkSPDIFOutOffClick);
}

void ParameterPage::btnSetParaClick(QObject*) {
    WriteSystemSettings(unit_.usb, unit_.SystemSettings);
}

void ParameterPage::btnReadParaClick(QObject*) {
    // Taken over only when the whole access worked, so a device lost half-way cannot leave a
    // record mixed from old and new bytes.
    if (const auto record = ReadSystemSettings(unit_.usb)) unit_.SystemSettings = *record;
    UpdateParameterPage();
}

void ParameterPage::lbledSysVIDPIDKeyDown(QObject* sender, int key) {
    if (key != kVkReturn) return;
    Ui::ParameterPage& page = *parameterPage_;
    const bool vendor = sender == page.lbledSysVID;
    const QString text = (vendor ? page.lbledSysVID : page.lbledSysPID)->text();
    const auto bytes = DeviceText(dialogs_, text, kParamIdSize,
                                  vendor ? QStringLiteral("VID") : QStringLiteral("PID"));
    if (bytes) WriteProductId(unit_.usb, vendor, *bytes);
}

void ParameterPage::lbledSysStrKeyDown(QObject* sender, int key) {
    if (key != kVkReturn) return;
    Ui::ParameterPage& page = *parameterPage_;
    const std::array<QLineEdit*, 3> edits{page.lbledSysStr1, page.lbledSysStr2, page.lbledSysStr3};
    std::size_t which = 0;  // any sender but the first two is the third string
    while (which < 2 && edits[which] != sender) ++which;
    const auto bytes = DeviceText(dialogs_, edits[which]->text(), kParamStringMaxLength,
                                  QStringLiteral("String %1").arg(which + 1));
    if (bytes) WriteProductString(unit_.usb, which, *bytes);
}

void ParameterPage::rbnI2SlenClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x01, parameterPage_->rbnI2Slen0->isChecked());
}

void ParameterPage::rbnSPDIFlenClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x02, parameterPage_->rbnSPDIFlen0->isChecked());
}

void ParameterPage::chkI2SLRSwapClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x04, parameterPage_->chkI2SLRSwap->isChecked());
}

void ParameterPage::chkDSDLRSwapClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x08, parameterPage_->chkDSDLRSwap->isChecked());
}

void ParameterPage::rbnMCLKOutFreqClick(QObject* sender) {
    for (int n = 0; n < kMclkChoices; ++n) {
        if (findChild<QRadioButton*>(MclkButtonName(n)) != sender) continue;
        std::uint8_t& output = unit_.SystemSettings[0];
        output = static_cast<std::uint8_t>((output & ~kMclkBits) | (n << 4));
        return;
    }
}

void ParameterPage::rbnI2SFormatClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x40, !parameterPage_->rbnI2SFormat0->isChecked());
}

void ParameterPage::rbnDSDOutClick(QObject*) {
    SetBits(unit_.SystemSettings[0], 0x80, parameterPage_->rbnDSDOut0->isChecked());
}

void ParameterPage::chkMCLKOutOffClick(QObject*) {
    SetBits(unit_.SystemSettings[1], 0x80, parameterPage_->chkMCLKOutOff->isChecked());
}

void ParameterPage::chkI2SOutOffClick(QObject*) {
    SetBits(unit_.SystemSettings[1], 0x40, parameterPage_->chkI2SOutOff->isChecked());
}

void ParameterPage::chkSPDIFOutOffClick(QObject*) {
    SetBits(unit_.SystemSettings[1], 0x20, parameterPage_->chkSPDIFOutOff->isChecked());
}

}  // namespace qv
