// The maintenance pages: showing them (--service) at the screen's scale, and what long device
// work disables on them.

#include <QTabWidget>
#include <QTimer>

#include "app/DesignScale.h"
#include "app/DeviceWorkScope.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "ui_TForm1.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {
constexpr QSize kServiceWindowSize{780, 660};
constexpr int kPanelBottomMargin = 8;
}  // namespace

void TForm1::ShowServicePages() {
    const double scale = DesignScale(logicalDpiX());
    QTabWidget* pages = form_->MainPageControl;
    for (const Page& page : pages_) {
        pages->setTabVisible(pages->indexOf(page.sheet), true);
        ScaleControlsInside(page.sheet, scale);
    }
    pages->setMinimumHeight(0);
    pages->setMaximumHeight(QWIDGETSIZE_MAX);
    pages->setCurrentIndex(0);
    pages->show();
    for (QWidget* control : HiddenAtStartUp()) control->show();

    // Detection's own controls are back at the left of the panel: the presence panel returns
    // beside them and the status text goes under it.
    Ui::UpdatePanel& panel = *panel_;
    for (QWidget* control : DetectionControls()) ScaleControl(control, scale);
    panel.pnlUSBExist->move(Scaled(pnlUSBExistDesignPos_, scale));
    panel.lblISPProcStatus->move(panel.pnlUSBExist->x(), panel.lblISPProcStatus->y());
    int bottom = 0;
    for (const QWidget* control :
         form_->pnlUSB->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        bottom = std::max(bottom, control->geometry().bottom() + 1);
    }
    form_->pnlUSB->setFixedHeight(bottom + kPanelBottomMargin);
    SetFrameSize(Scaled(kServiceWindowSize, scale));
}

// Everything that could start other device work or change the image, the range or the link
// while long device work lets messages run.
std::vector<QWidget*> TForm1::DeviceWorkControls(const QWidget* keep) const {
    std::vector<QWidget*> controls{panel_->btnSimpleAuto, panel_->chkDetectUSB};
    for (const Page& page : pages_) {
        const std::vector<QWidget*> busy = page.sheet->BusyControls();
        if (busy.empty()) {
            controls.push_back(page.sheet);
        } else {
            controls.insert(controls.end(), busy.begin(), busy.end());
        }
    }
    std::erase(controls, keep);
    return controls;
}

// A close asked for while the work ran happens once the work has ended, after the handler
// that ran it has finished.
DeviceWorkScope TForm1::BeginDeviceWork(const QWidget* keep) {
    return DeviceWorkScope(unit_.autoSequenceRunning, DeviceWorkControls(keep), [this] {
        if (closeAsked_) QTimer::singleShot(0, this, &QWidget::close);
    });
}

}  // namespace qv
