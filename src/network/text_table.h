// The network as the user enters it: four parameter fields and two tables of
// text cells. The window's grids and the command line's in-memory tables both
// implement TextTable, so gathering, Open and Save are written once.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace levelnet {

// A table of text cells. Row 0 is the header row and column 0 the serial
// number; data rows are numbered from 1.
class TextTable {
 public:
  virtual ~TextTable() = default;
  // Number of rows, header row included.
  virtual int rows() const = 0;
  // Keeps the remaining rows with their texts, drops the rows beyond `count`,
  // appends empty rows.
  virtual void setRows(int count) = 0;
  // Number of columns, column 0 included.
  virtual int cols() const = 0;
  // Text of any cell; reading or writing does not move a current cell.
  virtual std::string text(int row, int col) const = 0;
  // The same text without a copy where the table holds its cells as
  // strings; otherwise `scratch` receives it and is returned.
  virtual const std::string& cellText(int row, int col, std::string& scratch) const {
    scratch = text(row, col);
    return scratch;
  }
  virtual void setText(int row, int col, const std::string& text) = 0;
  // Writes a cell the way Open does: where the table has a current cell it
  // is moved there (column first, then row) and the text set through it.
  virtual void enterText(int row, int col, const std::string& text) { setText(row, col, text); }
};

// A table held in memory, for the command line and the tests.
class MemoryTable : public TextTable {
 public:
  // A table of `cols` columns with the header row and `rows` - 1 empty data rows.
  explicit MemoryTable(int cols, int rows = 2);
  int rows() const override { return rows_; }
  void setRows(int count) override;
  int cols() const override { return cols_; }
  std::string text(int row, int col) const override { return cell(row, col); }
  const std::string& cellText(int row, int col, std::string&) const override { return cell(row, col); }
  void setText(int row, int col, const std::string& text) override { cell(row, col) = text; }
  // A cell to write in place (std::out_of_range outside the table).
  std::string& at(int row, int col) { return cell(row, col); }
  // Sets a cell to a text given up by its owner.
  void moveText(int row, int col, std::string&& text) { cell(row, col) = std::move(text); }

 private:
  // The cell, checked to lie in the table (std::out_of_range otherwise).
  const std::string& cell(int row, int col) const;
  std::string& cell(int row, int col) {
    return const_cast<std::string&>(static_cast<const MemoryTable&>(*this).cell(row, col));
  }

  int cols_;
  int rows_ = 0;
  std::vector<std::string> cells_;  // row after row, cols_ cells each
};

// The texts of the four parameter fields.
struct ParameterFields {
  std::string known;         // number of known points (已知点)
  std::string unknown;       // number of unknown points (待定点)
  std::string observations;  // number of observations (观测值)
  std::string unitLength;    // unit-weight route length, km (单位权长度)
};

// Column counts of the two tables, column 0 included.
inline constexpr int kPointColumns = 3;        // 序号, 点号, 高程(m)
inline constexpr int kObservationColumns = 5;  // 序号, 起点, 终点, 观测值(m), 水准路线长度(km)

// The network as entered: fields and the two tables held in memory.
struct NetworkText {
  ParameterFields fields;
  MemoryTable points{kPointColumns};
  MemoryTable observations{kObservationColumns};
};

}  // namespace levelnet
