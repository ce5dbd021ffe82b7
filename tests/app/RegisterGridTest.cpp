// What the Register page and the I2C Access page share: each case runs on both grids.

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>

#include "chip/Registers.h"
#include "tests/app/ServicePageFixture.h"

namespace qv::test {
namespace {

struct GridPage {
    const char* name;
    const char* page;
    const char* grid;
    const char* readButton;
    const char* bitPrefix;
    bool slave;  // the I2C slave's registers rather than the chip's bank
};

constexpr std::uint8_t kReg = 0x41;

class RegisterGrids : public ServicePageTest, public ::testing::WithParamInterface<GridPage> {
  protected:
    RegisterGrids() {
        form->ShowServicePages();
        Control<QTabWidget>("MainPageControl")->setCurrentWidget(Control<QWidget>(GetParam().page));
        bus.ClearLog();
    }

    std::uint8_t DeviceValue(std::uint8_t reg) {
        if (GetParam().slave) return chip->DefaultSlave().Register(reg);
        return chip->RegisterValue(chip->SelectedBank(), reg);
    }
    // Changes the register behind the page's back.
    void SetDeviceValue(std::uint8_t reg, std::uint8_t value) {
        if (GetParam().slave) {
            chip->DefaultSlave().SetRegister(reg, value);
            return;
        }
        unit.usb.Open();
        RegWrite(unit.usb, reg, value);
        unit.usb.Close();
    }
    QCheckBox* Bit(int i) {
        return Control<QCheckBox>((GetParam().bitPrefix + std::to_string(i)).c_str());
    }
    int BitsValue() {
        int value = 0;
        for (int i = 0; i < 8; ++i) value |= Bit(i)->isChecked() ? 1 << i : 0;
        return value;
    }

    QTableWidget* grid = Control<QTableWidget>(GetParam().grid);
    QPushButton* read = Control<QPushButton>(GetParam().readButton);
};

// The bit boxes keep showing the selected register through a full read, so the next click
// writes that register's bits changed by one.
TEST_P(RegisterGrids, AFullReadLeavesTheBitBoxesToTheSelectedRegister) {
    SetDeviceValue(kReg, 0x2C);
    Select(grid, kReg);
    read->click();
    EXPECT_EQ(BitsValue(), 0x2C);
    ClickBox(Bit(0));
    EXPECT_EQ(DeviceValue(kReg), 0x2D);
}

TEST_P(RegisterGrids, AnyMouseButtonReleasedOverABitBoxWritesTheBoxes) {
    SetDeviceValue(kReg, 0x2C);
    Select(grid, kReg);
    struct Case {
        Qt::MouseButton button;
        std::uint8_t written;  // only the left button changes the box
    };
    for (const Case& c :
         {Case{Qt::RightButton, 0x2C}, Case{Qt::MiddleButton, 0x2C}, Case{Qt::LeftButton, 0x2D}}) {
        SetDeviceValue(kReg, 0x55);
        ClickBox(Bit(0), c.button);
        EXPECT_EQ(DeviceValue(kReg), c.written) << "button " << c.button;
    }
}

TEST_P(RegisterGrids, InsertAndDeleteInAnOpenCellEditorStepFromTheTypedValue) {
    SetDeviceValue(kReg, 0x3C);
    Select(grid, kReg);
    struct Case {
        Qt::Key key;
        std::uint8_t written;
    };
    for (const Case& c : {Case{Qt::Key_Insert, 0x08}, Case{Qt::Key_Delete, 0x06}}) {
        grid->editItem(grid->currentItem());
        QPointer<QLineEdit> editor = grid->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, "7");
        QTest::keyClick(editor, c.key);
        EXPECT_EQ(DeviceValue(kReg), c.written) << "key " << c.key;
        EXPECT_EQ(Cell(grid, kReg)->text().toInt(nullptr, 16), c.written);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(editor.isNull()) << "the editor stays open";
    }
}

// Another handler run from the read's message pump closes the link (and here selects bank 0):
// the read then reaches the device no more, rather than going on in that bank.
TEST_P(RegisterGrids, AReadInterruptedByAnotherHandlerSendsNothingAfterIt) {
    int passes = 0;
    std::size_t handlerDone = 0;
    AtPump([&] { return ++passes == 10; },
           [&] {
               Control<QPushButton>("btnReadPara")->click();
               handlerDone = bus.Log().size();
           });
    read->click();
    ASSERT_GT(handlerDone, 0u);
    for (std::size_t i = handlerDone; i < bus.Log().size(); ++i) {
        ASSERT_FALSE(bus.Log()[i].ok) << "request " << i << " reached the device";
    }
    EXPECT_EQ(read->text(), QString::fromLatin1(GetParam().slave ? "Read" : "Read Bank"));
    EXPECT_EQ(bus.OpenHandleCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, RegisterGrids,
                         ::testing::Values(GridPage{"Register", "TabSheet1", "RegStringGrid1",
                                                    "btnReadAll", "chkBit", false},
                                           GridPage{"I2cAccess", "PageMI2CCtrl", "StringGridMIIC",
                                                    "btnReadMI2C", "chkMI2CBit", true}),
                         [](const ::testing::TestParamInfo<GridPage>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace qv::test
