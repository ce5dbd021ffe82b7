// Every service page field that holds one byte refuses a typed value that does not fit it, in
// the error box, and sends nothing: the technician's value is never cut to fit.

#include <QScrollBar>
#include <QTabWidget>

#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

enum class Field {
    kRegisterCell,
    kSlaveCell,
    kSlaveAddress,
    kSpecialAddress,
    kStatusRegister,
    kSpecialWriteCommand,
    kSpecialWriteData,
    kSpecialReadCommand
};

struct Refusal {
    const char* name;
    Field field;
    const char* typed;
    const char* error;
};

class PageRefusal : public ServicePageTest, public ::testing::WithParamInterface<Refusal> {
  protected:
    PageRefusal() { form->ShowServicePages(); }

    void Type(Field field, const QString& text) {
        auto* pages = Control<QTabWidget>("MainPageControl");
        switch (field) {
            case Field::kRegisterCell:
                return TypeInCell(Control<QTableWidget>("RegStringGrid1"), text);
            case Field::kSlaveCell:
                pages->setCurrentWidget(Control<QWidget>("PageMI2CCtrl"));
                return TypeInCell(Control<QTableWidget>("StringGridMIIC"), text);
            case Field::kSlaveAddress:
                return Enter(Control<QLineEdit>("edtMI2CAddr"), text);
            case Field::kSpecialAddress:
                return Enter(Control<QLineEdit>("edtMI2CAddr1"), text);
            case Field::kStatusRegister:
                return Enter(Control<QLineEdit>("lbledtUSBWriteStatus"), text);
            case Field::kSpecialWriteCommand:
                return Special("edtI2Ccmd1", text, "btnWriteSpecI2C");
            case Field::kSpecialWriteData:
                return Special("edtI2Cdat1", text, "btnWriteSpecI2C");
            case Field::kSpecialReadCommand:
                return Special("edtI2Ccmd1", text, "btnReadSpecI2C");
        }
    }

  private:
    void TypeInCell(QTableWidget* grid, const QString& text) {
        Select(grid, 0x40);
        bus.ClearLog();
        EnterInCell(grid, text);
    }
    // The second of two command and data bytes, the first one good.
    void Special(const char* box, const QString& text, const char* button) {
        Control<QScrollBar>("srblen0")->setValue(2);
        Control<QScrollBar>("srblen1")->setValue(2);
        Control<QLineEdit>(box)->setText(text);
        Control<QPushButton>(button)->click();
    }
};

TEST_P(PageRefusal, ShowsTheErrorBoxAndSendsNothing) {
    const Refusal& row = GetParam();
    const std::uint8_t address = unit.i2cSlaveAddress;
    Type(row.field, QString::fromUtf8(row.typed));

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
    ::testing::Values(Refusal{"RegisterCellThreeDigits", Field::kRegisterCell, "123", kTooBig123},
                      Refusal{"SlaveCellThreeDigits", Field::kSlaveCell, "1FF", kTooBig1FF},
                      Refusal{"SlaveAddressAboveFF", Field::kSlaveAddress, "1FF", kTooBig1FF},
                      Refusal{"SpecialAddressAboveFF", Field::kSpecialAddress, "1FF", kTooBig1FF},
                      Refusal{"StatusRegisterAboveFF", Field::kStatusRegister, "100",
                              "'100' does not fit in one byte: type 00 to FF"},
                      Refusal{"SpecialCommandNotHex", Field::kSpecialWriteCommand, "G1",
                              "'0xG1' is not a valid integer value"},
                      Refusal{"SpecialDataThreeDigits", Field::kSpecialWriteData, "123",
                              kTooBig123},
                      Refusal{"SpecialReadCommandNotHex", Field::kSpecialReadCommand, "1 ",
                              "'0x1 ' is not a valid integer value"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qv::test
