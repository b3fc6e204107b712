#include "ui/table_model.h"

namespace levelnet::ui {

TableModel::TableModel(TextTable& cells, QObject* parent)
    : QAbstractTableModel(parent),
      cells_(cells),
      headers_(static_cast<std::size_t>(cells.cols())),
      alignment_(static_cast<std::size_t>(cells.cols()), Qt::AlignLeft | Qt::AlignVCenter) {}

QString TableModel::cell(int row, int column) const {
  if (row == 0) return headers_[static_cast<std::size_t>(column)];
  return QString::fromStdString(cells_.text(row, column));
}

void TableModel::setCell(int row, int column, const QString& text) {
  if (row == 0) {
    headers_[static_cast<std::size_t>(column)] = text;
  } else {
    cells_.setText(row, column, text.toStdString());
  }
  cellChangedOutside(row, column);
}

void TableModel::cellChangedOutside(int row, int column) {
  if (row == 0 && column > 0) {
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
  } else if (row > 0 && column == 0) {
    emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
  } else if (row > 0) {
    const QModelIndex at = index(row - 1, column - 1);
    emit dataChanged(at, at, {Qt::DisplayRole});
  }
  // Cell (0, 0) is painted by the grid's corner.
}

void TableModel::setGridRows(int rows) {
  const int old = cells_.rows();
  if (rows == old) return;
  if (rows > old) {
    beginInsertRows({}, old - 1, rows - 2);
    cells_.setRows(rows);
    endInsertRows();
  } else {
    beginRemoveRows({}, rows - 1, old - 2);
    cells_.setRows(rows);
    endRemoveRows();
  }
}

void TableModel::clearCells() {
  beginResetModel();
  for (QString& h : headers_) h.clear();
  for (int r = 1; r < cells_.rows(); ++r)
    for (int c = 0; c < cells_.cols(); ++c)
      if (!cells_.text(r, c).empty()) cells_.setText(r, c, std::string());
  endResetModel();
}

void TableModel::setAlignment(int column, Qt::Alignment alignment) {
  alignment_[static_cast<std::size_t>(column)] = alignment;
  if (column == 0) {
    if (rowCount() > 0) emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
  } else {
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
    if (rowCount() > 0) emit dataChanged(index(0, column - 1), index(rowCount() - 1, column - 1));
  }
}

int TableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cells_.rows() - 1; }
int TableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cells_.cols() - 1; }

QVariant TableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (role == Qt::DisplayRole || role == Qt::EditRole) return cell(index.row() + 1, index.column() + 1);
  if (role == Qt::TextAlignmentRole) return static_cast<int>(alignment(index.column() + 1));
  return {};
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  const bool horizontal = orientation == Qt::Horizontal;
  if (role == Qt::DisplayRole) return horizontal ? cell(0, section + 1) : cell(section + 1, 0);
  if (role == Qt::TextAlignmentRole) return static_cast<int>(alignment(horizontal ? section + 1 : 0));
  return {};
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace levelnet::ui
