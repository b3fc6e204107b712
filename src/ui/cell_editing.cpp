#include "ui/cell_editing.h"

#include <algorithm>

#include "ui/cell_delegate.h"
#include "ui/cell_grid.h"
#include "ui/key_codes.h"
#include "ui/keyed_line_edit.h"
#include "ui/twips.h"

namespace levelnet::ui {

void CellEditing::showEditorOverCurrentCell() {
  editor_.hide();
  const int height = grid_.rowHeight(grid_.currentRow()) - static_cast<int>(2 * twipsPerPixelY());
  const int width = grid_.columnWidth(grid_.currentColumn());
  const int left = grid_.leftTwips() + grid_.currentCellLeft();
  const int top = grid_.topTwips() + grid_.currentCellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(width), pixelsY(height));
  editRow_ = grid_.currentRow();
  editColumn_ = grid_.currentColumn();
  editor_.raise();
  editor_.show();
  editor_.setFocus(Qt::OtherFocusReason);
}

bool CellEditing::onHeaderCell() const {
  return grid_.currentRow() < grid_.headerRowCount() || grid_.currentColumn() < grid_.headerColumnCount();
}

// Row first, then column, as a press on the table does.
void CellEditing::moveToDataCell(int row, int column) {
  grid_.setCurrentRow(std::max(row, grid_.headerRowCount()));
  grid_.setCurrentColumn(std::max(column, grid_.headerColumnCount()));
}

// Sets a cell's text; tells the window when that changed it.
bool CellEditing::changeCell(int row, int column, const QString& text) {
  const QString before = grid_.cellText(row, column);
  if (before == text) return false;
  grid_.setCellText(row, column, text);
  if (cellEdited_) cellEdited_(row, column, before, text);
  return true;
}

void CellEditing::onTableCharacter(int& code) {
  const int typed = code;
  code = 0;
  if (grid_.rowCount() <= grid_.headerRowCount()) return;
  if (typed < 0x20 && typed != kEnterCode && typed != kBackspaceCode) return;  // Escape, Ctrl+letter: nothing
  if (typed == 0x7f) return;
  grid_.setCurrentCellUserPlaced(true);
  if (onHeaderCell()) moveToDataCell(grid_.currentRow(), grid_.currentColumn());
  if (typed == kBackspaceCode) {
    changeCell(grid_.currentRow(), grid_.currentColumn(), QString());
    return;
  }
  if (typed == kEnterCode) {
    editor_.setText(grid_.currentText());
    editor_.setCursorPosition(static_cast<int>(editor_.text().size()));
  } else {
    editor_.setText(QString(QChar(static_cast<char16_t>(typed))));
    editor_.setCursorPosition(1);
  }
  showEditorOverCurrentCell();
}

void CellEditing::onTableDelete() {
  if (onHeaderCell()) return;
  grid_.setCurrentCellUserPlaced(true);
  changeCell(grid_.currentRow(), grid_.currentColumn(), QString());
}

void CellEditing::onTablePressed() {
  if (grid_.rowCount() <= grid_.headerRowCount()) return;
  commitEditor();
  editor_.hide();
  moveToDataCell(grid_.pressedRow(), grid_.pressedColumn());
  const int left = grid_.leftTwips() + grid_.currentCellLeft();
  const int top = grid_.topTwips() + grid_.currentCellTop();
  editor_.setGeometry(pixelsX(left), pixelsY(top), pixelsX(grid_.currentCellWidth()),
                      pixelsY(grid_.currentCellHeight()));
  editRow_ = grid_.currentRow();
  editColumn_ = grid_.currentColumn();
  editor_.setText(grid_.currentText());
  editor_.selectAll();
  editor_.raise();
  editor_.show();
  editor_.setFocus(Qt::MouseFocusReason);
}

void CellEditing::onTableDoubleClicked() {
  // The second press may have taken the focus, and so the editor, from the
  // cell: it is laid over it again, as by a press.
  if (!editor_.isVisible()) onTablePressed();
  if (!editor_.isVisible()) return;
  editor_.deselect();
  editor_.end(false);
}

void CellEditing::onTableEditRequest() {
  int enter = kEnterCode;
  onTableCharacter(enter);
}

void CellEditing::hideEditor() {
  editor_.hide();
  editor_.clear();
}

void CellEditing::commitEditor() {
  if (committing_ || !editor_.isVisible()) return;
  committing_ = true;
  const bool hadFocus = editor_.hasFocus();
  const QString text = CellDelegate::cellText(editor_.text());
  // The count may have been lowered while the editor was open: a cell that
  // no longer exists takes nothing, and the header row never does.
  if (editRow_ >= grid_.headerRowCount() && editRow_ < grid_.rowCount() && editColumn_ >= grid_.headerColumnCount() &&
      editColumn_ < grid_.columnCount())
    changeCell(editRow_, editColumn_, text);
  editor_.hide();
  if (hadFocus) grid_.setFocus(Qt::OtherFocusReason);
  committing_ = false;
}

void CellEditing::onCurrentCellChanged() {
  commitEditor();
  editor_.setText(grid_.currentText());
}

void CellEditing::onEditorFocusLost() { commitEditor(); }

void CellEditing::onEditorVertical(int step) {
  commitEditor();
  if (grid_.rowCount() <= grid_.headerRowCount()) return;
  grid_.setCurrentCellUserPlaced(true);
  grid_.setCurrentRow(std::clamp(grid_.currentRow() + step, grid_.headerRowCount(), grid_.rowCount() - 1));
}

void CellEditing::onEditorCharacter(int& code) {
  if (code == kEscapeCode) {
    code = 0;
    committing_ = true;
    hideEditor();
    grid_.setFocus(Qt::OtherFocusReason);
    committing_ = false;
    return;
  }
  if (code != kEnterCode) return;
  code = 0;
  commitEditor();
  grid_.setFocus(Qt::OtherFocusReason);
  if (grid_.rowCount() <= grid_.headerRowCount()) return;
  if (grid_.currentColumn() < grid_.columnCount() - 1) {
    grid_.setCurrentColumn(grid_.currentColumn() + 1);
  } else if (grid_.currentRow() < grid_.rowCount() - 1) {
    grid_.setCurrentRow(grid_.currentRow() + 1);
    grid_.setCurrentColumn(1);
  }
}

}  // namespace levelnet::ui
