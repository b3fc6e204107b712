// One input table as a Qt model over the text cells it shows. The grid's
// addressing is kept: row 0 is the header row and column 0 the serial
// number. The data cells are the model's items (cell (r, c) is item
// (r - 1, c - 1)), column 0 its vertical header and row 0 its horizontal
// header; cell (0, 0) is the grid's corner. The cells of rows 1.. and column
// 0 live in a TextTable (the session's network when the window shows it);
// the header row is the model's own, since it is a caption and no data.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "network/text_table.h"

namespace levelnet::ui {

class TableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // A model over `cells`, which must outlive it; its column count is fixed.
  explicit TableModel(TextTable& cells, QObject* parent = nullptr);

  // Rows and columns as the grid counts them, header row and number column included.
  int gridRows() const { return cells_.rows(); }
  int gridColumns() const { return cells_.cols(); }

  QString cell(int row, int column) const;
  // Writes a cell; the views hear of it. Row 0 is the header row.
  void setCell(int row, int column, const QString& text);
  // Keeps the remaining rows with their texts, drops the rows beyond
  // `rows` and appends empty rows (rows >= 1).
  void setGridRows(int rows);
  // Erases the text of every cell, headers included; the counts stay.
  void clearCells();

  // The cells changed behind the model's back (the session wrote them):
  // one cell, or all of them (a network replaced as a whole, with possibly
  // another number of rows: call beginReplace before and endReplace after).
  void cellChangedOutside(int row, int column);
  void beginReplace() { beginResetModel(); }
  void endReplace() { endResetModel(); }

  // Alignment of a column's texts, its header included.
  Qt::Alignment alignment(int column) const { return alignment_[static_cast<std::size_t>(column)]; }
  void setAlignment(int column, Qt::Alignment alignment);

  // QAbstractTableModel: the data cells, read-only for views (the grid's
  // own editor writes them).
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  TextTable& cells_;
  std::vector<QString> headers_;  // row 0, column 0 included
  std::vector<Qt::Alignment> alignment_;
};

}  // namespace levelnet::ui
