#include <QTabWidget>

#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

class I2cPage : public ServicePageTest {
  protected:
    I2cPage() {
        form->ShowServicePages();
        Control<QTabWidget>("MainPageControl")->setCurrentWidget(Control<QWidget>("PageMI2CCtrl"));
        for (int reg = 0; reg < 256; ++reg) slave().SetRegister(reg, reg ^ 0x5A);
        bus.ClearLog();
    }
    sim::I2cRegisterSlave& slave() { return chip->DefaultSlave(); }
    QString Text(int reg) { return Cell(grid, reg)->text(); }

    QTableWidget* grid = Control<QTableWidget>("StringGridMIIC");
    QLineEdit* address = Control<QLineEdit>("edtMI2CAddr");
};

TEST_F(I2cPage, EnteringThePageEnablesTheMasterAndReadFillsTheGridFromTheSlave) {
    EXPECT_EQ(chip->SelectedBank(), 14);
    EXPECT_EQ(chip->RegisterValue(14, 0x11), 0x04);

    auto* read = Control<QPushButton>("btnReadMI2C");
    read->click();
    for (int reg = 0; reg < 256; ++reg) ASSERT_EQ(Text(reg).toInt(nullptr, 16), reg ^ 0x5A);
    EXPECT_EQ(read->text(), "Read");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(I2cPage, WritesReachTheSlaveAndStepFromTheCellText) {
    Select(grid, 0x10);
    EXPECT_EQ(Text(0x10), "4A");
    EXPECT_EQ(Control<QLabel>("lblMI2CRegData")->text(), "= 0x4A");

    EnterInCell(grid, "A5");
    EXPECT_EQ(slave().Register(0x10), 0xA5);

    grid->currentItem()->setText("3C");  // edited without Enter
    Press(grid, Qt::Key_Insert);
    EXPECT_EQ(slave().Register(0x10), 0x3D);
    EXPECT_EQ(Text(0x10), "3D");

    grid->currentItem()->setText("FF");
    bus.ClearLog();
    Press(grid, Qt::Key_Insert);
    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(unit.slaveShadow[0x10], 0xFF);

    const std::uint64_t before = clock.NowMicros();
    ClickBox(Control<QCheckBox>("chkMI2CBit0"));  // the boxes still show 3D
    EXPECT_EQ(slave().Register(0x10), 0x3C);
    EXPECT_GE(clock.NowMicros() - before, 30'000u);
    EXPECT_EQ(Control<QLabel>("lblMI2CRegAddr")->text(), "Reg 0x10");
    EXPECT_EQ(Control<QLabel>("lblMI2CRegData")->text(), "= 0x3C");
}

// Each access the slave did not acknowledge says so, once; the cells keep what the shadow holds.
TEST_F(I2cPage, AnAbsentSlaveSaysSoAndLeavesTheShadowAndTheCell) {
    Select(grid, 0x05);
    ASSERT_EQ(Text(0x05), "5F");
    Enter(address, "30");
    EXPECT_EQ(unit.i2cSlaveAddress, 0x30);
    Select(grid, 0x06);
    EXPECT_EQ(Text(0x06), "00");  // never read
    Select(grid, 0x05);
    EXPECT_EQ(Text(0x05), "5F");

    EnterInCell(grid, "77");  // the read-back fails too: the value written stays
    EXPECT_EQ(Text(0x05), "77");
    EXPECT_EQ(slave().Register(0x05), 0x5F);
    Control<QPushButton>("btnReadMI2C")->click();
    const QString absent = QStringLiteral("The I2C slave at 0x30 did not acknowledge: ");
    EXPECT_EQ(dialogs.errors,
              (std::vector<QString>{absent + "register 0x06 was not read",
                                    absent + "register 0x05 was not read",
                                    absent + "register 0x05 was not written",
                                    absent + "256 of the registers were not read"}));
}

TEST_F(I2cPage, TheAddressEditTakesAByteAndRefusesOtherTexts) {
    Enter(address, "5");
    EXPECT_EQ(address->text(), "05");
    EXPECT_EQ(unit.i2cSlaveAddress, 0x05);
    Enter(address, "20");

    Enter(address, "0x21");
    Select(grid, 0x01);
    bus.ClearLog();
    EnterInCell(grid, "2 ");
    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(dialogs.errors, (std::vector<QString>{"'0x0x21' is not a valid integer value",
                                                    "'0x2 ' is not a valid integer value"}));
    EXPECT_EQ(unit.i2cSlaveAddress, 0x20);
    EXPECT_EQ(address->text(), "0x21");
}

}  // namespace
}  // namespace qv::test
