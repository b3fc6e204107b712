// How many rows a count field gives its table (no Qt): the count plus the
// header row, rounded to the nearest whole number with halves going to the
// even neighbour, so 2.5 points give 4 rows (3.5 rounds to 4).
#pragma once

namespace levelnet::ui {

// Largest row count a count field or a file may give a table, header row
// included. A grid of more rows takes so long to build and number that the
// window would stop answering.
inline constexpr int kMaxTableRows = 100001;

enum class TableRows {
  ok,
  tooFew,   // not even the header row would remain
  tooMany,  // more than kMaxTableRows
};

// The rows a count gives: count + 1 rounded half to even, when that is
// from 1 to kMaxTableRows.
struct TableRowCount {
  TableRows status = TableRows::ok;
  int rows = 0;  // when status is ok
};
TableRowCount tableRowsFor(double count);

}  // namespace levelnet::ui
