#pragma once
// The window over a virtual QV4820 attached as a catalogue product and already found, with the
// chip's register traffic read back from the bus log.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QtTest/QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/Qv4820Model.h"
#include "tests/app/FormFixture.h"

namespace qv::test {

class ServicePageTest : public FormTest {
  protected:
    static constexpr const char* kProductId = "vid_a7d6&pid_f017";

    ServicePageTest() {
        device = bus.AttachProduct(kProductId, chip);
        unit.usb.SetPropertyMode(true);
        unit.usb.SetIdText(kProductId);
        if (!unit.usb.Find()) throw std::runtime_error("virtual product not found");
        bus.ClearLog();
    }

    // "W10=C0" for a register write, "R10" for a read, in the order they reached the chip.
    std::vector<std::string> RegisterTrace() const {
        std::vector<std::string> trace;
        for (const auto& record : bus.Log()) {
            if (!record.setup || record.data.empty()) continue;
            char text[16];
            if (record.setup->request == 0x90) {
                std::snprintf(text, sizeof text, "W%02X=%02X", record.setup->index, record.data[0]);
            } else {
                std::snprintf(text, sizeof text, "R%02X", record.setup->index);
            }
            trace.emplace_back(text);
        }
        return trace;
    }

    // The cell of register `reg` in a 17 x 17 register grid.
    static QTableWidgetItem* Cell(QTableWidget* grid, int reg) {
        return grid->item(reg / 16 + 1, reg % 16 + 1);
    }
    // Selects the cell of `reg` as a click on it would.
    static void Select(QTableWidget* grid, int reg) {
        grid->setCurrentCell(reg / 16 + 1, reg % 16 + 1);
    }
    static void Press(QWidget* control, Qt::Key key) { QTest::keyClick(control, key); }
    // Presses and releases `button` over the box's check mark.
    static void ClickBox(QCheckBox* box, Qt::MouseButton button = Qt::LeftButton) {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, button, {}, mark.center());
    }
    void Enter(QLineEdit* edit, const QString& text) {
        edit->setText(text);
        Press(edit, Qt::Key_Return);
    }
    void EnterInCell(QTableWidget* grid, const QString& text) {
        grid->currentItem()->setText(text);
        Press(grid, Qt::Key_Return);
    }

    std::shared_ptr<sim::Qv4820Model> chip = std::make_shared<sim::Qv4820Model>(clock);
    sim::DeviceId device = 0;
};

}  // namespace qv::test
