// The window at the screen's pixels per inch. CTest runs this on offscreen screens of 96, 119,
// 120 and 144 dpi, with Qt's high-DPI scaling on and off; QV_SCREEN_DPI names the screen's
// dpi (96 when unset, the plain offscreen screen).

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

#include "app/FittedText.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

class WindowAtScreenDpi : public ::testing::Test {
  protected:
    WindowAtScreenDpi() {
        form = std::make_unique<TForm1>(unit, dialogs);  // the screen's own pixels per inch
        form->Timer1->stop();
        form->show();
        QCoreApplication::processEvents();
    }

    template <class T>
    T* Control(const char* name) {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return control;
    }
    // The label shows `text` in `pointSize` as the handlers show it; true when none of it is
    // cut off and the label lies inside the update panel.
    bool ShowsWhole(const char* name, const QString& text, int pointSize = 0) {
        auto* label = Control<QLabel>(name);
        if (pointSize > 0) {
            QFont font = label->font();
            font.setPointSize(pointSize);
            label->setFont(font);
        }
        ShowFitted(label, text);
        return label->text() == text && TextFits(label) && InsidePanel(label);
    }
    bool InsidePanel(const QWidget* control) {
        const QWidget* panel = Control<QWidget>("pnlUSB");
        const QRect area(control->mapTo(panel, QPoint(0, 0)), control->size());
        return panel->rect().contains(area);
    }

    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    UnitState unit{bus};
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

TEST_F(WindowAtScreenDpi, TheFrameHasTheDesignSizeAndNoPanelTextIsCut) {
    const int screenDpi = qEnvironmentVariableIsSet("QV_SCREEN_DPI")
                              ? qEnvironmentVariableIntValue("QV_SCREEN_DPI")
                              : 96;
    const bool scaling = qEnvironmentVariable("QT_ENABLE_HIGHDPI_SCALING") != "0";
    // With scaling Qt reports 96 and draws everything larger by the screen's ratio.
    ASSERT_EQ(form->logicalDpiX(), scaling ? 96 : screenDpi);
    EXPECT_NEAR(form->devicePixelRatioF(), scaling ? screenDpi / 96.0 : 1.0, 0.01);
    const QSize outer = form->logicalDpiX() >= 120 ? QSize(746, 340) : QSize(606, 200);
    EXPECT_EQ(form->frameGeometry().size(), outer);
    const QWidget* panel = Control<QWidget>("pnlUSB");
    EXPECT_LE(panel->geometry().bottom(), form->centralWidget()->height() - 1);

    // The longest texts of each label, the refusal through its handler.
    ScopedWorkDir dir;
    WriteFile(dir.File("Tesmora_DAC7LX_v11.hex"),
              HexRecord(0, {1, 2}) + HexRecord(2, {3, 4}) + ":02000400zz12E8\n");
    unit.catalogIndex = 2;
    form->ReadProgramFile1();
    auto* fileStatus = Control<QLabel>("lblUpdaeFileStatus");
    EXPECT_EQ(fileStatus->text(),
              "Cannot use Tesmora_DAC7LX_v11.hex line 3: record holds a character that is not a "
              "hexadecimal digit");
    EXPECT_TRUE(TextFits(fileStatus) && InsidePanel(fileStatus));

    EXPECT_TRUE(
        ShowsWhole("lblUpdaeFileStatus", "Update Hex file   Tesmora_DAC7LX_v11.hex    is Ready!"));
    EXPECT_TRUE(ShowsWhole("lblDetectDevice", "Firmware update device A7D6 is exist"));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus", "Firmware update success!", 16));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus", "Abort Firmware update process", 16));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus",
                           "Firmware update did not complete: Verifying Fail at 0x1FFFF0", 12));
    auto* start = Control<QPushButton>("btnSimpleAuto");
    start->setText(QStringLiteral("Finish"));
    EXPECT_LE(start->sizeHint().width(), start->width());
    EXPECT_TRUE(InsidePanel(start));
}

}  // namespace
}  // namespace qv::test
