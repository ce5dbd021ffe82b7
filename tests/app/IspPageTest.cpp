#include <QAbstractButton>
#include <QFile>
#include <QLineEdit>
#include <QtTest/QTest>

#include "tests/app/FlashFormFixture.h"

namespace qv::test {
namespace {

class IspPage : public FlashFormTest {
  protected:
    void SetUp() override { AttachProduct(); }
    void TypeWriteStatus(const QString& text) {
        auto* edit = Control<QLineEdit>("lbledtUSBWriteStatus");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

TEST_F(IspPage, EnterIspTwiceEntersThenLeavesAndTheCaptionNamesTheNextAction) {
    Click("btnEnterISP");
    EXPECT_TRUE(chip->IspModeOn());
    EXPECT_TRUE(chip->FlashPortRouted());
    EXPECT_EQ(Caption("btnEnterISP"), "Exit ISP");

    Click("btnEnterISP");
    EXPECT_FALSE(chip->IspModeOn());
    EXPECT_EQ(Caption("btnEnterISP"), "Enter ISP");

    std::vector<std::uint8_t> ispRequests;
    for (const Sent& s : Requests()) {
        if (s.request == kRequestIspEnter || s.request == kRequestIspLeave) {
            ispRequests.push_back(s.request);
        }
    }
    EXPECT_EQ(ispRequests, (std::vector<std::uint8_t>{kRequestIspEnter, kRequestIspLeave}));
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

TEST_F(IspPage, WriteStatusSendsTheTypedByteAndRefusesOtherTexts) {
    Click("btnEnterISP");
    Click("btnUSBWriteEnable");
    bus.ClearLog();
    for (const char* bad : {"zz", "0x1C", "31c"}) TypeWriteStatus(QString::fromLatin1(bad));
    EXPECT_EQ(dialogs.errors,
              (std::vector<QString>{"'0xzz' is not a valid integer value",
                                    "'0x0x1C' is not a valid integer value",
                                    "'31c' does not fit in one byte: type 00 to FF"}));
    EXPECT_TRUE(bus.Log().empty());

    TypeWriteStatus("1c");
    ASSERT_EQ(InstructionCount(kFlashOpWriteStatus), 1u);
    clock.SleepMicros(50'000);
    Click("btnUSBReadStatus");
    EXPECT_EQ(Text("lblUSBStatus"), "0x1C");
}

TEST_F(IspPage, ReadFlashWritesTheDumpOrSaysWhyNot) {
    std::vector<std::uint8_t> content(0x8000);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 31);
    chip->Flash().Preload(0, content);
    Click("btnEnterISP");
    ScopedWorkDir dir;
    const QString path = dir.File("dump.bin");
    dialogs.fileAnswers = {path, std::nullopt, dir.File("no/such/folder/dump.bin")};

    Click("btnReadBack");
    EXPECT_EQ(Text("lblUSBProcessInfo"), "Read Flash content Success");
    EXPECT_EQ(dialogs.fileFilters.at(0), "Flash Dump (text)|*.txt / *.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray dump = file.readAll();
    const QList<QByteArray> rows = dump.split('\r');
    ASSERT_EQ(rows.size(), 2049);  // 2048 rows, each ended by a lone carriage return
    EXPECT_TRUE(rows.last().isEmpty());
    EXPECT_FALSE(dump.contains('\n'));
    for (int row = 0; row < 2048; ++row) {
        QByteArray expected;
        for (int k = 0; k < 16; ++k) {
            expected +=
                QByteArray("0x") +
                QByteArray::number(content[row * 16 + k], 16).rightJustified(2, '0').toUpper() +
                ", ";
        }
        ASSERT_EQ(rows[row], expected) << "row " << row;
    }

    // Cancelled: no file, and the read's success stays. (Windows deletes no file that is open.)
    file.close();
    QFile::remove(path);
    Click("btnReadBack");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(Text("lblUSBProcessInfo"), "Read Flash content Success");

    // A file that cannot be written says so, in the label and in a box.
    Click("btnReadBack");
    EXPECT_TRUE(Text("lblUSBProcessInfo").startsWith("Cannot write "));
    ASSERT_EQ(dialogs.errors.size(), 1u);
    const QLabel* info = Control<QLabel>("lblUSBProcessInfo");  // shortened, whole in its tooltip
    EXPECT_EQ(dialogs.errors[0], info->toolTip().isEmpty() ? info->text() : info->toolTip());
}

// A refused "Assign Range" must not leave "All" behind for the operations: Erase would then
// erase the whole chip. Each operation tries the edits again and sends nothing.
TEST_F(IspPage, OperationsAfterARefusedAssignedRangeSendNothing) {
    const std::vector<std::uint8_t> firmware(0x2000, 0x5A);
    chip->Flash().Preload(0, firmware);
    struct Case {
        const char* start;
        const char* size;
    };
    for (const Case& c : {Case{"zz", "64"}, Case{"64", "-"}, Case{"16380", "8"}}) {
        SCOPED_TRACE(c.start + std::string(" / ") + c.size);
        Control<QAbstractButton>("rbnRange0")->click();
        Control<QLineEdit>("lbledISPStart")->setText(QString::fromLatin1(c.start));
        Control<QLineEdit>("lbledISPRange")->setText(QString::fromLatin1(c.size));
        dialogs.errors.clear();
        Click("rbnRange1");
        ASSERT_EQ(dialogs.errors.size(), 1u);
        bus.ClearLog();
        for (const char* operation :
             {"btnUSBErase", "btnUSBBlank", "btnUSBProgram", "btnUSBVerify"})
            Click(operation);
        EXPECT_EQ(dialogs.errors.size(), 5u);
        EXPECT_TRUE(bus.Log().empty());
    }
    EXPECT_EQ(FlashBytes(0, 0x2000), firmware);

    // Edits that are now valid are taken at the next operation: only their sector is erased.
    Control<QLineEdit>("lbledISPStart")->setText("4");
    Control<QLineEdit>("lbledISPRange")->setText("4");
    Click("btnEnterISP");
    Click("btnUSBErase");
    EXPECT_EQ(FlashBytes(0, 0x1000), std::vector<std::uint8_t>(0x1000, 0x5A));
    EXPECT_EQ(FlashBytes(0x1000, 0x1000), std::vector<std::uint8_t>(0x1000, 0xFF));
}

// The range edits take effect when a range button is clicked, also the one already checked.
TEST_F(IspPage, ClickingAssignRangeAgainTakesTheTypedRange) {
    chip->Flash().Preload(0, std::vector<std::uint8_t>(0x10000, 0x5A));
    auto* start = Control<QLineEdit>("lbledISPStart");
    auto* size = Control<QLineEdit>("lbledISPRange");
    start->setText("4");
    size->setText("4");
    Click("rbnRange1");
    start->setText("32");
    size->setText("8");
    Click("rbnRange1");  // already checked
    Click("btnUSBErase");

    EXPECT_EQ(FlashBytes(0, 0x8000), std::vector<std::uint8_t>(0x8000, 0x5A));
    EXPECT_EQ(FlashBytes(0x8000, 0x2000), std::vector<std::uint8_t>(0x2000, 0xFF));
    EXPECT_EQ(FlashBytes(0xA000, 0x6000), std::vector<std::uint8_t>(0x6000, 0x5A));
}

class SmallPageFlash : public FlashFormTest {
  protected:
    SmallPageFlash() : FlashFormTest(sim::FlashPreset::kSmallPage1MiB) {}
};

TEST_F(SmallPageFlash, ChipIdShowsEachByteWithACommaAndTwoBlanks) {
    AttachProduct();
    Click("btnEnterISP");
    Click("btnUSBChipID");
    EXPECT_EQ(Text("lblUSBChipID"), "0xC2,  0x22,  0x14,  ");
}

}  // namespace
}  // namespace qv::test
