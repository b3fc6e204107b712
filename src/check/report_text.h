// The pieces the check's and the design's reports are written with: display
// widths of UTF-8 text, the numbers as the reports show them (never "inf" or
// "nan"), lines ending in CR LF, and tables whose columns widen to their
// longest cell: kept whole (ReportTable), or streamed row by row into the
// report writer's blocks (writeStreamedTable) for tables of every
// observation.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adjust/elimination_tasks.h"
#include "adjust/report_writer.h"
#include "network/errors.h"
#include "network/leveling_network.h"
#include "network/number_text.h"

namespace levelnet::report_text {

// Columns on a terminal or in a fixed-width font: a Chinese character (or
// any other non-ASCII one) takes two cells, an ASCII character one.
inline std::size_t displayWidth(std::string_view text) {
  std::size_t width = 0;
  for (unsigned char c : text) {
    if (c < 0x80)
      width += 1;
    else if ((c & 0xC0) != 0x80)
      width += 2;
  }
  return width;
}

inline std::string right(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : std::string(width - n, ' ') + text;
}

inline std::string left(const std::string& text, std::size_t width) {
  const std::size_t n = displayWidth(text);
  return n >= width ? text : text + std::string(width - n, ' ');
}

inline constexpr const char* kTask = "检核未完成";

// Numbers of the check report; one that is not finite refuses the check
// rather than show "inf" or "nan".
inline std::string fixed(double v, int decimals) {
  requireFinite(v, kTask);
  return fixedText(v, decimals);
}

inline std::string signedFixed(double v, int decimals) {
  std::string t = fixed(v, decimals);
  return t[0] == '-' ? t : "+" + t;
}

// A small positive level such as 0.00270 or 0.0000128: `digits` significant
// digits, never in exponent form.
inline std::string significant(double v, int digits) {
  requireFinite(v, kTask);
  if (!(v > 0.0)) return "0";
  const int decimals = std::clamp(digits - 1 - static_cast<int>(std::floor(std::log10(v))), 0, 30);
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, result.ptr);
}

inline std::string count(int n) { return std::to_string(n); }

class Lines {
 public:
  void add(const std::string& line) { text_ += line + "\r\n"; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// A table whose columns widen to their longest cell, so that numbers of any
// size stay aligned. A right-aligned column keeps `gap` blanks before its
// longest cell; `before` is written ahead of a column; the last column is
// never padded.
struct Column {
  std::string header;
  std::size_t width = 0;  // at least
  bool rightAligned = true;
  std::size_t gap = 2;
  std::string before;
};

inline Column numberColumn(std::string header, std::size_t width, std::size_t gap = 2) {
  return {std::move(header), width, true, gap, ""};
}

inline Column textColumn(std::string header, std::size_t width) { return {std::move(header), width, false, 0, "  "}; }

class ReportTable {
 public:
  explicit ReportTable(std::vector<Column> columns) : columns_(std::move(columns)) {}
  void add(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }

  void writeTo(Lines& out) const {
    std::vector<std::size_t> widths;
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const Column& column = columns_[c];
      const std::size_t gap = column.rightAligned ? column.gap : 0;
      std::size_t width = std::max(column.width, displayWidth(column.header) + gap);
      for (const auto& row : rows_) width = std::max(width, displayWidth(row[c]) + gap);
      widths.push_back(width);
    }
    auto line = [&](const auto& cellOf) {
      std::string text;
      for (std::size_t c = 0; c < columns_.size(); ++c) {
        const Column& column = columns_[c];
        const std::string& cell = cellOf(c);
        text += column.before;
        if (c + 1 == columns_.size())
          text += cell;
        else
          text += column.rightAligned ? right(cell, widths[c]) : left(cell, widths[c]);
      }
      out.add(text);
    };
    line([&](std::size_t c) -> const std::string& { return columns_[c].header; });
    for (const auto& row : rows_) line([&](std::size_t c) -> const std::string& { return row[c]; });
  }

 private:
  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

// The masks of fixed() without a call per digit: the text of writeFixedText
// (whole = floor(v * 10^decimals + 0.5), its digits, "." before the last
// `decimals` of them, at least one before it, "-" for a negative whole), two
// digits at a time. `decimals` is 0 to 4. putFixed writes it at `p` (room
// for kMaxNumberChars) and returns its end; fixedLength gives only its
// length. Both refuse a value that is not finite.
inline constexpr double kFixedScales[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline int decimalDigits(std::uint64_t d) {
  int n = 1;
  while (d >= 100) {
    d /= 100;
    n += 2;
  }
  return d >= 10 ? n + 1 : n;
}

inline constexpr std::uint64_t kFixedUnits[] = {1, 10, 100, 1000, 10000};

[[gnu::always_inline]] inline std::size_t fixedLength(double v, int decimals) {
  requireFinite(v, kTask);
  const double whole = std::floor(v * kFixedScales[decimals] + 0.5);
  if (!(std::fabs(whole) < 1e15)) {
    char buf[kMaxNumberChars];
    return writeFixedText(buf, v, decimals);
  }
  const std::uint64_t d = static_cast<std::uint64_t>(std::fabs(whole));
  return static_cast<std::size_t>(decimalDigits(d / kFixedUnits[decimals]) + decimals + (decimals > 0 ? 1 : 0) +
                                  (whole < 0.0 ? 1 : 0));
}

[[gnu::always_inline]] inline char* putFixed(char* p, double v, int decimals) {
  requireFinite(v, kTask);
  const double whole = std::floor(v * kFixedScales[decimals] + 0.5);
  if (!(std::fabs(whole) < 1e15)) return p + writeFixedText(p, v, decimals);
  const std::uint64_t d = static_cast<std::uint64_t>(std::fabs(whole));
  std::uint64_t integer = d / kFixedUnits[decimals], fraction = d % kFixedUnits[decimals];
  if (whole < 0.0) *p++ = '-';
  char* q = p + decimalDigits(integer);
  char* r = q;
  while (integer >= 100) {
    r -= 2;
    std::memcpy(r, kDigitPairs + 2 * (integer % 100), 2);
    integer /= 100;
  }
  if (integer >= 10) {
    r -= 2;
    std::memcpy(r, kDigitPairs + 2 * integer, 2);
  } else {
    *--r = static_cast<char>('0' + integer);
  }
  if (decimals == 0) return q;
  *q++ = '.';
  r = q + decimals;
  int left = decimals;
  for (; left >= 2; left -= 2) {
    r -= 2;
    std::memcpy(r, kDigitPairs + 2 * (fraction % 100), 2);
    fraction /= 100;
  }
  if (left == 1) *--r = static_cast<char>('0' + fraction % 10);
  return q + decimals;
}

// Short pieces (a cell, a point's name, a pad of blanks) are copied in one
// move of kShortCopy bytes, whatever their length, where the bytes after
// them may be read and written: the copy's tail is overwritten by what
// comes next. This spares a call of memcpy per cell, tens per row.
inline constexpr std::size_t kShortCopy = 16;

// Point names to copy into rows many times over (the points of every loop,
// the ends of every observation): one after another in one block, each
// after `separator`, with kShortCopy bytes to spare at the end.
class PackedNames {
 public:
  PackedNames(const std::vector<std::string>& names, std::string_view separator) : separator_(separator.size()) {
    std::size_t bytes = kShortCopy;
    for (const std::string& name : names) bytes += separator.size() + name.size();
    text_.reserve(bytes);
    begin_.reserve(names.size() + 1);
    for (const std::string& name : names) {
      begin_.push_back(text_.size());
      text_.append(separator);
      text_.append(name);
    }
    begin_.push_back(text_.size());
    text_.append(kShortCopy, '\0');
  }
  // Name i with the separator before it, and alone.
  std::string_view withSeparator(int i) const {
    return std::string_view(text_.data() + begin_[i], begin_[i + 1] - begin_[i]);
  }
  std::string_view name(int i) const {
    return std::string_view(text_.data() + begin_[i] + separator_, begin_[i + 1] - begin_[i] - separator_);
  }

 private:
  std::size_t separator_;
  std::string text_;
  std::vector<std::size_t> begin_;
};

// The cells of one row of a streamed table, formatted one after another
// into one buffer that is kept from row to row (no allocation per cell),
// with kShortCopy bytes to spare after the last. While measuring only the
// display width of each is kept: a number's is its length, found without
// writing it.
class RowCells {
 public:
  explicit RowCells(bool measuring = false) : measuring_(measuring), buffer_(512) {}
  bool measuring() const { return measuring_; }
  void clear() {
    size_ = 0;
    cells_ = 0;
    width_ = 0;
  }
  // Pieces of the cell being made; end() closes it.
  [[gnu::always_inline]] void append(std::string_view piece) {
    if (measuring_) {
      width_ += displayWidth(piece);
      return;
    }
    if (buffer_.size() - size_ < piece.size() + kShortCopy) grow(piece.size() + kShortCopy);
    std::memcpy(buffer_.data() + size_, piece.data(), piece.size());
    size_ += piece.size();
  }
  // A piece with kShortCopy bytes readable from its start (a name of
  // PackedNames).
  [[gnu::always_inline]] void appendPacked(std::string_view piece) {
    if (!measuring_ && piece.size() <= kShortCopy && buffer_.size() - size_ >= 2 * kShortCopy) {
      std::memcpy(buffer_.data() + size_, piece.data(), kShortCopy);
      size_ += piece.size();
      return;
    }
    append(piece);
  }
  [[gnu::always_inline]] void appendFixed(double v, int decimals) {
    if (measuring_) {
      width_ += fixedLength(v, decimals);
      return;
    }
    if (buffer_.size() - size_ < kMaxNumberChars + kShortCopy) grow(kMaxNumberChars + kShortCopy);
    char* p = buffer_.data() + size_;
    size_ += static_cast<std::size_t>(putFixed(p, v, decimals) - p);
  }
  [[gnu::always_inline]] void end() {
    if (cells_ == ends_.size()) {
      ends_.push_back(0);
      widths_.push_back(0);
    }
    ends_[cells_] = size_;
    widths_[cells_++] = width_;
    width_ = 0;
  }
  [[gnu::always_inline]] void text(std::string_view t) {
    append(t);
    end();
  }
  // As fixed(), signedFixed() and count() write them.
  [[gnu::always_inline]] void fixed(double v, int decimals) {
    appendFixed(v, decimals);
    end();
  }
  [[gnu::always_inline]] void signedFixed(double v, int decimals) {
    requireFinite(v, kTask);
    // "+" unless the text starts with "-": whole = floor(v 10^k + 0.5) < 0.
    if (!(std::floor(v * kFixedScales[decimals] + 0.5) < 0.0)) append("+");
    appendFixed(v, decimals);
    end();
  }
  [[gnu::always_inline]] void count(int n) {
    char buf[16];
    const auto result = std::to_chars(buf, buf + sizeof buf, n);
    append(std::string_view(buf, static_cast<std::size_t>(result.ptr - buf)));
    end();
  }

  std::size_t cells() const { return cells_; }
  // Cell c; kShortCopy bytes may be read from its start.
  std::string_view cell(std::size_t c) const {
    const std::size_t begin = c == 0 ? 0 : ends_[c - 1];
    return std::string_view(buffer_.data() + begin, ends_[c] - begin);
  }
  // The display width of cell c, kept while measuring.
  std::size_t width(std::size_t c) const { return widths_[c]; }

 private:
  void grow(std::size_t bytes) { buffer_.resize(std::max(2 * buffer_.size(), size_ + bytes + 256)); }
  bool measuring_;
  std::vector<char> buffer_;
  std::size_t size_ = 0, width_ = 0;
  std::vector<std::size_t> ends_, widths_;
  std::size_t cells_ = 0;
};

// The widths of a table's columns before any row is seen: at least the
// column's width and its header's (with the gap of a right-aligned one).
inline std::vector<std::size_t> headerWidths(const std::vector<Column>& columns) {
  std::vector<std::size_t> widths;
  for (const Column& column : columns)
    widths.push_back(std::max(column.width, displayWidth(column.header) + (column.rightAligned ? column.gap : 0)));
  return widths;
}

// Widens `widths` to the cells of one row (every column but the last, which
// is never padded).
inline void widenTo(std::vector<std::size_t>& widths, const std::vector<Column>& columns, const RowCells& cells) {
  for (std::size_t c = 0; c + 1 < columns.size(); ++c)
    widths[c] = std::max(widths[c], cells.width(c) + (columns[c].rightAligned ? columns[c].gap : 0));
}

// A table's columns as its lines lay them out, once their widths are known.
class LineLayout {
 public:
  LineLayout(const std::vector<Column>& columns, const std::vector<std::size_t>& widths) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const bool last = c + 1 == columns.size();
      columns_.push_back({columns[c].before + std::string(kShortCopy, ' '), columns[c].before.size(),
                          last ? 0 : widths[c], columns[c].rightAligned, last});
      fixedBytes_ += columns[c].before.size() + widths[c];
    }
  }

  // One line: each cell after its column's `before`, padded to its width as
  // ReportTable pads it, the last one as it is.
  void put(ReportLines& out, const RowCells& cells) const {
    std::size_t bytes = fixedBytes_ + kShortCopy;
    for (std::size_t c = 0; c < columns_.size(); ++c) bytes += cells.cell(c).size();
    char* p = out.room(bytes);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      const Placed& column = columns_[c];
      const std::string_view cell = cells.cell(c);
      p = copy(p, std::string_view(column.before.data(), column.beforeSize));
      const std::size_t width = column.last ? 0 : displayWidth(cell);
      const std::size_t pad = width < column.width ? column.width - width : 0;
      if (column.rightAligned) p = blanks(p, pad);
      p = copy(p, cell);
      if (!column.rightAligned) p = blanks(p, pad);
    }
    out.advance(p);
    out.endLine();
  }

 private:
  // Room for kShortCopy bytes past every piece is in `bytes` above.
  static char* copy(char* p, std::string_view piece) {
    if (piece.size() <= kShortCopy)
      std::memcpy(p, piece.data(), kShortCopy);
    else
      std::memcpy(p, piece.data(), piece.size());
    return p + piece.size();
  }
  static char* blanks(char* p, std::size_t count) {
    if (count <= kShortCopy)
      std::memset(p, ' ', kShortCopy);
    else
      std::memset(p, ' ', count);
    return p + count;
  }
  struct Placed {
    std::string before;  // the column's `before`, kShortCopy blanks after it
    std::size_t beforeSize;
    std::size_t width;
    bool rightAligned;
    bool last;
  };
  std::vector<Placed> columns_;
  std::size_t fixedBytes_ = 0;
};

// A table of rows first..last as ReportTable writes it, without keeping its
// cells: `row(i, cells, measuring)` puts the cells of row i into `cells`,
// every column's; when `measuring` it may leave out the last column, which
// is never padded. The rows are made twice: once for the widths of the
// columns (measureStreamedTable, which also formats, and so refuses, every
// number the table prints; its rows shared among the cores), then for their
// text (writeStreamedTable), on two threads by turns (formatRowsInTurns), so
// `row` is called from any thread and must only read what it shares.
constexpr int kStreamedTableRows = 2048;

template <class Row>
std::vector<std::size_t> measureStreamedTable(const std::vector<Column>& columns, int first, int last, const Row& row) {
  std::vector<std::size_t> widths = headerWidths(columns);
  if (last < first) return widths;
  // A column's width is the largest of its rows', whichever thread measured
  // them: the rows are shared among the cores in chunks, each worker keeps
  // its own widths, and the largest of those are the table's.
  const int workers = workerCount();
  std::vector<std::vector<std::size_t>> found(static_cast<std::size_t>(workers), widths);
  std::vector<RowCells> cells(static_cast<std::size_t>(workers), RowCells(true));
  forEachChunk(static_cast<std::size_t>(last - first) + 1, kStreamedTableRows, workers,
               [&](std::size_t begin, std::size_t end, int worker) {
                 for (std::size_t i = begin; i < end; ++i) {
                   cells[worker].clear();
                   row(first + static_cast<int>(i), cells[worker], true);
                   widenTo(found[worker], columns, cells[worker]);
                 }
               });
  for (const std::vector<std::size_t>& mine : found)
    for (std::size_t c = 0; c < widths.size(); ++c) widths[c] = std::max(widths[c], mine[c]);
  return widths;
}

template <class Row>
void writeStreamedTable(ReportLines& out, const std::vector<Column>& columns, const std::vector<std::size_t>& widths,
                        int first, int last, const Row& row) {
  const LineLayout layout(columns, widths);
  RowCells cells[2];
  for (const Column& column : columns) cells[0].text(column.header);
  layout.put(out, cells[0]);
  formatRowsInTurns(out, first, last, kStreamedTableRows, [&](int i0, int i1, ReportLines& into, int worker) {
    RowCells& mine = cells[worker];
    for (int i = i0; i <= i1; ++i) {
      mine.clear();
      row(i, mine, false);
      layout.put(into, mine);
    }
  });
}

inline std::string observationName(const LevelingNetwork& net, int k) {
  return net.pointName[net.fromPoint[k]] + "→" + net.pointName[net.toPoint[k]];
}

// "第 13、22 个"
inline std::string observationNumbers(const std::vector<int>& numbers) {
  std::string text = "第 ";
  for (std::size_t i = 0; i < numbers.size(); ++i) text += (i ? "、" : "") + count(numbers[i]);
  return text + " 个";
}

}  // namespace levelnet::report_text
