// I2C Access page: the 256 registers of the slave at the current slave address, behind the
// chip's I2C master. Entering the page enables the master (bank 14), which the page's
// transactions rely on.

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/Dialogs.h"
#include "app/HexText.h"
#include "app/KeyRoute.h"
#include "app/RegisterGrid.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "chip/Registers.h"
#include "ui_I2cPage.h"
#include "ui_TForm1.h"

namespace qv {

namespace {
constexpr std::uint32_t kKeyWritePauseMs = 1;
constexpr std::uint32_t kBitWritePauseMs = 30;

RegisterGrid SlaveGrid(Ui::I2cPage& page, UnitState& unit,
                       const std::function<void(const QString&)>& unanswered) {
    const RegisterGridControls controls{
        page.StringGridMIIC,
        page.btnReadMI2C,
        QStringLiteral("Read"),
        page.lblMI2CRegAddr,
        page.lblMI2CRegData,
        FindBitBoxes(page.StringGridMIIC->parentWidget(), QStringLiteral("chkMI2CBit"))};
    RegisterAccess access{[&unit](std::uint8_t reg, std::uint8_t& value) {
                              return I2cRead(unit.usb, unit.i2cSlaveAddress, reg, 1, &value);
                          },
                          [&unit](std::uint8_t reg, std::uint8_t value) {
                              return I2cWrite(unit.usb, unit.i2cSlaveAddress, reg, 1, &value);
                          },
                          unanswered};
    return RegisterGrid(controls, unit.usb, unit.api, unit.slaveShadow, std::move(access));
}
}  // namespace

void TForm1::ConnectI2cPage() {
    Ui::I2cPage& page = *i2cPage_;
    QTableWidget* grid = page.StringGridMIIC;
    connect(form_->MainPageControl, &QTabWidget::currentChanged, this,
            [this] { MainPageControlChange(form_->MainPageControl); });
    ConnectClick(page.btnReadMI2C, &TForm1::btnReadMI2CClick);
    RouteKeyDown(page.edtMI2CAddr, &TForm1::edtMI2CAddrKeyDown);
    RouteKeyDown(grid, &TForm1::StringGridMIICKeyDown);
    WireRegisterGrid(grid, [this](int column, int row) { StringGridMIICSelectCell(column, row); });
    // Mouse releases only: showing a value sets the boxes too, and that must not write.
    WireBitBoxes(FindBitBoxes(grid->parentWidget(), QStringLiteral("chkMI2CBit")),
                 [this] { chkMI2CBitMouseUp(this); });
}

// What qvtool says of a slave that does not answer, in the error box.
void TForm1::ShowNoAcknowledge(const QString& what) {
    dialogs_.ShowError(QStringLiteral("The I2C slave at 0x") + HexByte(unit_.i2cSlaveAddress) +
                       QStringLiteral(" did not acknowledge: ") + what);
}

void TForm1::MainPageControlChange(QObject*) {
    if (form_->MainPageControl->currentWidget() != form_->PageMI2CCtrl) return;
    unit_.usb.Open();
    I2cMasterEnable(unit_.usb);
    unit_.usb.Close();
}

void TForm1::btnReadMI2CClick(QObject*) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).ReadAll([this] { PumpMessages(); });
}

void TForm1::edtMI2CAddrKeyDown(QObject*, int key) {
    if (key != kVkReturn) return;
    QLineEdit* edit = i2cPage_->edtMI2CAddr;
    const auto typed = ConvertTypedByte(edit->text());
    if (!typed) return;
    unit_.i2cSlaveAddress = static_cast<std::uint8_t>(*typed);
    edit->setText(HexByte(unit_.i2cSlaveAddress));
}

void TForm1::StringGridMIICSelectCell(int column, int row) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).Select(column, row);
}

// Every key that acts takes the cell's text first, so a step starts from an edited value.
void TForm1::StringGridMIICKeyDown(QObject*, int key) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) { ShowNoAcknowledge(what); })
        .KeyDown(
            key, [this](const QString& text) { return ConvertTypedByte(text); }, kKeyWritePauseMs);
}

void TForm1::chkMI2CBitMouseUp(QObject*) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).WriteBits(kBitWritePauseMs);
}

}  // namespace qv
