// Renders the service pages of the update window on the virtual product into PNG files, each
// after the page's own handlers have shown something:
//   qv_page_shots <directory>   writes page-register.png, page-i2c.png, page-isp.png,
//                               page-special-i2c.png, page-parameter.png, page-information.png
//                               and page-bin-file.png there.

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>

#include "app/QtDialogs.h"
#include "app/TForm1.h"
#include "app/UnitState.h"
#include "sim/Qv4820Model.h"
#include "sim/Simulation.h"

namespace {

template <class T>
T* Control(qv::TForm1& form, const char* name) {
    T* control = form.findChild<T*>(QString::fromLatin1(name));
    if (control == nullptr) std::fprintf(stderr, "qv_page_shots: no control %s\n", name);
    return control;
}

bool Save(QWidget* widget, const QDir& directory, const char* name) {
    QCoreApplication::processEvents();
    const QString path = directory.filePath(QString::fromLatin1(name));
    if (widget->grab().save(path)) return true;
    std::fprintf(stderr, "qv_page_shots: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_page_shots <directory>\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));

    qv::sim::SimulationOptions options;
    options.realTime = false;
    const auto simulation = qv::sim::Simulation::Create(options);
    if (!simulation.ok()) {
        std::fprintf(stderr, "qv_page_shots: %s\n", simulation.text().c_str());
        return 1;
    }
    qv::sim::Qv4820Model& chip = (*simulation)->Chip();
    chip.SetStatusRegisters(0x04, 0x00, 0x01);
    for (int reg = 0; reg < 256; ++reg) {
        chip.DefaultSlave().SetRegister(static_cast<std::uint8_t>(reg),
                                        static_cast<std::uint8_t>(reg * 7 + 3));
    }

    qv::UnitState unit((*simulation)->Bus());
    qv::QtDialogs dialogs;
    qv::TForm1 form(unit, dialogs);
    form.Timer1->stop();
    form.ShowServicePages();
    form.show();
    form.Timer1Timer();  // the first tick finds the product of catalogue row 1
    if (!unit.usb.IsPresent()) {
        std::fprintf(stderr, "qv_page_shots: the virtual product was not found\n");
        return 1;
    }

    auto* pages = Control<QTabWidget>(form, "MainPageControl");
    bool saved = true;

    pages->setCurrentWidget(Control<QWidget>(form, "TabSheet1"));
    Control<QPushButton>(form, "btnReadAll")->click();
    auto* bank = Control<QTableWidget>(form, "RegStringGrid1");
    bank->setCurrentCell(0xA4 / 16 + 1, 0xA4 % 16 + 1);
    bank->setFocus();
    saved = Save(&form, directory, "page-register.png") && saved;

    pages->setCurrentWidget(Control<QWidget>(form, "PageMI2CCtrl"));
    Control<QPushButton>(form, "btnReadMI2C")->click();
    auto* slave = Control<QTableWidget>(form, "StringGridMIIC");
    slave->setCurrentCell(2, 3);
    slave->setFocus();
    saved = Save(&form, directory, "page-i2c.png") && saved;

    pages->setCurrentWidget(Control<QWidget>(form, "PageISPCtrl"));
    Control<QPushButton>(form, "btnUSBChipID")->click();
    Control<QPushButton>(form, "btnUSBReadStatus")->click();
    saved = Save(&form, directory, "page-isp.png") && saved;

    pages->setCurrentWidget(Control<QWidget>(form, "Parameter"));
    Control<QPushButton>(form, "btnReadPara")->click();
    saved = Save(&form, directory, "page-parameter.png") && saved;

    pages->setCurrentWidget(Control<QWidget>(form, "Information"));
    Control<QPushButton>(form, "btnUpdateStatus")->click();
    Control<QScrollBar>(form, "srblen1")->setValue(3);
    Control<QPushButton>(form, "btnReadSpecI2C")->click();
    saved = Save(&form, directory, "page-information.png") && saved;
    saved = Save(Control<QWidget>(form, "GroupBox7"), directory, "page-special-i2c.png") && saved;

    pages->setCurrentWidget(Control<QWidget>(form, "BinFile"));
    saved = Save(&form, directory, "page-bin-file.png") && saved;

    return saved ? 0 : 1;
}
