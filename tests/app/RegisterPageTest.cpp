#include <QMetaObject>

#include "app/Colors.h"
#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

using Trace = std::vector<std::string>;

class RegisterPage : public ServicePageTest {
  protected:
    QTableWidget* grid = Control<QTableWidget>("RegStringGrid1");
    QPushButton* readBank = Control<QPushButton>("btnReadAll");
    QString Text(int reg) { return Cell(grid, reg)->text(); }
};

TEST_F(RegisterPage, ReadBankFillsEveryCellFromTheSelectedBankAndClosesTheLink) {
    chip->SetStatusRegisters(0x5A, 0x00, 0xC3);
    readBank->click();
    for (int reg = 0; reg < 256; ++reg) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", chip->RegisterValue(0, reg));
        ASSERT_EQ(Text(reg), expected) << "register " << reg;
    }
    EXPECT_EQ(Text(0xA4), "5A");
    EXPECT_EQ(Text(0xA6), "C3");
    EXPECT_EQ(RegisterTrace().size(), 256u);
    EXPECT_EQ(readBank->text(), "Read Bank");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
    EXPECT_EQ(Control<QLabel>("lblRegAddr")->text(), "Reg 0x00");  // labels untouched

    unit.usb.ClearPresence();
    bus.ClearLog();
    readBank->click();
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(RegisterPage, AClickDuringTheReadStopsItAfterTheCurrentRegister) {
    QMetaObject::invokeMethod(readBank, "click", Qt::QueuedConnection);
    readBank->click();
    EXPECT_EQ(RegisterTrace(), (Trace{"R00"}));
    EXPECT_EQ(readBank->text(), "Read Bank");
    EXPECT_EQ(readBank->property("Tag").toInt(), 0);
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(RegisterPage, SelectingACellReadsItAndHighlightsItsHeaders) {
    chip->SetStatusRegisters(0x00, 0x96, 0x00);
    Select(grid, 0xA5);
    EXPECT_EQ(RegisterTrace(), (Trace{"RA5"}));
    EXPECT_EQ(Text(0xA5), "96");
    EXPECT_EQ(Control<QLabel>("lblRegAddr")->text(), "Reg 0xA5");
    EXPECT_EQ(Control<QLabel>("lblRegData")->text(), "= 0x96");
    for (int bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(Control<QCheckBox>(("chkBit" + std::to_string(bit)).c_str())->isChecked(),
                  ((0x96 >> bit) & 1) != 0);
    }
    const QColor silver(192, 192, 192);
    for (int i = 1; i <= 16; ++i) {
        EXPECT_EQ(grid->item(i, 0)->background().color(), i == 11 ? silver : ButtonFaceColor());
        EXPECT_EQ(grid->item(0, i)->background().color(), i == 6 ? silver : ButtonFaceColor());
    }

    // Header cells are fixed: the cursor does not move onto them.
    Select(grid, 0xA0);
    bus.ClearLog();
    Press(grid, Qt::Key_Left);
    EXPECT_EQ(grid->currentColumn(), 1);
    EXPECT_TRUE(bus.Log().empty());
}

TEST_F(RegisterPage, KeysWriteReadBackAndStopAtTheByteLimits) {
    Select(grid, 0x40);
    bus.ClearLog();
    EnterInCell(grid, "0FF");
    EXPECT_EQ(RegisterTrace(), (Trace{"W40=FF", "R40"}));
    EXPECT_EQ(chip->RegisterValue(0, 0x40), 0xFF);
    EXPECT_EQ(Text(0x40), "FF");
    EXPECT_EQ(Control<QLabel>("lblRegData")->text(), "= 0xFF");  // what was written

    bus.ClearLog();
    Press(grid, Qt::Key_Insert);
    EXPECT_TRUE(bus.Log().empty());
    Press(grid, Qt::Key_Delete);
    EXPECT_EQ(RegisterTrace(), (Trace{"W40=FE", "R40"}));
    EXPECT_EQ(Text(0x40), "FE");

    EnterInCell(grid, "0");
    bus.ClearLog();
    Press(grid, Qt::Key_Delete);
    EXPECT_TRUE(bus.Log().empty());
    const std::uint64_t before = clock.NowMicros();
    Press(grid, Qt::Key_Insert);
    EXPECT_EQ(chip->RegisterValue(0, 0x40), 0x01);
    EXPECT_GE(clock.NowMicros() - before, 1000u);

    EnterInCell(grid, "ab");
    EXPECT_EQ(chip->RegisterValue(0, 0x40), 0xAB);
}

TEST_F(RegisterPage, ATextThatIsNotHexShowsTheErrorBoxAndSendsNothing) {
    Select(grid, 0x40);
    bus.ClearLog();
    for (const char* text : {"0x12", "G1", ""}) EnterInCell(grid, text);
    EXPECT_EQ(dialogs.errors, (std::vector<QString>{"'0x0x12' is not a valid integer value",
                                                    "'0xG1' is not a valid integer value",
                                                    "'0x' is not a valid integer value"}));
    EXPECT_TRUE(bus.Log().empty());
    EXPECT_EQ(unit.registerShadow[0x40], 0x00);
}

TEST_F(RegisterPage, EnterThatEndsACellEditWritesTheEditedValue) {
    form->ShowServicePages();
    Select(grid, 0x41);
    grid->editItem(grid->currentItem());
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("5A");
    bus.ClearLog();
    Press(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the editor closes
    EXPECT_EQ(RegisterTrace(), (Trace{"W41=5A", "R41"}));
}

TEST_F(RegisterPage, WritingRegisterZeroSwitchesTheBankTheNextReadShows) {
    chip->SetStatusRegisters(0x5A, 0x00, 0x00);
    readBank->click();
    ASSERT_EQ(Text(0xA4), "5A");
    // Before any selection the current cell is register 0x00, the bank select.
    EnterInCell(grid, "3");
    EXPECT_EQ(chip->SelectedBank(), 3);
    EXPECT_EQ(Text(0xA4), "5A");  // other cells keep their values until the next read
    readBank->click();
    EXPECT_EQ(Text(0x00), "03");
    EXPECT_EQ(Text(0xA4), "00");
}

TEST_F(RegisterPage, ABitBoxClickWritesTheBoxesValueAndShowsTheReadBack) {
    Select(grid, 0x41);
    bus.ClearLog();
    const std::uint64_t before = clock.NowMicros();
    ClickBox(Control<QCheckBox>("chkBit3"));
    EXPECT_EQ(RegisterTrace(), (Trace{"W41=08", "R41"}));
    EXPECT_GE(clock.NowMicros() - before, 3000u);
    EXPECT_EQ(chip->RegisterValue(0, 0x41), 0x08);
    EXPECT_EQ(Text(0x41), "08");
    EXPECT_EQ(Control<QLabel>("lblRegData")->text(), "= 0x08");
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace qv::test
