#include "network/text_table.h"

#include <stdexcept>

namespace levelnet {

MemoryTable::MemoryTable(int cols, int rows) : cols_(cols) { setRows(rows); }

void MemoryTable::setRows(int count) {
  if (count < 0) throw std::out_of_range("negative row count");
  // Row after row in one vector: the rows kept keep their texts.
  cells_.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(cols_));
  rows_ = count;
}

const std::string& MemoryTable::cell(int row, int col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) throw std::out_of_range("no such cell");
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(cols_) + static_cast<std::size_t>(col)];
}

}  // namespace levelnet
