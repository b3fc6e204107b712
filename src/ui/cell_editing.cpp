#include "ui/cell_editing.h"

#include <algorithm>

#include "ui/flex_grid.h"
#include "ui/text_box.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {
constexpr int kEnter = 13;
}

void CellEditing::showTextBox() {
  editor_.hide();
  const int height = grid_.RowHeight(grid_.Row()) - static_cast<int>(2 * twipsPerPixelY());
  const int width = grid_.ColWidth(grid_.Col());
  const int left = grid_.Left() + grid_.CellLeft();
  const int top = grid_.Top() + grid_.CellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(width), pixelsY(height));
  editor_.raise();
  editor_.show();
  editor_.setFocus(Qt::OtherFocusReason);
}

// Row first, then column, as the press handler of the grid does.
void CellEditing::moveToDataCell(int row, int col) {
  grid_.SetRow(std::max(row, grid_.FixedRows()));
  grid_.SetCol(std::max(col, grid_.FixedCols()));
}

void CellEditing::tableKeyPress(int& keyAscii) {
  const int code = keyAscii;
  keyAscii = 0;
  if (grid_.Rows() <= grid_.FixedRows()) return;
  if (grid_.Row() < grid_.FixedRows() || grid_.Col() < grid_.FixedCols()) moveToDataCell(grid_.Row(), grid_.Col());
  if (code == kEnter) {
    editor_.setText(grid_.Text());
    editor_.setCursorPosition(static_cast<int>(editor_.text().size()));
  } else {
    editor_.setText(QString(QChar(static_cast<char16_t>(code))));
    editor_.setCursorPosition(1);
  }
  showTextBox();
}

void CellEditing::tableMouseDown() {
  if (grid_.Rows() <= grid_.FixedRows()) return;
  editor_.hide();
  moveToDataCell(grid_.MouseRow(), grid_.MouseCol());
  const int left = grid_.Left() + grid_.CellLeft();
  const int top = grid_.Top() + grid_.CellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(grid_.CellWidth()), pixelsY(grid_.CellHeight()));
  editor_.setText(grid_.Text());
  editor_.setCursorPosition(0);
  editor_.raise();
  editor_.show();
  editor_.setFocus(Qt::MouseFocusReason);
}

void CellEditing::hideEditor() {
  editor_.hide();
  editor_.clear();
}

void CellEditing::tableRowColChange() { editor_.setText(grid_.Text()); }

void CellEditing::editorKeyPress(int& keyAscii) {
  if (keyAscii != kEnter) return;
  keyAscii = 0;
  if (grid_.Rows() <= grid_.FixedRows()) {
    // The count was lowered to 0 while the editor was open: there is no data
    // cell left to take the text, and the header row must not.
    editor_.hide();
    grid_.SetFocus();
    return;
  }
  grid_.SetText(editor_.text());
  editor_.hide();
  grid_.SetFocus();
  if (grid_.Col() < grid_.Cols() - 1) {
    grid_.SetCol(grid_.Col() + 1);
  } else if (grid_.Row() < grid_.Rows() - 1) {
    grid_.SetRow(grid_.Row() + 1);
    grid_.SetCol(1);
  }
}

}  // namespace levelnet::ui
