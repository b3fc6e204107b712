#include "network/text_table.h"

#include <stdexcept>

namespace levelnet {

MemoryTable::MemoryTable(int cols, int rows) : cols_(cols) { setRows(rows); }

void MemoryTable::setRows(int count) {
  if (count < 0) throw std::out_of_range("negative row count");
  cells_.resize(static_cast<std::size_t>(count), std::vector<std::string>(static_cast<std::size_t>(cols_)));
}

std::string MemoryTable::text(int row, int col) const {
  return cells_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(col));
}

void MemoryTable::setText(int row, int col, const std::string& text) {
  cells_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(col)) = text;
}

}  // namespace levelnet
