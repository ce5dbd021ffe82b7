// Window start-up and close.

#include <QGuiApplication>

#include "app/FittedText.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "ui_TForm1.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {
constexpr int kLargeFontsDpi = 120;
constexpr int kLargeFontsExtra = 140;
constexpr int kPageControlHeight = 100;
constexpr QSize kWindowSize{606, 200};
constexpr QPoint kPresencePanelPos{20, 8};
constexpr int kUpdatePanelHeight = 120;
}  // namespace

// The large-fonts rule reads Qt's own pixels per inch. With Qt's high-DPI scaling on
// (its default), Qt reports 96 on every screen and scales the whole window itself: a 120-dpi
// screen shows the normal layout 1.25 times larger. With scaling off, Qt reports the screen's
// value and the fonts grow with it: from 120 on, the large layout gives them room.
// On Windows the rule follows the screen's own setting, as Windows reports it, whether Qt scales
// or not: Qt's scaling splits it into a logical 96 and a device pixel ratio.
int TForm1::LargeFontsDpi() const {
    if (QGuiApplication::platformName() != QLatin1String("windows")) return logicalDpiX();
    return qRound(logicalDpiX() * devicePixelRatioF());
}

void TForm1::FormCreate() {
    const int dpi = options_.logicalDpi.value_or(LargeFontsDpi());
    const int extra = dpi >= kLargeFontsDpi ? kLargeFontsExtra : 0;

    setWindowTitle(unit_.windowTitle);

    unit_.selectedVid = QStringLiteral("a7d6");
    unit_.selectedPid = QStringLiteral("f800");

    QTabWidget* pages = form_->MainPageControl;
    pages->setCurrentIndex(0);

    unit_.detectEnabled = false;
    unit_.autoSequenceRunning = false;

    Ui::UpdatePanel& panel = *panel_;
    panel.lbledtVID->setText(unit_.selectedVid);
    panel.lbledtPID->setText(unit_.selectedPid);
    panel.chkDetectUSB->setChecked(true);  // runs chkDetectUSBClick: detection on

    panel.lbledtVID->setText(QStringLiteral("a7d6"));
    panel.lbledtPID->setText(QStringLiteral("f800"));

    for (const Page& page : pages_) {
        if (page.tab == StartUpTab::kHidden)
            pages->setTabVisible(pages->indexOf(page.sheet), false);
    }
    pages->hide();

    pages->setFixedHeight(kPageControlHeight + extra);
    SetFrameSize({kWindowSize.width() + extra, kWindowSize.height() + extra});

    for (QWidget* control : HiddenAtStartUp()) control->hide();

    panel.pnlUSBExist->move(kPresencePanelPos);
    form_->pnlUSB->setFixedHeight(kUpdatePanelHeight);
    FitUpdatePanelToFonts(dpi, extra);

    ShowFitted(panel.lblISPProcStatus, QString());

    for (const Page& page : pages_) page.sheet->FormCreate();
}

void TForm1::FormClose() {
    if (unit_.usb.IsPresent()) unit_.usb.Close();
}

}  // namespace qv
