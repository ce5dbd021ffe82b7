// Register page: the chip's currently selected register bank. Register 0x00 selects the bank:
// a value typed into its cell switches every other cell to another bank.

#include "app/RegisterPage.h"

#include <QPushButton>
#include <QTableWidget>

#include "app/RegisterGrid.h"
#include "app/StringGrid.h"
#include "app/UnitState.h"
#include "app/Wiring.h"
#include "chip/Registers.h"
#include "ui_RegisterPage.h"

namespace qv {

namespace {
constexpr std::uint32_t kKeyWritePauseMs = 1;
constexpr std::uint32_t kBitWritePauseMs = 3;

RegisterGrid BankGrid(Ui::RegisterPage& page, UnitState& unit) {
    const RegisterGridControls controls{
        page.RegStringGrid1,
        page.btnReadAll,
        QStringLiteral("Read Bank"),
        page.lblRegAddr,
        page.lblRegData,
        FindBitBoxes(page.RegStringGrid1->parentWidget(), QStringLiteral("chkBit"))};
    QuorvexUsb& usb = unit.usb;
    RegisterAccess access{
        [&usb](std::uint8_t reg, std::uint8_t& value) { return RegRead(usb, reg, value); },
        [&usb](std::uint8_t reg, std::uint8_t value) { return RegWrite(usb, reg, value); },
        {}};  // a failed register access shows in the shadow's value, as the page always did
    return RegisterGrid(controls, usb, unit.api, unit.registerShadow, std::move(access));
}
}  // namespace

RegisterPage::RegisterPage(const PageContext& context)
    : ServicePage(context), registerPage_(std::make_unique<Ui::RegisterPage>()) {
    registerPage_->setupUi(this);
    PrepareStringGrid(registerPage_->RegStringGrid1);
    ConnectRegisterPage();
}

RegisterPage::~RegisterPage() = default;

void RegisterPage::FormCreate() {
    FillGridHeaders(registerPage_->RegStringGrid1);
}

void RegisterPage::ConnectRegisterPage() {
    Ui::RegisterPage& page = *registerPage_;
    QTableWidget* grid = page.RegStringGrid1;
    ConnectClick(this, page.btnReadAll, &RegisterPage::btnReadAllClick);
    RouteKeyDown(this, grid, &RegisterPage::RegStringGridKeyDown);
    WireRegisterGrid(grid, [this](int column, int row) { RegStringGridSelectCell(column, row); });
    // Mouse releases only: showing a value sets the boxes too, and that must not write.
    WireBitBoxes(FindBitBoxes(grid->parentWidget(), QStringLiteral("chkBit")),
                 [this] { chkBit0MouseUp(this); });
}

void RegisterPage::btnReadAllClick(QObject*) {
    BankGrid(*registerPage_, unit_).ReadAll([this] { host_.PumpMessages(); });
}

void RegisterPage::RegStringGridSelectCell(int column, int row) {
    BankGrid(*registerPage_, unit_).Select(column, row);
}

// Every key that acts takes the cell's text first, so a step starts from a typed value.
void RegisterPage::RegStringGridKeyDown(QObject*, int key) {
    BankGrid(*registerPage_, unit_)
        .KeyDown(
            key, [this](const QString& text) { return ConvertTypedByte(text); }, kKeyWritePauseMs);
}

void RegisterPage::chkBit0MouseUp(QObject*) {
    BankGrid(*registerPage_, unit_).WriteBits(kBitWritePauseMs);
}

}  // namespace qv
