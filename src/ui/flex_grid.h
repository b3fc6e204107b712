// The grid control of both tables: a Qt table view dressed as the
// MSFlexGrid the window was designed around. Row 0 and column 0 are the
// fixed cells; they are drawn by the view's own headers (row 0 by the
// horizontal header, column 0 by the vertical header, cell (0, 0) by a
// corner cell), so they look like headers and stay in view while the data
// scrolls. Data cell (r, c) is item (r - 1, c - 1) of the view.
//
// The grid keeps its own current cell, which may be any cell, fixed ones
// included; every change of it raises RowColChange. Lengths at this
// interface are in twips, positions relative to the grid's top-left corner
// (cell rectangles) or to the window (Left, Top).
//
// It implements levelnet::TextTable, so Open, Save and the adjustment read
// and write it with the same code as the command line's in-memory tables.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "network/text_table.h"

class QTableWidgetItem;

namespace levelnet::ui {

class GridView;
class CornerCell;

class FlexGrid : public QWidget, public TextTable {
  Q_OBJECT

 public:
  // A grid of `rows` rows and `cols` columns (fixed row and column
  // included), with one fixed row and one fixed column, every cell empty and
  // (0, 0) current. Requires rows >= 1 and cols >= 1.
  FlexGrid(int rows, int cols, QWidget* parent = nullptr);
  ~FlexGrid() override;

  // Number of rows, header row included. SetRows keeps the remaining rows
  // with their texts, drops the rows beyond `count` and appends empty rows;
  // a current row that no longer exists moves to the last row. Requires
  // count >= FixedRows (std::out_of_range otherwise).
  int Rows() const;
  void SetRows(int count);
  int Cols() const;
  int FixedRows() const { return 1; }
  int FixedCols() const { return 1; }

  // The current cell; may be set to any cell (std::out_of_range outside the
  // grid). A change raises RowColChange; setting the same value does not.
  int Row() const { return row_; }
  int Col() const { return col_; }
  void SetRow(int row);
  void SetCol(int col);

  // Text of the current cell.
  QString Text() const;
  void SetText(const QString& text);
  // Text of any cell; the current cell does not move.
  QString TextMatrix(int row, int col) const;
  void SetTextMatrix(int row, int col, const QString& text);

  // Width of a column and height of a row, in twips.
  int ColWidth(int col) const;
  void SetColWidth(int col, int twips);
  int RowHeight(int row) const;
  // Smallest height of every row, in twips.
  void SetRowHeightMin(int twips);
  // Alignment of a column's cells, MSFlexGrid codes: 0-2 left, 3-5 centre,
  // 6-8 right, each top, centre, bottom; 9 general (left, centred vertically).
  void SetColAlignment(int col, int alignment);

  // Row and column under the mouse pointer at the last press, as the grid
  // reports them: a point below the last row gives the last row, one right of
  // the last column the last column; the headers give row 0 or column 0.
  int MouseRow() const { return mouseRow_; }
  int MouseCol() const { return mouseCol_; }

  // Rectangle of the current cell inside the grid, in twips. For a data cell
  // it is the cell's inside, grid lines excluded.
  int CellLeft() const;
  int CellTop() const;
  int CellWidth() const;
  int CellHeight() const;

  // Whether the user has placed the current cell (by a click, the arrow
  // keys or typing) since the program last set the placement aside. When
  // the focus enters an unplaced grid by Tab, the current cell goes to the
  // first data cell (1, 1), where typing a table naturally begins.
  bool UserPlaced() const { return userPlaced_; }
  void SetUserPlaced(bool placed) { userPlaced_ = placed; }

  // Erases the text of every cell, headers included; counts stay.
  void Clear();
  // Position of the grid in its window, in twips.
  int Left() const;
  int Top() const;
  void SetFocus();

  // TextTable: the same cells, UTF-8. enterText moves the current cell to
  // (row, col), column first, and sets the text through it.
  int rows() const override { return Rows(); }
  void setRows(int count) override { SetRows(count); }
  int cols() const override { return Cols(); }
  std::string text(int row, int col) const override;
  void setText(int row, int col, const std::string& text) override;
  void enterText(int row, int col, const std::string& text) override;

 signals:
  // A key that produces a character, with its code (see keyAsciiOf); the
  // grid itself never acts on such a key. Text committed by an input method
  // raises KeyPress with its first character; when the handler swallows it
  // (KeyAscii = 0) and has moved the focus, the rest of the committed text is
  // passed on to the widget that now has the focus.
  void KeyPress(int& KeyAscii);
  // A press of any mouse button on a cell or outside the cells; X and Y in
  // twips from the grid's top-left corner. The current cell is not moved.
  void MouseDown(int Button, int Shift, int X, int Y);
  // The current cell changed, by the user's navigation or by the program.
  void RowColChange();
  // A double-click; the press that began it raised MouseDown.
  void DblClick();
  // The Delete key on the grid.
  void DeleteKey();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class GridView;

  void checkCell(int row, int col) const;
  QTableWidgetItem* headerItem(int row, int col) const;
  QTableWidgetItem* itemFor(int row, int col);
  Qt::Alignment alignmentOf(int col) const;
  void applyRowHeights();
  void syncViewCurrent();
  void viewCurrentChanged(int viewRow, int viewCol);
  void inputMethodCommit(const QString& commit);
  void gridKey(int keyAscii, bool& handled);
  void focusEntered(Qt::FocusReason reason);
  bool mouseEvent(QObject* watched, QEvent* event);
  QRect currentCellRect() const;

  GridView* view_;
  CornerCell* corner_;
  int row_ = 0;
  int col_ = 0;
  int mouseRow_ = 0;
  int mouseCol_ = 0;
  int rowHeightMinPx_ = 0;
  bool syncing_ = false;
  bool userPlaced_ = false;
  std::vector<int> alignment_;
  std::vector<int> colWidthTwips_;  // as set: whole pixels would round 1000 to 1005
};

}  // namespace levelnet::ui
