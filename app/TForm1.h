#pragma once
// The main window: the update panel and the page control that holds the maintenance pages. The
// layout comes from the Designer forms; the pages are widgets of their own (ServicePage), built
// from the page table (PageTable.h), each with its form, handlers and wiring.

#include <QMainWindow>
#include <QMargins>
#include <QPoint>
#include <QSize>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/PageTable.h"
#include "app/ServicePage.h"

class QTimer;

namespace Ui {
class TForm1;
class UpdatePanel;
}  // namespace Ui

namespace qv {

class DeviceWorkScope;
class Dialogs;
enum class SequenceOutcome;
class IspPage;
struct UnitState;

struct FormOptions {
    // Logical pixels per inch for the large-fonts rule; the screen's when not given.
    std::optional<int> logicalDpi;
};

class TForm1 : public QMainWindow, public PageHost {
    Q_OBJECT

  public:
    // Builds the form and runs FormCreate; Timer1 starts when the constructor has finished.
    TForm1(UnitState& unit, Dialogs& dialogs, const FormOptions& options = {},
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The maintenance pages and every control start-up hides, in a window that fits them, at the
    // screen's scale (ServicePages.cpp).
    void ShowServicePages();
    void PumpMessages() override;

    // ---- Start-up and close (FormCreate.cpp)
    void FormCreate();
    void FormClose();

    // ---- Update panel and device detection (Detection.cpp)
    void Timer1Timer();
    void chkDetectUSBClick(QObject* sender);
    void lbledtVIDPIDKeyDown(QObject* sender, int key);

    // ---- Firmware files (ProgramFile.cpp)
    void ReadProgramFile1() override;
    // The folders the catalogue firmware file is looked for in, in order.
    std::vector<std::string> FirmwareFolders();
    void ShowProgramImage(const QString& name, const QString& kind) override;
    void ShowProgramFile(const QString& path) override;
    // The question before "Start" writes the image: where it is the catalogue file of another
    // product than the one found, it names both first.
    QString UpdateQuestion() const;

    // ---- The one-button firmware update (UpdateSequence.cpp)
    void btnSimpleAutoClick(QObject* sender);

    // Long device work (ServicePages.cpp): the scope that disables the controls of
    // DeviceWorkControls().
    DeviceWorkScope BeginDeviceWork(const QWidget* keep) override;

    QTimer* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The pages as the page table built them, in tab order.
    struct Page {
        ServicePage* sheet;
        StartUpTab tab;
    };
    void BuildPages();

    void ConnectUpdatePanel();
    void ConnectUpdateSequences();

    // Long device work (ServicePages.cpp, UpdateSequence.cpp): the controls it disables, except
    // `keep`; asking running work to stop.
    std::vector<QWidget*> DeviceWorkControls(const QWidget* keep = nullptr) const;
    // Asks the running update or "Auto" to stop, as its "Stop" does; false when the user lets
    // the update go on. A single flash operation cannot be stopped and ends by itself.
    bool StopDeviceWork();
    bool StopUpdate();
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

    // The update panel's detection controls (device detection on or off, the ids it looks for).
    std::vector<QWidget*> DetectionControls() const;
    // The controls FormCreate hides besides the page control: the detection controls and what
    // each page hides.
    std::vector<QWidget*> HiddenAtStartUp() const;
    void KeepStartButtonRightAligned();

    UnitState& unit_;
    Dialogs& dialogs_;
    FormOptions options_;

    std::unique_ptr<Ui::TForm1> form_;
    std::unique_ptr<Ui::UpdatePanel> panel_;
    std::vector<Page> pages_;
    // The ISP page shows the flash operations' progress for the update panel's "Start" too.
    IspPage* isp_ = nullptr;

    QPoint pnlUSBExistDesignPos_;
    QSize frameSize_;
    QMargins fittedMargins_;
    bool closeAsked_ = false;  // closing waits for running device work to end
};

}  // namespace qv
