#pragma once
// The 17 x 17 register grids: row 0 and column 0 are header cells inside the grid.

class QTableWidget;

namespace qv {

// One item per cell; header cells can be neither selected nor edited and carry the
// button-face colour; the current cell is the first data cell.
void PrepareStringGrid(QTableWidget* grid);
// Column headers "00".."0F" in row 0, row headers "00", "10" .. "F0" in column 0.
void FillGridHeaders(QTableWidget* grid);

}  // namespace qv
