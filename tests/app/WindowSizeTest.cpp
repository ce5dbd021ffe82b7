// The window at the screen's pixels per inch. CTest runs this on offscreen screens of 96, 119,
// 120 and 144 dpi, with Qt's high-DPI scaling on and off; QV_SCREEN_DPI names the screen's
// dpi (96 when unset, the plain offscreen screen).

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTableWidget>
#include <string>
#include <vector>

#include "app/FittedText.h"
#include "tests/app/FormFixture.h"

namespace qv::test {
namespace {

// The width a caption needs, its mnemonic marks left out.
int Advance(const QWidget* control, QString text) {
    return control->fontMetrics().horizontalAdvance(text.remove(QLatin1Char('&')));
}

// Where a button draws its caption, or its check mark.
QRect ButtonArea(const QAbstractButton* button, bool mark) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QStyle::SubElement area = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button) != nullptr) {
        area = mark ? QStyle::SE_CheckBoxIndicator : QStyle::SE_CheckBoxContents;
    }
    if (qobject_cast<const QRadioButton*>(button) != nullptr) {
        area = mark ? QStyle::SE_RadioButtonIndicator : QStyle::SE_RadioButtonContents;
    }
    return button->style()->subElementRect(area, &option, button);
}

bool ButtonWhole(const QAbstractButton* button) {
    if (qobject_cast<const QPushButton*>(button) == nullptr &&
        !button->rect().contains(ButtonArea(button, true))) {
        return false;
    }
    if (button->text().isEmpty()) return true;
    const QRect caption = ButtonArea(button, false);
    return Advance(button, button->text()) <= caption.width() &&
           button->fontMetrics().height() <= caption.height();
}

bool GridCellsWhole(const QTableWidget* grid) {
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
    for (int row = 0; row < grid->rowCount(); ++row) {
        for (int column = 0; column < grid->columnCount(); ++column) {
            const QTableWidgetItem* item = grid->item(row, column);
            if (item == nullptr || item->text().isEmpty()) continue;
            if (Advance(grid, item->text()) + margin > grid->columnWidth(column) ||
                grid->fontMetrics().height() > grid->rowHeight(row)) {
                return false;
            }
        }
    }
    const int frame = 2 * grid->frameWidth();
    return grid->horizontalHeader()->length() + frame <= grid->width() &&
           grid->verticalHeader()->length() + frame <= grid->height();
}

// Whether the control shows its whole text: a caption, a group box title, an edit's text or
// the cells of a grid.
bool TextWhole(const QWidget* control) {
    const int textHeight = control->fontMetrics().height();
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text().isEmpty() || TextFits(label);
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return ButtonWhole(button);
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(control)) {
        return Advance(box, box->title()) + textHeight <= box->width();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return Advance(edit, edit->text()) + textHeight / 2 <= edit->width() &&
               textHeight <= edit->height();
    }
    if (const auto* grid = qobject_cast<const QTableWidget*>(control)) {
        return GridCellsWhole(grid);
    }
    return true;
}

// The visible controls inside `root` that cut off their text, reach outside their parent or
// overlap a sibling, each with what is wrong.
std::vector<std::string> CrampedControls(const QWidget* root) {
    std::vector<const QWidget*> controls;
    for (const QWidget* control : root->findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
        if (!control->isVisibleTo(root) || !control->parentWidget()->isVisibleTo(root)) continue;
        if (qobject_cast<const QAbstractScrollArea*>(control->parentWidget()) != nullptr) continue;
        controls.push_back(control);
    }
    std::vector<std::string> problems;
    for (const QWidget* control : controls) {
        const std::string name = control->objectName().toStdString();
        const QWidget* parent = control->parentWidget();
        if (!TextWhole(control)) problems.push_back(name + " cuts its text");
        if (!parent->rect().contains(control->geometry())) {
            problems.push_back(name + " reaches outside " + parent->objectName().toStdString());
        }
        for (const QWidget* other : controls) {
            if (other < control && other->parentWidget() == parent &&
                other->geometry().intersects(control->geometry())) {
                problems.push_back(name + " overlaps " + other->objectName().toStdString());
            }
        }
    }
    return problems;
}

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
    auto* refusal = Control<QLabel>("lblISPProcStatus");
    EXPECT_EQ(refusal->text(),
              "Cannot use Tesmora_DAC7LX_v11.hex line 3: record holds a character that is not a "
              "hexadecimal digit");
    EXPECT_TRUE(TextFits(refusal) && InsidePanel(refusal));

    EXPECT_TRUE(
        ShowsWhole("lblUpdaeFileStatus", "Update Hex file   Tesmora_DAC7LX_v11.hex    is Ready!"));
    EXPECT_TRUE(ShowsWhole("lblDetectDevice", "Firmware update device A7D6 is exist"));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus", "Firmware update success!", 16));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus", "Abort Firmware update process", 16));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus",
                           "Update failed: Verifying Fail at 0x1FFFF0. No working firmware is "
                           "left: press Start to retry.",
                           12));
    EXPECT_TRUE(ShowsWhole("lblISPProcStatus",
                           "Update failed: the device was disconnected. No working firmware "
                           "is left: plug it in and press Start.",
                           12));
    auto* start = Control<QPushButton>("btnSimpleAuto");
    start->setText(QStringLiteral("Finish"));
    EXPECT_LE(start->sizeHint().width(), start->width());
    EXPECT_TRUE(InsidePanel(start));
}

// The service pages and the panel's own controls, on every page, in a window that holds them.
TEST_F(WindowAtScreenDpi, EveryServicePageShowsItsTextsWhole) {
    form->ShowServicePages();
    QCoreApplication::processEvents();
    const QWidget* central = form->centralWidget();
    auto* pages = Control<QTabWidget>("MainPageControl");
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QCoreApplication::processEvents();
        EXPECT_EQ(CrampedControls(pages->widget(i)), std::vector<std::string>{})
            << pages->tabText(i).toStdString();
    }
    EXPECT_EQ(CrampedControls(Control<QWidget>("pnlUSB")), std::vector<std::string>{});
    EXPECT_LE(Control<QWidget>("pnlUSB")->geometry().bottom(), central->height() - 1);
    const QSize screen = form->screen()->availableGeometry().size();
    EXPECT_LE(form->frameGeometry().width(), screen.width());
    EXPECT_LE(form->frameGeometry().height(), screen.height());
}

}  // namespace
}  // namespace qv::test
