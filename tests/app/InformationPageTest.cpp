#include <QScrollBar>

#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

class InformationPage : public ServicePageTest {
  protected:
    void Update(std::uint8_t a4, std::uint8_t a6) {
        chip->SetStatusRegisters(a4, 0x00, a6);
        Control<QPushButton>("btnUpdateStatus")->click();
    }
    QLabel* Label(const char* name) { return Control<QLabel>(name); }
    bool FormatAndRateEnabled() {
        bool all = true, none = true;
        for (const char* name :
             {"lblCurrentFormat0", "lblCurrentFormat1", "lblCurrentFreq0", "lblCurrentFreq1"}) {
            all = all && Label(name)->isEnabled();
            none = none && !Label(name)->isEnabled();
        }
        EXPECT_TRUE(all || none);
        return all;
    }
};

TEST_F(InformationPage, UpdateShowsTheStatusTheChipReports) {
    Update(0xF4, 0x01);  // the high nibble of 0xA4 is not part of the rate
    EXPECT_EQ(Label("lblConnect")->text(), "USB connected");
    EXPECT_EQ(Label("lblMute")->text(), "Playing");
    EXPECT_EQ(Label("lblCurrentFormat1")->text(), "PCM");
    EXPECT_EQ(Label("lblCurrentFreq1")->text(), "176.4KHz");
    EXPECT_TRUE(FormatAndRateEnabled());
    EXPECT_EQ(unit.statusRegisters, (std::array<std::uint8_t, 3>{0xF4, 0x00, 0x01}));

    Update(0x09, 0x03);
    EXPECT_EQ(Label("lblCurrentFormat1")->text(), "DSD");
    EXPECT_EQ(Label("lblCurrentFreq1")->text(), " DSD 128");
    Update(0x01, 0x03);
    EXPECT_EQ(Label("lblCurrentFreq1")->text(), " DoP 128");
    Update(0x0C, 0x01);
    EXPECT_EQ(Label("lblCurrentFreq1")->text(), "        ");

    Update(0x04, 0x07);
    EXPECT_EQ(Label("lblMute")->text(), "Mute");
    EXPECT_FALSE(FormatAndRateEnabled());
    EXPECT_EQ(Label("lblCurrentFormat1")->text(), "PCM");  // captions kept

    Update(0x04, 0x06);
    EXPECT_EQ(Label("lblConnect")->text(), "USB Disconnected");
    EXPECT_EQ(Label("lblMute")->text(), "Mute");
    EXPECT_FALSE(Label("lblMute")->isEnabled());
    EXPECT_FALSE(FormatAndRateEnabled());
}

TEST_F(InformationPage, ADeviceThatCannotBeReadIsNotShownWithTheLastState) {
    Update(0x04, 0x01);
    bus.Detach(device);
    Control<QPushButton>("btnUpdateStatus")->click();
    EXPECT_EQ(Label("lblConnect")->text(), "USB Disconnected");
    EXPECT_FALSE(Label("lblMute")->isEnabled());
    EXPECT_EQ(unit.statusRegisters, (std::array<std::uint8_t, 3>{0x04, 0x00, 0x01}));
}

TEST_F(InformationPage, EachHidButtonSendsItsKey) {
    for (const char* name : {"btnHID0", "btnHID1", "btnHID2", "btnHID3", "btnHID4"}) {
        Control<QPushButton>(name)->click();
    }
    EXPECT_EQ(chip->HidKeys(), (std::vector<std::uint8_t>{0x40, 0x02, 0x10, 0x01, 0x20}));
    const std::vector<std::string> trace = RegisterTrace();
    const std::vector<std::string> last(trace.end() - 4, trace.end());
    EXPECT_EQ(last, (std::vector<std::string>{"W00=00", "W91=20", "W90=30", "R90"}));
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

class SpecialI2c : public ServicePageTest {
  protected:
    QLineEdit* Box(const char* prefix, int i) {
        return Control<QLineEdit>((prefix + std::to_string(i)).c_str());
    }
    void Lengths(int command, int data) {
        Control<QScrollBar>("srblen0")->setValue(command);
        Control<QScrollBar>("srblen1")->setValue(data);
    }
    sim::I2cRegisterSlave& slave() { return chip->DefaultSlave(); }
};

TEST_F(SpecialI2c, WriteAndReadReachTheSlaveEvenAfterTheStatusSelectedBankZero) {
    Control<QPushButton>("btnUpdateStatus")->click();
    Lengths(1, 3);
    Box("edtI2Ccmd", 0)->setText("10");
    Box("edtI2Cdat", 0)->setText("7");   // 0x70
    Box("edtI2Cdat", 1)->setText("ab");  // 0xAB
    Box("edtI2Cdat", 2)->setText("3");   // 0x30
    Control<QPushButton>("btnWriteSpecI2C")->click();
    EXPECT_EQ(slave().Register(0x10), 0x70);
    EXPECT_EQ(slave().Register(0x11), 0xAB);
    EXPECT_EQ(slave().Register(0x12), 0x30);

    Lengths(1, 2);
    for (int i = 0; i < 3; ++i) Box("edtI2Cdat", i)->setText("--");
    Control<QPushButton>("btnReadSpecI2C")->click();
    EXPECT_EQ(Box("edtI2Cdat", 0)->text(), "70");
    EXPECT_EQ(Box("edtI2Cdat", 1)->text(), "AB");
    EXPECT_EQ(Box("edtI2Cdat", 2)->text(), "--");

    // An absent slave: the boxes keep their texts.
    Enter(Control<QLineEdit>("edtMI2CAddr1"), "30");
    Box("edtI2Cdat", 0)->setText("--");
    Control<QPushButton>("btnReadSpecI2C")->click();
    EXPECT_EQ(Box("edtI2Cdat", 0)->text(), "--");
    EXPECT_EQ(dialogs.errors, (std::vector<QString>{"The I2C slave at 0x30 did not acknowledge: "
                                                    "nothing was read"}));
}

TEST_F(SpecialI2c, LengthsEnableTheBoxesAndTheAddressIsShared) {
    Lengths(3, 1);
    Box("edtI2Ccmd", 1)->setText("11");
    Lengths(1, 1);
    EXPECT_EQ(Control<QLabel>("lbllencmd")->text(), "1");
    EXPECT_FALSE(Box("edtI2Ccmd", 1)->isEnabled());
    EXPECT_FALSE(Box("edtI2Ccmd", 2)->isEnabled());
    Lengths(3, 4);
    EXPECT_TRUE(Box("edtI2Ccmd", 2)->isEnabled());
    EXPECT_EQ(Box("edtI2Ccmd", 1)->text(), "11");
    EXPECT_EQ(Control<QLabel>("lbllendat")->text(), "4");
    EXPECT_TRUE(Box("edtI2Cdat", 3)->isEnabled());
    EXPECT_FALSE(Box("edtI2Cdat", 4)->isEnabled());

    auto* edit = Control<QLineEdit>("edtMI2CAddr1");
    Enter(edit, "6");
    EXPECT_EQ(unit.i2cSlaveAddress, 0x06);
    EXPECT_EQ(Control<QLineEdit>("edtMI2CAddr")->text(), "06");
    EXPECT_EQ(edit->text(), "6");
    Enter(edit, "6x");
    EXPECT_EQ(dialogs.errors, (std::vector<QString>{"'0x6x' is not a valid integer value"}));
    EXPECT_EQ(unit.i2cSlaveAddress, 0x06);

    unit.usb.ClearPresence();
    bus.ClearLog();
    Control<QPushButton>("btnWriteSpecI2C")->click();
    Control<QPushButton>("btnReadSpecI2C")->click();
    EXPECT_TRUE(bus.Log().empty());
}

}  // namespace
}  // namespace qv::test
