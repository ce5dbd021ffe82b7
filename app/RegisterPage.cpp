// Register page: the chip's currently selected register bank. Register 0x00 is the bank
// select, so writing it from the grid changes which bank the other cells address.

#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>

#include "app/KeyRoute.h"
#include "app/RegisterGrid.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
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
        [&usb](std::uint8_t reg, std::uint8_t value) { return RegWrite(usb, reg, value); }};
    return RegisterGrid(controls, usb, unit.api, unit.registerShadow, std::move(access));
}
}  // namespace

void TForm1::ConnectRegisterPage() {
    Ui::RegisterPage& page = *registerPage_;
    QTableWidget* grid = page.RegStringGrid1;
    ConnectClick(page.btnReadAll, &TForm1::btnReadAllClick);
    RouteKeyDown(grid, &TForm1::RegStringGridKeyDown);
    WireRegisterGrid(grid, [this](int column, int row) { RegStringGridSelectCell(column, row); });
    // Clicks only: showing a value sets the boxes too, and that must not write.
    for (QCheckBox* box : FindBitBoxes(grid->parentWidget(), QStringLiteral("chkBit"))) {
        connect(box, &QCheckBox::clicked, this, [this, box] { chkBit0MouseUp(box); });
    }
}

void TForm1::btnReadAllClick(QObject*) {
    BankGrid(*registerPage_, unit_).ReadAll([this] { PumpMessages(); });
}

void TForm1::RegStringGridSelectCell(int column, int row) {
    BankGrid(*registerPage_, unit_).Select(column, row);
}

void TForm1::RegStringGridKeyDown(QObject*, int key) {
    RegisterGrid grid = BankGrid(*registerPage_, unit_);
    const std::uint8_t reg = grid.CurrentRegister();
    std::uint8_t& value = unit_.registerShadow[reg];
    switch (key) {
        case kVkReturn: {
            const auto typed = ConvertTypedHex(grid.CurrentText());
            if (!typed) return;
            value = static_cast<std::uint8_t>(*typed);
            break;
        }
        case kVkInsert:
            if (value == 0xFF) return;
            ++value;
            break;
        case kVkDelete:
            if (value == 0x00) return;
            --value;
            break;
        default:
            return;
    }
    grid.WriteShadow(reg, kKeyWritePauseMs);
}

void TForm1::chkBit0MouseUp(QObject*) {
    BankGrid(*registerPage_, unit_).WriteBits(kBitWritePauseMs);
}

}  // namespace qv
