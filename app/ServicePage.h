#pragma once
// A maintenance page of the window: a widget that owns its Designer form, its handlers and
// their wiring. The window builds the pages from the page table (PageTable.h), puts each on
// its tab and asks them, through the calls below, what start-up hides and what device work
// disables; a page asks the window, through PageHost, for what belongs to the window.

#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

class QTabWidget;

namespace qv {

class DeviceWorkScope;
class Dialogs;
struct UnitState;

// What a page asks of the window around it.
class PageHost {
  public:
    // Lets pending window messages run (timer ticks and clicks included).
    virtual void PumpMessages() = 0;
    // Long device work: detection pauses and the other pages' controls (not `keep`) are
    // disabled while the scope lives.
    virtual DeviceWorkScope BeginDeviceWork(const QWidget* keep = nullptr) = 0;
    // Name the image "Start" writes in the update panel, whenever that image changes: `kind`
    // and `name`, or a firmware file by its path.
    virtual void ShowProgramImage(const QString& name, const QString& kind) = 0;
    virtual void ShowProgramFile(const QString& path) = 0;
    // Loads the catalogue firmware file of the product found, as the update panel does.
    virtual void ReadProgramFile1() = 0;

  protected:
    ~PageHost() = default;
};

// What every page is built with.
struct PageContext {
    UnitState& unit;
    Dialogs& dialogs;
    PageHost& host;
    QTabWidget& pages;  // the page control the page's tab belongs to
};

class ServicePage : public QWidget {
    Q_OBJECT

  public:
    explicit ServicePage(const PageContext& context);

    // The page's part of the window's start-up (FormCreate).
    virtual void FormCreate() {}
    // What device work disables on the page: these controls, or the whole page when none are
    // named.
    virtual std::vector<QWidget*> BusyControls() const { return {}; }
    // The controls start-up hides on the page besides its tab; the maintenance pages show them.
    virtual std::vector<QWidget*> HiddenAtStartUp() const { return {}; }
    // Asks the page's own running device work to stop, as its "Stop" does.
    virtual void StopWork() {}

  protected:
    // Typed numbers: the value, or nothing after the error box has named the converted text.
    std::optional<std::uint32_t> ConvertTypedHex(const QString& text);
    std::optional<std::uint32_t> ConvertDecimal(const QString& text);
    // A typed hexadecimal byte (register value, I2C address): refused, after the error box,
    // when it does not convert or needs more than two digits' worth, rather than cut to 8 bits.
    std::optional<std::uint32_t> ConvertTypedByte(const QString& text);
    // The error box for a transaction the current I2C slave did not acknowledge (the I2C
    // Access page and the special I2C access).
    void ShowNoAcknowledge(const QString& what);
    // Another page of the window, or none when the page table has no such page.
    template <class Page>
    Page* OtherPage() const {
        return window()->findChild<Page*>();
    }

    UnitState& unit_;
    Dialogs& dialogs_;
    PageHost& host_;
};

}  // namespace qv
