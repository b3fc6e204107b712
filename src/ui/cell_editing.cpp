#include "ui/cell_editing.h"

#include <algorithm>

#include "ui/flex_grid.h"
#include "ui/text_box.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

constexpr int kEnter = 13;
constexpr int kBackspace = 8;
constexpr int kEscape = 27;

// Control characters never reach a cell, however they got into the editor
// (a paste, an input method).
QString withoutControlCharacters(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text)
    if (c.unicode() >= 0x20 && c.unicode() != 0x7f) out += c;
  return out;
}

}  // namespace

void CellEditing::showTextBox() {
  editor_.hide();
  const int height = grid_.RowHeight(grid_.Row()) - static_cast<int>(2 * twipsPerPixelY());
  const int width = grid_.ColWidth(grid_.Col());
  const int left = grid_.Left() + grid_.CellLeft();
  const int top = grid_.Top() + grid_.CellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(width), pixelsY(height));
  editRow_ = grid_.Row();
  editCol_ = grid_.Col();
  editor_.raise();
  editor_.show();
  editor_.setFocus(Qt::OtherFocusReason);
}

// Row first, then column, as the press handler of the grid does.
void CellEditing::moveToDataCell(int row, int col) {
  grid_.SetRow(std::max(row, grid_.FixedRows()));
  grid_.SetCol(std::max(col, grid_.FixedCols()));
}

// Sets a cell's text; tells the window when that changed it.
bool CellEditing::changeCell(int row, int col, const QString& text) {
  if (grid_.TextMatrix(row, col) == text) return false;
  grid_.SetTextMatrix(row, col, text);
  if (cellEdited_) cellEdited_();
  return true;
}

void CellEditing::tableKeyPress(int& keyAscii) {
  const int code = keyAscii;
  keyAscii = 0;
  if (grid_.Rows() <= grid_.FixedRows()) return;
  if (code < 0x20 && code != kEnter && code != kBackspace) return;  // Escape, Ctrl+letter: nothing
  if (code == 0x7f) return;
  grid_.SetUserPlaced(true);
  if (grid_.Row() < grid_.FixedRows() || grid_.Col() < grid_.FixedCols()) moveToDataCell(grid_.Row(), grid_.Col());
  if (code == kBackspace) {
    changeCell(grid_.Row(), grid_.Col(), QString());
    return;
  }
  if (code == kEnter) {
    editor_.setText(grid_.Text());
    editor_.setCursorPosition(static_cast<int>(editor_.text().size()));
  } else {
    editor_.setText(QString(QChar(static_cast<char16_t>(code))));
    editor_.setCursorPosition(1);
  }
  showTextBox();
}

void CellEditing::tableDeleteKey() {
  if (grid_.Row() < grid_.FixedRows() || grid_.Col() < grid_.FixedCols()) return;
  grid_.SetUserPlaced(true);
  changeCell(grid_.Row(), grid_.Col(), QString());
}

void CellEditing::tableMouseDown() {
  if (grid_.Rows() <= grid_.FixedRows()) return;
  commitEditor();
  editor_.hide();
  moveToDataCell(grid_.MouseRow(), grid_.MouseCol());
  const int left = grid_.Left() + grid_.CellLeft();
  const int top = grid_.Top() + grid_.CellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(grid_.CellWidth()), pixelsY(grid_.CellHeight()));
  editRow_ = grid_.Row();
  editCol_ = grid_.Col();
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

void CellEditing::commitEditor() {
  if (committing_ || !editor_.isVisible()) return;
  committing_ = true;
  const bool hadFocus = editor_.hasFocus();
  const QString text = withoutControlCharacters(editor_.text());
  // The count may have been lowered while the editor was open: a cell that
  // no longer exists takes nothing, and the header row never does.
  if (editRow_ >= grid_.FixedRows() && editRow_ < grid_.Rows() && editCol_ >= grid_.FixedCols() &&
      editCol_ < grid_.Cols())
    changeCell(editRow_, editCol_, text);
  editor_.hide();
  if (hadFocus) grid_.SetFocus();
  committing_ = false;
}

void CellEditing::tableRowColChange() {
  commitEditor();
  editor_.setText(grid_.Text());
}

void CellEditing::editorFocusLost() { commitEditor(); }

void CellEditing::editorVerticalKey(int step) {
  commitEditor();
  if (grid_.Rows() <= grid_.FixedRows()) return;
  grid_.SetUserPlaced(true);
  grid_.SetRow(std::clamp(grid_.Row() + step, grid_.FixedRows(), grid_.Rows() - 1));
}

void CellEditing::editorKeyPress(int& keyAscii) {
  if (keyAscii == kEscape) {
    keyAscii = 0;
    committing_ = true;
    hideEditor();
    grid_.SetFocus();
    committing_ = false;
    return;
  }
  if (keyAscii != kEnter) return;
  keyAscii = 0;
  commitEditor();
  grid_.SetFocus();
  if (grid_.Rows() <= grid_.FixedRows()) return;
  if (grid_.Col() < grid_.Cols() - 1) {
    grid_.SetCol(grid_.Col() + 1);
  } else if (grid_.Row() < grid_.Rows() - 1) {
    grid_.SetRow(grid_.Row() + 1);
    grid_.SetCol(1);
  }
}

}  // namespace levelnet::ui
