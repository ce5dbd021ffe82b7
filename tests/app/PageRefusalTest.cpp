// Every service page field that holds one byte refuses a typed value that does not fit it, in
// the error box, and sends nothing: the technician's value is never cut to fit.

#include <QScrollBar>
#include <QTabWidget>

#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

struct Refusal {
    const char* name;
    const char* field;   // a grid (cell 0x40), or an edit
    const char* button;  // clicked after typing (special I2C, two bytes of each); else Enter
    const char* typed;
    const char* error;
};

class PageRefusal : public ServicePageTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PageRefusal, ShowsTheErrorBoxAndSendsNothing) {
    const Refusal& row = GetParam();
    form->ShowServicePages();
    Control<QTabWidget>("MainPageControl")->setCurrentWidget(Control<QWidget>("PageMI2CCtrl"));
    const std::uint8_t address = unit.i2cSlaveAddress;
    if (auto* grid = form->findChild<QTableWidget*>(row.field)) {
        Select(grid, 0x40);
        bus.ClearLog();
        EnterInCell(grid, row.typed);
    } else if (row.button != nullptr) {
        Control<QScrollBar>("srblen0")->setValue(2);
        Control<QScrollBar>("srblen1")->setValue(2);
        bus.ClearLog();
        Control<QLineEdit>(row.field)->setText(row.typed);
        Control<QPushButton>(row.button)->click();
    } else {
        bus.ClearLog();
        Enter(Control<QLineEdit>(row.field), row.typed);
    }

    EXPECT_EQ(dialogs.errors, std::vector<QString>{QString::fromUtf8(row.error)});
    EXPECT_TRUE(RegisterTrace().empty());
    EXPECT_EQ(unit.i2cSlaveAddress, address);
    EXPECT_EQ(unit.registerShadow[0x40], 0x00);
    EXPECT_EQ(unit.slaveShadow[0x40], 0x00);
}

constexpr const char* kTooBig123 = "'123' does not fit in one byte: type 00 to FF";
constexpr const char* kTooBig1FF = "'1FF' does not fit in one byte: type 00 to FF";

INSTANTIATE_TEST_SUITE_P(
    Fields, PageRefusal,
    ::testing::Values(Refusal{"RegisterCell", "RegStringGrid1", nullptr, "123", kTooBig123},
                      Refusal{"SlaveCell", "StringGridMIIC", nullptr, "1FF", kTooBig1FF},
                      Refusal{"SlaveAddress", "edtMI2CAddr", nullptr, "1FF", kTooBig1FF},
                      Refusal{"SpecialAddress", "edtMI2CAddr1", nullptr, "1FF", kTooBig1FF},
                      Refusal{"StatusRegister", "lbledtUSBWriteStatus", nullptr, "100",
                              "'100' does not fit in one byte: type 00 to FF"},
                      Refusal{"SpecialCommandNotHex", "edtI2Ccmd1", "btnWriteSpecI2C", "G1",
                              "'0xG1' is not a valid integer value"},
                      Refusal{"SpecialDataTooLong", "edtI2Cdat1", "btnWriteSpecI2C", "123",
                              kTooBig123},
                      Refusal{"SpecialReadCommandNotHex", "edtI2Ccmd1", "btnReadSpecI2C", "1 ",
                              "'0x1 ' is not a valid integer value"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
