#pragma once
// The main window: the update panel and the six maintenance pages. The layout comes from the
// Designer forms (one per page); each page's handlers live in their own source file and are
// wired by that page's Connect...() call in the constructor.
//
// To add a page: draw its form (Page.ui, listed in app/CMakeLists.txt) as a tab of
// MainPageControl, give it a row in the page table (Pages() in ServicePages.cpp: whether start-up
// keeps its tab, what device work disables on it), declare its handlers in a section below and
// write them in the page's .cpp with a Connect<Page>() that wires them (ConnectClick,
// RouteKeyDown, connect()); the constructor (TForm1.cpp) sets up its form and calls
// Connect<Page>().

#include <QMainWindow>
#include <QMargins>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QTimer;

namespace Ui {
class TForm1;
class UpdatePanel;
class RegisterPage;
class I2cPage;
class IspPage;
class ParameterPage;
class InformationPage;
class BinFilePage;
}  // namespace Ui

namespace qv {

class DeviceWorkScope;
class Dialogs;
enum class SequenceOutcome;
struct UnitState;

struct FormOptions {
    // Logical pixels per inch for the large-fonts rule; the screen's when not given.
    std::optional<int> logicalDpi;
};

class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    using ClickHandler = void (TForm1::*)(QObject* sender);
    using KeyHandler = void (TForm1::*)(QObject* sender, int key);

    // Builds the form and runs FormCreate; Timer1 starts when the constructor has finished.
    TForm1(UnitState& unit, Dialogs& dialogs, const FormOptions& options = {},
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The maintenance pages and every control start-up hides, in a window that fits them, at the
    // screen's scale (ServicePages.cpp).
    void ShowServicePages();
    // Lets pending window messages run (timer ticks and clicks included).
    void PumpMessages();

    // ---- Start-up and close (FormCreate.cpp)
    void FormCreate();
    void FormClose();

    // ---- Update panel and device detection (Detection.cpp)
    void Timer1Timer();
    void chkDetectUSBClick(QObject* sender);
    void lbledtVIDPIDKeyDown(QObject* sender, int key);

    // ---- Firmware files (ProgramFile.cpp)
    void ReadProgramFile();
    void ReadProgramFile1();
    // The folders the catalogue firmware file is looked for in, in order.
    std::vector<std::string> FirmwareFolders();
    void RememberProgramFile();
    // Name the image "Start" writes in the update panel, whenever that image changes: `kind`
    // and `name`, or a firmware file by its path.
    void ShowProgramImage(const QString& name, const QString& kind);
    void ShowProgramFile(const QString& path);
    void USBLoadFileBitBtnClick(QObject* sender);
    // The question before "Start" writes the image: where it is the catalogue file of another
    // product than the one found, it names both first.
    QString UpdateQuestion() const;

    // ---- Register page (RegisterPage.cpp)
    void btnReadAllClick(QObject* sender);
    // The grid's current cell became the data cell at (column, row).
    void RegStringGridSelectCell(int column, int row);
    void RegStringGridKeyDown(QObject* sender, int key);
    void chkBit0MouseUp(QObject* sender);  // all eight bit boxes

    // ---- I2C Access page (I2cPage.cpp)
    void MainPageControlChange(QObject* sender);
    void btnReadMI2CClick(QObject* sender);
    void edtMI2CAddrKeyDown(QObject* sender, int key);
    void StringGridMIICSelectCell(int column, int row);
    void StringGridMIICKeyDown(QObject* sender, int key);
    void chkMI2CBitMouseUp(QObject* sender);
    // The error box for a transaction the current slave did not acknowledge.
    void ShowNoAcknowledge(const QString& what);

    // ---- ISP page: flash operations and sequences (IspPage.cpp, UpdateSequence.cpp)
    void rbnRangeClick(QObject* sender);
    void lbledISPStartKeyDown(QObject* sender, int key);
    void btnEnterISPClick(QObject* sender);
    void btnUSBChipIDClick(QObject* sender);
    void btnUSBReadStatusClick(QObject* sender);
    void lbledtUSBWriteStatusKeyDown(QObject* sender, int key);
    void btnUSBWriteEnableClick(QObject* sender);
    void btnUSBWriteDisableClick(QObject* sender);
    void btnUSBEraseClick(QObject* sender);
    void btnUSBBlankClick(QObject* sender);
    void btnUSBProgramClick(QObject* sender);
    void btnUSBVerifyClick(QObject* sender);
    void btnReadBackClick(QObject* sender);
    void btnUSBISPAutoClick(QObject* sender);
    // The update panel's one-button firmware update.
    void btnSimpleAutoClick(QObject* sender);

    // ---- Parameter page (ParameterPage.cpp)
    void UpdateParameterPage();
    void btnSetParaClick(QObject* sender);
    void btnReadParaClick(QObject* sender);
    void lbledSysVIDPIDKeyDown(QObject* sender, int key);
    void lbledSysStrKeyDown(QObject* sender, int key);
    void rbnI2SlenClick(QObject* sender);
    void rbnSPDIFlenClick(QObject* sender);
    void chkI2SLRSwapClick(QObject* sender);
    void chkDSDLRSwapClick(QObject* sender);
    void rbnMCLKOutFreqClick(QObject* sender);
    void rbnI2SFormatClick(QObject* sender);
    void rbnDSDOutClick(QObject* sender);
    void chkMCLKOutOffClick(QObject* sender);
    void chkI2SOutOffClick(QObject* sender);
    void chkSPDIFOutOffClick(QObject* sender);

    // ---- Information page (InformationPage.cpp) and special I2C access (SpecialI2cAccess.cpp)
    void btnUpdateStatusClick(QObject* sender);
    void btnHIDClick(QObject* sender);
    void srblen0Change(QObject* sender);
    void srblen1Change(QObject* sender);
    void edtMI2CAddr1KeyDown(QObject* sender, int key);
    void btnWriteSpecI2CClick(QObject* sender);
    void btnReadSpecI2CClick(QObject* sender);

    // ---- Gen. Bin File page (BinFilePage.cpp)
    void CurrentFileBitBtnClick(QObject* sender);
    // Loads ModifyFileName into the firmware image and copies it into the modify image; false
    // (with the reason shown) when the file was refused, leaving both images as they were.
    bool ReadModifyFile();
    void btnCheckClick(QObject* sender);
    void btnSaveBitBinClick(QObject* sender);
    void btnSaveBinClick(QObject* sender);

    QTimer* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Wiring: check boxes run their handler on every change of state (also by program), radio
    // buttons when they become checked, push buttons on click.
    void ConnectClick(QAbstractButton* control, ClickHandler handler);
    void RouteKeyDown(QWidget* control, KeyHandler handler);

    // Typed numbers: the value, or nothing after the error box has named the converted text.
    std::optional<std::uint32_t> ConvertTypedHex(const QString& text);
    std::optional<std::uint32_t> ConvertDecimal(const QString& text);
    // A typed hexadecimal byte (register value, I2C address): refused, after the error box,
    // when it does not convert or needs more than two digits' worth, rather than cut to 8 bits.
    std::optional<std::uint32_t> ConvertTypedByte(const QString& text);

    // Enables a labelled edit together with its caption label.
    static void SetLabelledEnabled(QLineEdit* edit, bool enabled);

    UnitState& unit_;
    Dialogs& dialogs_;
    FormOptions options_;

    std::unique_ptr<Ui::TForm1> form_;
    std::unique_ptr<Ui::UpdatePanel> panel_;
    std::unique_ptr<Ui::RegisterPage> registerPage_;
    std::unique_ptr<Ui::I2cPage> i2cPage_;
    std::unique_ptr<Ui::IspPage> ispPage_;
    std::unique_ptr<Ui::ParameterPage> parameterPage_;
    std::unique_ptr<Ui::InformationPage> informationPage_;
    std::unique_ptr<Ui::BinFilePage> binFilePage_;

  private:
    // One row per page of MainPageControl, in tab order (ServicePages.cpp).
    enum class StartUpTab { kHidden, kKept };
    struct PageRow {
        QWidget* sheet;
        StartUpTab tab;
        // What device work disables on the page: these controls, or the whole page when none
        // are named.
        std::vector<QWidget*> busyControls;
    };
    std::vector<PageRow> Pages() const;

    void ConnectUpdatePanel();
    void ConnectRegisterPage();
    void ConnectI2cPage();
    void ConnectIspPage();
    void ConnectParameterPage();
    void ConnectInformationPage();
    void ConnectSpecialI2cAccess();
    void ConnectUpdateSequences();
    // The flash range of the range buttons and edits; false after an error box.
    bool SelectRangeFromEdits();
    // False, after an error box, while "Assign Range" stays refused.
    bool RangeTaken();
    bool ReloadProgramFile();
    // Single flash operations in ISP mode: entered (and left again) around `operation` unless
    // "Enter ISP" holds it.
    void InIspMode(const std::function<void()>& operation);
    void ShowIspModeCaption();
    void ConnectBinFilePage();

    // Long device work (ServicePages.cpp, UpdateSequence.cpp): the controls it disables, except
    // `keep`; the scope that disables them; asking running work to stop.
    std::vector<QWidget*> DeviceWorkControls(const QWidget* keep = nullptr) const;
    DeviceWorkScope BeginDeviceWork(const QWidget* keep = nullptr);
    // Asks the running update or "Auto" to stop, as its "Stop" does; false when the user lets
    // the update go on. A single flash operation cannot be stopped and ends by itself.
    bool StopDeviceWork();
    bool StopUpdate();
    void StopAuto();
    void ShowUpdateOutcome(SequenceOutcome outcome);

    // Detection steps of one tick.
    void ScanNextCandidate();
    void NoteAccessProblem();
    void RetryOpen();
    void ShowDetectionOutcome();
    void ShowUpdateProblem(const QString& reason);

    // Update panel geometry and window size (UpdatePanelLayout.cpp).
    void FitUpdatePanelToFonts(int dpi, int extra);
    int LargeFontsDpi() const;
    // Sizes the window by its outer size, frame included, so that it has the same size under
    // every window manager. The client area follows once the window manager has framed it.
    void SetFrameSize(QSize outer);
    QMargins FrameMargins() const;
    void FitFrameToMargins();

    // The controls FormCreate hides besides the page control.
    std::vector<QWidget*> HiddenAtStartUp() const;
    void KeepStartButtonRightAligned();

    QPoint pnlUSBExistDesignPos_;
    QSize frameSize_;
    QMargins fittedMargins_;
    bool rangeRefused_ = false;  // the last "Assign Range" was refused
    bool closeAsked_ = false;    // closing waits for running device work to end
};

}  // namespace qv
