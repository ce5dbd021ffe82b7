#include "app/StringGrid.h"

#include <QSignalBlocker>
#include <QTableWidget>

#include "app/Colors.h"
#include "app/HexText.h"

namespace qv {

namespace {
constexpr int kCells = 17;
}  // namespace

void PrepareStringGrid(QTableWidget* grid) {
    const QSignalBlocker blocker(grid);
    for (int row = 0; row < kCells; ++row) {
        for (int column = 0; column < kCells; ++column) {
            auto* item = new QTableWidgetItem;
            if (row == 0 || column == 0) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(ButtonFaceColor());
            }
            grid->setItem(row, column, item);
        }
    }
    grid->setCurrentCell(1, 1);
}

void FillGridHeaders(QTableWidget* grid) {
    for (int i = 0; i < 16; ++i) {
        grid->item(0, i + 1)->setText(HexByte(static_cast<std::uint8_t>(i)));
        grid->item(i + 1, 0)->setText(HexByte(static_cast<std::uint8_t>(i * 16)));
    }
}

}  // namespace qv
