// I2C Access page: the 256 registers of the slave at the current slave address, behind the
// chip's I2C master. Entering the page enables the master (bank 14), which the page's
// transactions rely on.

#include "app/I2cPage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "app/HexText.h"
#include "app/KeyRoute.h"
#include "app/RegisterGrid.h"
#include "app/StringGrid.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
#include "chip/Registers.h"
#include "ui_I2cPage.h"

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

I2cPage::I2cPage(const PageContext& context)
    : ServicePage(context), i2cPage_(std::make_unique<Ui::I2cPage>()), pages_(context.pages) {
    i2cPage_->setupUi(this);
    PrepareStringGrid(i2cPage_->StringGridMIIC);
    ConnectI2cPage();
}

I2cPage::~I2cPage() = default;

void I2cPage::FormCreate() {
    FillGridHeaders(i2cPage_->StringGridMIIC);
}

void I2cPage::ShowSlaveAddress() {
    i2cPage_->edtMI2CAddr->setText(HexByte(unit_.i2cSlaveAddress));
}

void I2cPage::ConnectI2cPage() {
    Ui::I2cPage& page = *i2cPage_;
    QTableWidget* grid = page.StringGridMIIC;
    connect(&pages_, &QTabWidget::currentChanged, this, [this] { MainPageControlChange(&pages_); });
    ConnectClick(this, page.btnReadMI2C, &I2cPage::btnReadMI2CClick);
    RouteKeyDown(this, page.edtMI2CAddr, &I2cPage::edtMI2CAddrKeyDown);
    RouteKeyDown(this, grid, &I2cPage::StringGridMIICKeyDown);
    WireRegisterGrid(grid, [this](int column, int row) { StringGridMIICSelectCell(column, row); });
    // Mouse releases only: showing a value sets the boxes too, and that must not write.
    WireBitBoxes(FindBitBoxes(grid->parentWidget(), QStringLiteral("chkMI2CBit")),
                 [this] { chkMI2CBitMouseUp(this); });
}

void I2cPage::MainPageControlChange(QObject*) {
    if (pages_.currentWidget() != this) return;
    unit_.usb.Open();
    I2cMasterEnable(unit_.usb);
    unit_.usb.Close();
}

void I2cPage::btnReadMI2CClick(QObject*) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).ReadAll([this] { host_.PumpMessages(); });
}

void I2cPage::edtMI2CAddrKeyDown(QObject*, int key) {
    if (key != kVkReturn) return;
    QLineEdit* edit = i2cPage_->edtMI2CAddr;
    const auto typed = ConvertTypedByte(edit->text());
    if (!typed) return;
    unit_.i2cSlaveAddress = static_cast<std::uint8_t>(*typed);
    edit->setText(HexByte(unit_.i2cSlaveAddress));
}

void I2cPage::StringGridMIICSelectCell(int column, int row) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).Select(column, row);
}

// Every key that acts takes the cell's text first, so a step starts from an edited value.
void I2cPage::StringGridMIICKeyDown(QObject*, int key) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) { ShowNoAcknowledge(what); })
        .KeyDown(
            key, [this](const QString& text) { return ConvertTypedByte(text); }, kKeyWritePauseMs);
}

void I2cPage::chkMI2CBitMouseUp(QObject*) {
    SlaveGrid(*i2cPage_, unit_, [this](const QString& what) {
        ShowNoAcknowledge(what);
    }).WriteBits(kBitWritePauseMs);
}

}  // namespace qv
