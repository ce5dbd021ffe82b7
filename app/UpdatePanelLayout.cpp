// The update panel's geometry for the fonts in use, and the window's outer size.

#include <QFontMetrics>
#include <QLabel>
#include <QMoveEvent>
#include <QShowEvent>
#include <QStringList>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "app/TForm1.h"
#include "app/UpdatePanelFonts.h"
#include "ui_TForm1.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {
// The design geometry, in pixels at 96 per inch.
constexpr double kDesignDpi = 96;
constexpr int kInset = 5;      // labels inside the presence panel
constexpr int kLabelGap = 2;   // between the two labels of the presence panel
constexpr int kStatusGap = 4;  // between the presence panel and the status label
constexpr int kPresenceWidth = 440;
constexpr int kDetectHeight = 24;
constexpr int kFileStatusHeight = 22;
constexpr int kStatusLeft = 20;
constexpr int kStatusWidth = 560;
constexpr int kStatusHeight = 40;
constexpr int kStartWidth = 110;
constexpr int kButtonPadding = 24;

// The height a label in `font` (at `pointSize`, when given) needs for `lines` lines of text.
int LinesHeight(QFont font, int lines, int pointSize = 0) {
    if (pointSize > 0) font.setPointSize(pointSize);
    QLabel probe;
    probe.setFont(font);
    probe.setText(QStringList(lines, QStringLiteral("X")).join(QLatin1Char('\n')));
    return probe.sizeHint().height();
}
}  // namespace

// Positions are the design's; heights follow the fonts (the file status and the status text
// have two lines or more), so that on a screen with larger fonts nothing is cut off. The large
// layout's extra width goes to the presence panel and the status text.
void TForm1::FitUpdatePanelToFonts(int dpi, int extra) {
    Ui::UpdatePanel& panel = *panel_;
    const int presenceWidth = kPresenceWidth + extra;
    const int labelWidth = presenceWidth - 2 * kInset;
    const int detectHeight = std::max(kDetectHeight, LinesHeight(panel.lblDetectDevice->font(), 1));
    // Room for as much text as two lines hold at 96 dpi (a refusal's reason needs it).
    const int fileLines = static_cast<int>(
        std::ceil(2.0 * dpi / kDesignDpi * (kPresenceWidth - 2 * kInset) / labelWidth));
    const int fileHeight =
        std::max(kFileStatusHeight, LinesHeight(panel.lblUpdaeFileStatus->font(), fileLines));
    panel.lblDetectDevice->setGeometry(kInset, kInset, labelWidth, detectHeight);
    panel.lblUpdaeFileStatus->setGeometry(kInset, kInset + detectHeight + kLabelGap, labelWidth,
                                          fileHeight);
    panel.lblUpdaeFileStatus->setWordWrap(true);
    panel.pnlUSBExist->resize(presenceWidth, 2 * kInset + detectHeight + kLabelGap + fileHeight);

    QPushButton* start = panel.btnSimpleAuto;
    const QFontMetrics buttonFont(start->font());
    const int captionWidth = std::max({buttonFont.horizontalAdvance(QStringLiteral("Start")),
                                       buttonFont.horizontalAdvance(QStringLiteral("Stop")),
                                       buttonFont.horizontalAdvance(QStringLiteral("Finish"))});
    start->resize(std::max(kStartWidth, captionWidth + kButtonPadding),
                  panel.pnlUSBExist->height());
    start->move(start->x(), panel.pnlUSBExist->y());

    QLabel* status = panel.lblISPProcStatus;
    const int statusHeight =
        std::max({kStatusHeight, LinesHeight(status->font(), 1, kOutcomePointSize),
                  LinesHeight(status->font(), 2, kStepPointSize)});
    status->setGeometry(kStatusLeft, panel.pnlUSBExist->geometry().bottom() + 1 + kStatusGap,
                        kStatusWidth + extra, statusHeight);
    status->setWordWrap(true);
    const int needed = status->geometry().bottom() + 1;
    if (needed > form_->pnlUSB->height()) form_->pnlUSB->setFixedHeight(needed);
}

void TForm1::SetFrameSize(QSize outer) {
    frameSize_ = outer;
    fittedMargins_ = FrameMargins();
    resize(outer.shrunkBy(fittedMargins_));
}

QMargins TForm1::FrameMargins() const {
    const QWindow* handle = windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

// The window manager adds its frame after the window is shown; the client area then shrinks
// so that the frame keeps the size asked for.
void TForm1::FitFrameToMargins() {
    const QMargins margins = FrameMargins();
    if (margins == fittedMargins_) return;
    fittedMargins_ = margins;
    resize(frameSize_.shrunkBy(margins));
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitFrameToMargins();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FitFrameToMargins();
}

}  // namespace qv
