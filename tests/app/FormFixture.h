#pragma once
// A fresh unit and window over a fresh virtual bus, with scripted dialogs. The timer is stopped
// so that the tests run the ticks themselves.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

#include "app/BinFilePage.h"
#include "app/IspPage.h"
#include "app/ParameterPage.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "sim/VirtualBus.h"
#include "tests/app/ScriptedDialogs.h"

namespace qv::test {

// Answers every request; reads return zeros.
class PlainChip final : public sim::DeviceModel {
  public:
    bool HandleRequest(const ControlSetup& setup, std::uint8_t* data) override {
        if (setup.IsDeviceToHost()) std::fill_n(data, setup.length, std::uint8_t{0});
        return true;
    }
};

// Runs the test in an empty temporary directory, the directory the window looks in for the
// catalogue firmware file.
class ScopedWorkDir {
  public:
    ScopedWorkDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(previous_); }
    QString File(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
    QString previous_;
};

inline void WriteFile(const QString& path, const std::string& content) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out << content;
}

// One Intel HEX data record with its checksum.
inline std::string HexRecord(std::uint16_t offset, const std::vector<std::uint8_t>& bytes,
                             std::uint8_t type = 0) {
    char text[16];
    std::string line = ":";
    unsigned sum = static_cast<unsigned>(bytes.size()) + (offset >> 8) + (offset & 0xFF) + type;
    std::snprintf(text, sizeof text, "%02X%04X%02X", static_cast<unsigned>(bytes.size()), offset,
                  type);
    line += text;
    for (const std::uint8_t b : bytes) {
        std::snprintf(text, sizeof text, "%02X", b);
        line += text;
        sum += b;
    }
    std::snprintf(text, sizeof text, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + text + "\n";
}

inline std::string SmallHexFile() {
    return HexRecord(0, {0xDE, 0xAD, 0xBE, 0xEF}) + ":00000001FF\n";
}

class FormTest : public ::testing::Test {
  protected:
    FormTest() { CreateForm(96); }

    void CreateForm(int logicalDpi) {
        form.reset();
        form = std::make_unique<TForm1>(unit, dialogs, FormOptions{logicalDpi});
        form->Timer1->stop();
    }

    template <class T>
    T* Control(const char* name) {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return control;
    }

    // Runs `action` once, at the first pass of the message pump where `when` holds.
    void AtPump(std::function<bool()> when, std::function<void()> action) {
        auto* timer = new QTimer(form.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, form.get(), [=] {
            if (!when()) return;
            timer->stop();
            action();
        });
        timer->start();
    }

    // The page of class T, for handlers that tests run directly.
    template <class T>
    T& Page() {
        T* page = form->findChild<T*>();
        if (page == nullptr) throw std::runtime_error("no such page");
        return *page;
    }

    QColor PresenceColor() {
        auto* panel = Control<QWidget>("pnlUSBExist");
        return panel->palette().color(panel->backgroundRole());
    }

    sim::VirtualClock clock;
    sim::VirtualBus bus{clock};
    UnitState unit{bus};
    ScriptedDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

}  // namespace qv::test
