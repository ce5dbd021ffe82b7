// Special I2C access (Information page): one free-form transaction with the current slave, a
// command of 1 to 5 bytes followed by 1 to 5 data bytes written or read.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/Dialogs.h"
#include "app/HexText.h"
#include "app/I2cPage.h"
#include "app/InformationPage.h"
#include "app/KeyRoute.h"
#include "app/TypedNumberField.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
#include "chip/Registers.h"
#include "text/HexDigits.h"
#include "text/TypedNumber.h"
#include "ui_InformationPage.h"

namespace qv {

namespace {
constexpr int kMaxBytes = 5;
using TransferBytes = std::array<std::uint8_t, kMaxBytes>;

const QString kCommandBoxes = QStringLiteral("edtI2Ccmd");
const QString kDataBoxes = QStringLiteral("edtI2Cdat");

QLineEdit* ByteBox(const QWidget* group, const QString& prefix, int i) {
    return group->findChild<QLineEdit*>(prefix + QString::number(i));
}

// Two hexadecimal digits, high digit first; a missing one counts as 0 (so 5 is 0x50 and an
// empty box 0x00). Anything else is refused with the error box's text in `refusal`, rather than
// sending a byte nobody typed.
std::optional<std::uint8_t> ByteOfText(const QString& text, QString& refusal) {
    const std::string typed = text.toStdString();
    if (!typed.empty() && !HexDigitsValue(typed)) {
        refusal = InvalidIntegerMessage(QStringLiteral("0x") + text);
        return std::nullopt;
    }
    if (typed.size() > 2) {
        refusal = ByteRangeMessage(text);
        return std::nullopt;
    }
    char digits[2] = {'0', '0'};
    for (std::size_t i = 0; i < typed.size(); ++i) digits[i] = typed[i];
    return static_cast<std::uint8_t>(ParseHexDigits(digits, 2));
}

std::optional<TransferBytes> BytesOfBoxes(const QWidget* group, const QString& prefix, int count,
                                          QString& refusal) {
    TransferBytes bytes{};
    for (int i = 0; i < count; ++i) {
        const auto byte = ByteOfText(ByteBox(group, prefix, i)->text(), refusal);
        if (!byte) return std::nullopt;
        bytes[i] = *byte;
    }
    return bytes;
}

void ShowLength(const QScrollBar* length, QLabel* label, const QString& prefix) {
    label->setText(QString::number(length->value()));
    for (int i = 0; i < kMaxBytes; ++i) {
        ByteBox(length->parentWidget(), prefix, i)->setEnabled(i < length->value());
    }
}
}  // namespace

void InformationPage::ConnectSpecialI2cAccess() {
    Ui::InformationPage& page = *informationPage_;
    QScrollBar* commandLength = page.srblen0;
    QScrollBar* dataLength = page.srblen1;
    connect(commandLength, &QScrollBar::valueChanged, this,
            [this, commandLength] { srblen0Change(commandLength); });
    connect(dataLength, &QScrollBar::valueChanged, this,
            [this, dataLength] { srblen1Change(dataLength); });
    RouteKeyDown(this, page.edtMI2CAddr1, &InformationPage::edtMI2CAddr1KeyDown);
    ConnectClick(this, page.btnWriteSpecI2C, &InformationPage::btnWriteSpecI2CClick);
    ConnectClick(this, page.btnReadSpecI2C, &InformationPage::btnReadSpecI2CClick);
}

void InformationPage::srblen0Change(QObject*) {
    ShowLength(informationPage_->srblen0, informationPage_->lbllencmd, kCommandBoxes);
}

void InformationPage::srblen1Change(QObject*) {
    ShowLength(informationPage_->srblen1, informationPage_->lbllendat, kDataBoxes);
}

void InformationPage::edtMI2CAddr1KeyDown(QObject*, int key) {
    if (key != kVkReturn) return;
    const auto typed = ConvertTypedByte(informationPage_->edtMI2CAddr1->text());
    if (!typed) return;
    unit_.i2cSlaveAddress = static_cast<std::uint8_t>(*typed);
    if (auto* i2c = OtherPage<I2cPage>()) i2c->ShowSlaveAddress();
}

// The Information page's own commands select bank 0, so each transaction enables the I2C
// master (bank 14) first; otherwise its register writes would land in whatever bank is
// selected and nothing would reach the bus.
void InformationPage::btnWriteSpecI2CClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    if (!usb.IsPresent()) return;
    Ui::InformationPage& page = *informationPage_;
    const int commandCount = page.srblen0->value();
    const int dataCount = page.srblen1->value();
    QString refusal;
    const auto command = BytesOfBoxes(page.GroupBox7, kCommandBoxes, commandCount, refusal);
    const auto data =
        command ? BytesOfBoxes(page.GroupBox7, kDataBoxes, dataCount, refusal) : std::nullopt;
    if (!data) return dialogs_.ShowError(refusal);
    usb.Open();
    I2cMasterEnable(usb);
    const bool written =
        I2cWriteCommand(usb, unit_.i2cSlaveAddress, static_cast<std::uint8_t>(commandCount),
                        command->data(), static_cast<std::uint8_t>(dataCount), data->data());
    usb.Close();
    if (!written) ShowNoAcknowledge(QStringLiteral("nothing was written"));
}

void InformationPage::btnReadSpecI2CClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    if (!usb.IsPresent()) return;
    Ui::InformationPage& page = *informationPage_;
    const int commandCount = page.srblen0->value();
    const int dataCount = page.srblen1->value();
    QString refusal;
    const auto command = BytesOfBoxes(page.GroupBox7, kCommandBoxes, commandCount, refusal);
    if (!command) return dialogs_.ShowError(refusal);
    TransferBytes data{};
    usb.Open();
    I2cMasterEnable(usb);
    const bool read =
        I2cReadCommand(usb, unit_.i2cSlaveAddress, static_cast<std::uint8_t>(commandCount),
                       command->data(), static_cast<std::uint8_t>(dataCount), data.data());
    usb.Close();
    // A failed read leaves the boxes as they were rather than showing bytes never received.
    if (!read) return ShowNoAcknowledge(QStringLiteral("nothing was read"));
    for (int i = 0; i < dataCount; ++i)
        ByteBox(page.GroupBox7, kDataBoxes, i)->setText(HexByte(data[i]));
}

}  // namespace qv
