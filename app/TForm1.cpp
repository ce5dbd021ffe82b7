#include "app/TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/IspPage.h"
#include "app/UnitState.h"
#include "ui_TForm1.h"
#include "ui_UpdatePanel.h"

namespace qv {

namespace {
constexpr int kDefaultTimerInterval = 1000;
constexpr int kStartButtonRightMargin = 20;
}  // namespace

TForm1::TForm1(UnitState& unit, Dialogs& dialogs, const FormOptions& options, QWidget* parent)
    : QMainWindow(parent),
      unit_(unit),
      dialogs_(dialogs),
      options_(options),
      form_(std::make_unique<Ui::TForm1>()),
      panel_(std::make_unique<Ui::UpdatePanel>()) {
    form_->setupUi(this);
    panel_->setupUi(form_->pnlUSB);
    BuildPages();
    pnlUSBExistDesignPos_ = panel_->pnlUSBExist->pos();
    form_->pnlUSB->installEventFilter(this);
    // Enter presses the focused button, as Space does.
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kDefaultTimerInterval);

    ConnectUpdatePanel();
    ConnectUpdateSequences();

    FormCreate();
    Timer1->start();
}

TForm1::~TForm1() = default;

// Each page is built, with its form and wiring, once the update panel is: the keyboard visits
// the panel's controls first.
void TForm1::BuildPages() {
    QTabWidget* tabs = form_->MainPageControl;
    const PageContext context{unit_, dialogs_, *this, *tabs};
    for (const PageRow& row : PageTable()) {
        ServicePage* page = row.build(context);
        tabs->addTab(page, QString::fromLatin1(row.title));
        pages_.push_back({page, row.tab});
    }
    isp_ = findChild<IspPage*>();
}

void TForm1::PumpMessages() {
    QCoreApplication::processEvents();
}

// Closing would pull the link from under flash work and leave the flash half written: running
// work is asked to stop as its "Stop" would, and the window closes once it has ended.
void TForm1::closeEvent(QCloseEvent* event) {
    if (unit_.autoSequenceRunning) {
        event->ignore();
        closeAsked_ = closeAsked_ || StopDeviceWork();
        return;
    }
    FormClose();
    QMainWindow::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_->pnlUSB && event->type() == QEvent::Resize) {
        KeepStartButtonRightAligned();
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::KeepStartButtonRightAligned() {
    QPushButton* start = panel_->btnSimpleAuto;
    start->move(form_->pnlUSB->width() - start->width() - kStartButtonRightMargin, start->y());
}

std::vector<QWidget*> TForm1::DetectionControls() const {
    const Ui::UpdatePanel& panel = *panel_;
    return {panel.chkDetectUSB, panel.lbledtVIDLabel, panel.lbledtVID, panel.lbledtPIDLabel,
            panel.lbledtPID};
}

std::vector<QWidget*> TForm1::HiddenAtStartUp() const {
    std::vector<QWidget*> controls = DetectionControls();
    for (const Page& page : pages_) {
        const std::vector<QWidget*> hidden = page.sheet->HiddenAtStartUp();
        controls.insert(controls.end(), hidden.begin(), hidden.end());
    }
    return controls;
}

}  // namespace qv
