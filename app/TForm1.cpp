#include "app/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/Dialogs.h"
#include "app/KeyRoute.h"
#include "app/StringGrid.h"
#include "app/TypedNumberField.h"
#include "app/UnitState.h"
#include "ui_BinFilePage.h"
#include "ui_I2cPage.h"
#include "ui_InformationPage.h"
#include "ui_IspPage.h"
#include "ui_ParameterPage.h"
#include "ui_RegisterPage.h"
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
      panel_(std::make_unique<Ui::UpdatePanel>()),
      registerPage_(std::make_unique<Ui::RegisterPage>()),
      i2cPage_(std::make_unique<Ui::I2cPage>()),
      ispPage_(std::make_unique<Ui::IspPage>()),
      parameterPage_(std::make_unique<Ui::ParameterPage>()),
      informationPage_(std::make_unique<Ui::InformationPage>()),
      binFilePage_(std::make_unique<Ui::BinFilePage>()) {
    form_->setupUi(this);
    panel_->setupUi(form_->pnlUSB);
    registerPage_->setupUi(form_->TabSheet1);
    i2cPage_->setupUi(form_->PageMI2CCtrl);
    ispPage_->setupUi(form_->PageISPCtrl);
    parameterPage_->setupUi(form_->Parameter);
    informationPage_->setupUi(form_->Information);
    binFilePage_->setupUi(form_->BinFile);
    PrepareStringGrid(registerPage_->RegStringGrid1);
    PrepareStringGrid(i2cPage_->StringGridMIIC);
    pnlUSBExistDesignPos_ = panel_->pnlUSBExist->pos();
    form_->pnlUSB->installEventFilter(this);
    // Enter presses the focused button, as Space does.
    for (QPushButton* button : findChildren<QPushButton*>()) button->setAutoDefault(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kDefaultTimerInterval);

    ConnectUpdatePanel();
    ConnectRegisterPage();
    ConnectI2cPage();
    ConnectIspPage();
    ConnectParameterPage();
    ConnectInformationPage();
    ConnectSpecialI2cAccess();
    ConnectUpdateSequences();
    ConnectBinFilePage();

    FormCreate();
    Timer1->start();
}

TForm1::~TForm1() = default;

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

void TForm1::ConnectClick(QAbstractButton* control, ClickHandler handler) {
    if (qobject_cast<QCheckBox*>(control) != nullptr) {
        connect(control, &QAbstractButton::toggled, this,
                [this, control, handler](bool) { (this->*handler)(control); });
    } else if (qobject_cast<QRadioButton*>(control) != nullptr) {
        connect(control, &QAbstractButton::toggled, this, [this, control, handler](bool on) {
            if (on) (this->*handler)(control);
        });
        // A click on the button that is already checked runs the handler too (it takes the
        // range edits again, for one); it changes no state, so `toggled` does not tell of it.
        auto checkedAtPress = std::make_shared<bool>(false);
        connect(control, &QAbstractButton::pressed, this,
                [control, checkedAtPress] { *checkedAtPress = control->isChecked(); });
        connect(control, &QAbstractButton::clicked, this, [this, control, handler, checkedAtPress] {
            if (*checkedAtPress) (this->*handler)(control);
        });
    } else {
        connect(control, &QAbstractButton::clicked, this,
                [this, control, handler] { (this->*handler)(control); });
    }
}

void TForm1::RouteKeyDown(QWidget* control, KeyHandler handler) {
    new KeyRoute(control,
                 [this, handler](QObject* sender, int key) { (this->*handler)(sender, key); });
}

std::optional<std::uint32_t> TForm1::ConvertTypedHex(const QString& text) {
    const auto value = TypedHexValue(text);
    if (!value) dialogs_.ShowError(InvalidIntegerMessage(QStringLiteral("0x") + text));
    return value;
}

std::optional<std::uint32_t> TForm1::ConvertTypedByte(const QString& text) {
    const auto value = ConvertTypedHex(text);
    if (value && *value > 0xFF) {
        dialogs_.ShowError(ByteRangeMessage(text));
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> TForm1::ConvertDecimal(const QString& text) {
    const auto value = TypedDecimalValue(text);
    if (!value) dialogs_.ShowError(InvalidIntegerMessage(text));
    return value;
}

void TForm1::SetLabelledEnabled(QLineEdit* edit, bool enabled) {
    edit->setEnabled(enabled);
    if (auto* caption = edit->parentWidget()->findChild<QLabel*>(edit->objectName() +
                                                                 QStringLiteral("Label"))) {
        caption->setEnabled(enabled);
    }
}

std::vector<QWidget*> TForm1::HiddenAtStartUp() const {
    const Ui::IspPage& isp = *ispPage_;
    return {isp.gbxISPRange,   isp.chkISPMode,         isp.chkProtect,     isp.chkReadFile,
            isp.chkErase,      isp.chkBlank,           isp.chkProgram,     isp.chkVerify,
            isp.GroupBox1,     isp.USBLoadFileBitBtn,  isp.cbxReadISPFile, panel_->chkDetectUSB,
            panel_->lbledtVID, panel_->lbledtVIDLabel, panel_->lbledtPID,  panel_->lbledtPIDLabel};
}

}  // namespace qv
