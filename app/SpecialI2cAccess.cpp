// Special I2C access (Information page): one free-form transaction with the current slave, a
// command of 1 to 5 bytes followed by 1 to 5 data bytes written or read.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/HexText.h"
#include "app/KeyRoute.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "chip/Registers.h"
#include "text/HexDigits.h"
#include "ui_I2cPage.h"
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

// The first two characters as hexadecimal digits; anything else, a missing character
// included, counts as 0.
std::uint8_t ByteOfText(const QString& text) {
    char digits[2] = {};
    for (int i = 0; i < 2 && i < text.size(); ++i) digits[i] = text[i].toLatin1();
    return static_cast<std::uint8_t>(ParseHexDigits(digits, 2));
}

TransferBytes BytesOfBoxes(const QWidget* group, const QString& prefix, int count) {
    TransferBytes bytes{};
    for (int i = 0; i < count; ++i) bytes[i] = ByteOfText(ByteBox(group, prefix, i)->text());
    return bytes;
}

void ShowLength(const QScrollBar* length, QLabel* label, const QString& prefix) {
    label->setText(QString::number(length->value()));
    for (int i = 0; i < kMaxBytes; ++i) {
        ByteBox(length->parentWidget(), prefix, i)->setEnabled(i < length->value());
    }
}
}  // namespace

void TForm1::ConnectSpecialI2cAccess() {
    Ui::InformationPage& page = *informationPage_;
    QScrollBar* commandLength = page.srblen0;
    QScrollBar* dataLength = page.srblen1;
    connect(commandLength, &QScrollBar::valueChanged, this,
            [this, commandLength] { srblen0Change(commandLength); });
    connect(dataLength, &QScrollBar::valueChanged, this,
            [this, dataLength] { srblen1Change(dataLength); });
    RouteKeyDown(page.edtMI2CAddr1, &TForm1::edtMI2CAddr1KeyDown);
    ConnectClick(page.btnWriteSpecI2C, &TForm1::btnWriteSpecI2CClick);
    ConnectClick(page.btnReadSpecI2C, &TForm1::btnReadSpecI2CClick);
}

void TForm1::srblen0Change(QObject*) {
    ShowLength(informationPage_->srblen0, informationPage_->lbllencmd, kCommandBoxes);
}

void TForm1::srblen1Change(QObject*) {
    ShowLength(informationPage_->srblen1, informationPage_->lbllendat, kDataBoxes);
}

void TForm1::edtMI2CAddr1KeyDown(QObject*, int key) {
    if (key != kVkReturn) return;
    const auto typed = ConvertTypedHex(informationPage_->edtMI2CAddr1->text());
    if (!typed) return;
    unit_.i2cSlaveAddress = static_cast<std::uint8_t>(*typed);
    i2cPage_->edtMI2CAddr->setText(HexByte(unit_.i2cSlaveAddress));
}

// The Information page's own commands select bank 0, so each transaction enables the I2C
// master (bank 14) first; otherwise its register writes would land in whatever bank is
// selected and nothing would reach the bus.
void TForm1::btnWriteSpecI2CClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    if (!usb.IsPresent()) return;
    Ui::InformationPage& page = *informationPage_;
    const int commandCount = page.srblen0->value();
    const int dataCount = page.srblen1->value();
    const TransferBytes command = BytesOfBoxes(page.GroupBox7, kCommandBoxes, commandCount);
    const TransferBytes data = BytesOfBoxes(page.GroupBox7, kDataBoxes, dataCount);
    usb.Open();
    I2cMasterEnable(usb);
    I2cWriteCommand(usb, unit_.i2cSlaveAddress, static_cast<std::uint8_t>(commandCount),
                    command.data(), static_cast<std::uint8_t>(dataCount), data.data());
    usb.Close();
}

void TForm1::btnReadSpecI2CClick(QObject*) {
    QuorvexUsb& usb = unit_.usb;
    if (!usb.IsPresent()) return;
    Ui::InformationPage& page = *informationPage_;
    const int commandCount = page.srblen0->value();
    const int dataCount = page.srblen1->value();
    const TransferBytes command = BytesOfBoxes(page.GroupBox7, kCommandBoxes, commandCount);
    TransferBytes data{};
    usb.Open();
    I2cMasterEnable(usb);
    const bool read =
        I2cReadCommand(usb, unit_.i2cSlaveAddress, static_cast<std::uint8_t>(commandCount),
                       command.data(), static_cast<std::uint8_t>(dataCount), data.data());
    usb.Close();
    // A failed read leaves the boxes as they were rather than showing bytes never received.
    if (!read) return;
    for (int i = 0; i < dataCount; ++i)
        ByteBox(page.GroupBox7, kDataBoxes, i)->setText(HexByte(data[i]));
}

}  // namespace qv
