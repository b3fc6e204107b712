// Where everything of the printed report goes, decided before anything is
// painted (the footer "第 x 页 共 y 页" needs the number of pages), in whole
// lines and cells, so the same document has the same pages at any printer
// resolution. No Qt: painting is report_document.cpp's.
//
// The page: A4 portrait, margins 25 mm left (for binding), 15 mm right,
// 20 mm top and bottom. The text area holds kLinesPerPage lines of 12 pt
// and kColumnsPerLine cells of 4.5 pt: the body font is 9 pt (小五) and a
// Latin letter or digit is half as wide as it is high, a Chinese character
// twice that. Every line of the body takes one line; the title two.
//
// The order of the parts:
// 1. Page 1 starts with the title block, kTitleBlockSlots lines: the title
//    (two lines), an empty line, 文件, 日期, the counts, 等级 (an empty line
//    when no grade is given) and an empty line; a file name too long for
//    one line makes it longer.
// 1a. When the document has a 网图, the heading 网图 and the picture
//    fill the rest of page 1 (the whole picture with its legend); the
//    tables start on page 2.
// 2. 一、点成果表 and 二、观测值成果表: a heading line, the header row and one
//    line a row (more when a cell must wrap). A table starts on a new page
//    unless its heading, header and first row fit; a row that does not fit
//    goes to the next page, which starts with the header row again. An
//    empty line follows each table.
// 3. 三、精度评定: a heading and five lines, kept on one page.
// 4. 四、平差报告 on a new page: a heading, an empty line, then every line of
//    the report, wrapped by wrapCells to kColumnsPerLine cells with
//    continuations kContinuationIndent cells in.
// 5. 五、检核报告, when the document has one, likewise on a new page.
// An empty line that would start a page is left out (the report's own
// empty lines are kept).
#pragma once

#include <string>
#include <vector>

#include "print/report_document.h"
#include "print/text_cells.h"

namespace levelnet::print {

inline constexpr double kPageWidthMm = 210.0;
inline constexpr double kPageHeightMm = 297.0;
inline constexpr double kLeftMarginMm = 25.0;
inline constexpr double kRightMarginMm = 15.0;
inline constexpr double kTopMarginMm = 20.0;
inline constexpr double kBottomMarginMm = 20.0;
inline constexpr double kPointsPerMm = 72.0 / 25.4;

inline constexpr double kBodyPoints = 9.0;      // 小五
inline constexpr double kHeadingPoints = 10.5;  // 五号
inline constexpr double kTitlePoints = 16.0;    // 三号
inline constexpr double kLinePoints = 12.0;     // one line of the page
inline constexpr double kCellPoints = kBodyPoints / 2;

inline constexpr int kColumnsPerLine =
    static_cast<int>((kPageWidthMm - kLeftMarginMm - kRightMarginMm) * kPointsPerMm / kCellPoints);
inline constexpr int kLinesPerPage =
    static_cast<int>((kPageHeightMm - kTopMarginMm - kBottomMarginMm) * kPointsPerMm / kLinePoints);
static_assert(kColumnsPerLine == 107 && kLinesPerPage == 60, "the documented page grid");

inline constexpr int kContinuationIndent = 4;
inline constexpr int kTitleBlockSlots = 8;

enum class LineStyle { title, heading, body };
enum class CellAlign { left, right, center };

struct TableColumn {
  std::u32string title;
  CellAlign align = CellAlign::left;
  int cells = 0;  // the text's room; the column's box has one cell of padding on either side
  int x = 0;      // the box's first cell, counted from the text area's left edge
};

struct TableLayout {
  std::vector<TableColumn> columns;
  int x = 0;      // the table's first cell
  int width = 0;  // cells, every box included
};

// One thing on a page, `lineCount` lines high from line `firstLine` (0 at the top of
// the text area).
struct PageItem {
  // A picture: the document's 网图, painted in the lines it spans.
  enum class Kind { text, tableRow, picture };
  Kind kind = Kind::text;
  int firstLine = 0;
  int lineCount = 1;

  // A line of text: `text` printed `indent` cells in; centred when `centered`.
  LineStyle style = LineStyle::body;
  bool centered = false;
  int indent = 0;
  bool continuation = false;  // goes on from the line above
  std::u32string text;

  // A row of table `table`: for every column its lines, top to bottom.
  int table = -1;
  bool header = false;
  std::vector<std::vector<std::u32string>> cellLines;
};

struct DocumentLayout {
  std::vector<TableLayout> tables;
  std::vector<std::vector<PageItem>> pages;  // never empty
};

// The widths of the lines of the styles, in cells of their own size.
int lineCells(LineStyle style);

// Lays out `document` with `cells` telling how wide each character is.
DocumentLayout layoutReportDocument(const ReportDocument& document, const CellWidth& cells);

}  // namespace levelnet::print
