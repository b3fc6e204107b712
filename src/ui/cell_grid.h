// The grid control of both tables: a Qt table view over a TableModel,
// wrapped so that its header row and number column are addressed like any
// other cell. Row 0 and column 0 are the header cells; they are drawn by the
// view's own headers (row 0 by the horizontal header, column 0 by the
// vertical header, cell (0, 0) by a corner cell), so they look like headers
// and stay in view while the data scroll. Data cell (r, c) is item
// (r - 1, c - 1) of the model. The grid keeps no text of its own: its cells
// are the model's, so the window's tables show the session's network.
//
// The grid keeps its own current cell, which may be any cell, header cells
// included, because the window writes the headers and the row numbers
// through it; every change of it raises currentCellChanged. Lengths at this
// interface are in twips (see twips.h), so the window's layout constants
// keep their meaning at any screen resolution; positions are relative to
// the grid's top-left corner (cell rectangles) or to the window (leftTwips,
// topTwips).
//
// It implements levelnet::TextTable, so code that fills a table (Open's
// applyProject, the tests) can fill a grid as it fills a MemoryTable.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "network/text_table.h"

#include <memory>

class QAbstractItemDelegate;

namespace levelnet::ui {

class GridView;
class CornerCell;
class TableModel;

class CellGrid : public QWidget, public TextTable {
  Q_OBJECT

 public:
  // A grid of `rows` rows and `columns` columns (header row and number
  // column included) over cells of its own, every cell empty and (0, 0)
  // current. Requires rows >= 1 and columns >= 1.
  CellGrid(int rows, int columns, QWidget* parent = nullptr);
  // A grid showing `model`, which must outlive it, (0, 0) current.
  explicit CellGrid(TableModel& model, QWidget* parent = nullptr);
  ~CellGrid() override;

  // Number of rows, header row included. setRowCount keeps the remaining
  // rows with their texts, drops the rows beyond `count` and appends empty
  // rows; a current row that no longer exists moves to the last row.
  // Requires count >= headerRowCount() (std::out_of_range otherwise).
  int rowCount() const;
  void setRowCount(int count);
  // Number of columns, number column included.
  int columnCount() const;
  // The header row and the number column: one each, always.
  int headerRowCount() const { return 1; }
  int headerColumnCount() const { return 1; }

  // The current cell; may be set to any cell (std::out_of_range outside the
  // grid). A change raises currentCellChanged; setting the same value does
  // not.
  int currentRow() const { return currentRow_; }
  int currentColumn() const { return currentColumn_; }
  void setCurrentRow(int row);
  void setCurrentColumn(int column);

  // Text of the current cell.
  QString currentText() const;
  void setCurrentText(const QString& text);
  // Text of any cell; the current cell does not move.
  QString cellText(int row, int column) const;
  void setCellText(int row, int column, const QString& text);

  // Width of a column and height of a row, in twips.
  int columnWidth(int column) const;
  void setColumnWidth(int column, int twips);
  int rowHeight(int row) const;
  // Smallest height of every row, header row included, in twips.
  void setMinimumRowHeight(int twips);
  // Alignment of a column's texts, its header included. Until set, a
  // column's texts are left-aligned and centred vertically.
  void setColumnAlignment(int column, Qt::Alignment alignment);

  // Row and column under the mouse pointer at the last press: a point below
  // the last row gives the last row, one right of the last column the last
  // column; the headers give row 0 or column 0.
  int pressedRow() const { return pressedRow_; }
  int pressedColumn() const { return pressedColumn_; }

  // Rectangle of the current cell inside the grid, in twips. For a data cell
  // it is the cell's inside, grid lines excluded.
  int currentCellLeft() const;
  int currentCellTop() const;
  int currentCellWidth() const;
  int currentCellHeight() const;

  // Whether the user has placed the current cell (by a click, the arrow
  // keys or typing) since the program last set the placement aside. When
  // the focus enters a grid not placed by the user by Tab, the current cell
  // goes to the first data cell (1, 1), where typing a table naturally
  // begins.
  bool isCurrentCellUserPlaced() const { return currentCellUserPlaced_; }
  void setCurrentCellUserPlaced(bool placed) { currentCellUserPlaced_ = placed; }

  // Erases the text of every cell, headers included; counts stay.
  void clearAllCells();
  // The cells were replaced as a whole (model reset): the current cell is
  // kept where it still exists, and the row heights are applied again.
  void cellsReplaced();
  TableModel& model() const { return *model_; }
  // The delegate that paints the cells and moves text into the editor.
  void setCellDelegate(QAbstractItemDelegate* delegate);
  // Position of the grid in its window, in twips.
  int leftTwips() const;
  int topTwips() const;

  // TextTable: the same cells, UTF-8. enterText moves the current cell to
  // (row, col), column first, and sets the text through it.
  int rows() const override { return rowCount(); }
  void setRows(int count) override { setRowCount(count); }
  int cols() const override { return columnCount(); }
  std::string text(int row, int col) const override;
  void setText(int row, int col, const std::string& text) override;
  void enterText(int row, int col, const std::string& text) override;

 signals:
  // A key that produces a character, with its code (see characterCodeOf);
  // the grid itself never acts on such a key, whatever the handler does.
  // Text committed by an input method raises characterTyped with its first
  // character; when the handler swallows it (sets `code` to 0) and has moved
  // the focus, the rest of the committed text is passed on to the widget that
  // now has the focus.
  void characterTyped(int& code);
  // A press of any mouse button on a cell or outside the cells; x and y in
  // twips from the grid's top-left corner. pressedRow and pressedColumn
  // tell the cell; the current cell is not moved.
  void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  // The current cell changed, by the user's navigation or by the program.
  void currentCellChanged();
  // The Delete key on the grid.
  void deletePressed();
  // F2 on the grid: edit the current cell's text.
  void editRequested();
  // The second press of a double-click on a data cell (the first raised
  // pressed); pressedRow and pressedColumn tell the cell.
  void doubleClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class GridView;

  void setUp();
  void checkCell(int row, int column) const;
  void applyRowHeights();
  void syncViewCurrent();
  void viewCurrentChanged(int viewRow, int viewColumn);
  void inputMethodCommit(const QString& commit);
  void characterKey(int code, bool& handled);
  void focusEntered(Qt::FocusReason reason);
  bool mouseEvent(QObject* watched, QEvent* event);
  QRect currentCellRect() const;

  std::unique_ptr<MemoryTable> ownCells_;  // when the grid has no model given
  std::unique_ptr<TableModel> ownModel_;
  TableModel* model_;
  GridView* view_;
  CornerCell* corner_;
  int currentRow_ = 0;
  int currentColumn_ = 0;
  int pressedRow_ = 0;
  int pressedColumn_ = 0;
  int minimumRowHeightPx_ = 0;
  bool syncing_ = false;
  bool currentCellUserPlaced_ = false;
  std::vector<int> columnWidthTwips_;  // as set: whole pixels would round 1000 to 1005
};

}  // namespace levelnet::ui
