#include "print/report_layout.h"

#include <algorithm>
#include <string_view>

namespace levelnet::print {

namespace {

std::u32string u32(std::string_view utf8) { return decodeUtf8(utf8); }

// Fills pages line by line.
class Composer {
 public:
  Composer() { pages.emplace_back(); }

  std::vector<std::vector<PageItem>> pages;

  bool fits(int lineCount) const { return used_ + lineCount <= kLinesPerPage; }
  bool atPageTop() const { return used_ == 0; }

  void newPage() {
    pages.emplace_back();
    used_ = 0;
  }

  // A part that starts on a page of its own.
  void startPart() {
    if (!atPageTop()) newPage();
  }

  void place(PageItem item) {
    if (!fits(item.lineCount)) newPage();
    item.firstLine = used_;
    used_ += item.lineCount;
    pages.back().push_back(std::move(item));
  }

  // An item filling the rest of the page.
  void fillPage(PageItem item) {
    item.firstLine = used_;
    item.lineCount = kLinesPerPage - used_;
    used_ = kLinesPerPage;
    pages.back().push_back(std::move(item));
  }

  // An empty line, left out at the top of a page.
  void blank() {
    if (!atPageTop() && used_ < kLinesPerPage) ++used_;
  }

  // Every piece of a wrapped line of `style`.
  void text(std::u32string_view line, LineStyle style, const CellWidth& cells, bool centered = false) {
    for (PageItem& item : wrapped(line, style, cells, centered)) place(std::move(item));
  }

  static std::vector<PageItem> wrapped(std::u32string_view line, LineStyle style, const CellWidth& cells,
                                       bool centered = false) {
    std::vector<PageItem> items;
    const std::vector<std::u32string> pieces = wrapCells(line, lineCells(style), kContinuationIndent, cells);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      PageItem item;
      item.style = style;
      item.lineCount = style == LineStyle::title ? 2 : 1;
      item.centered = centered;
      item.continuation = i > 0;
      item.indent = i > 0 ? kContinuationIndent : 0;
      item.text = pieces[i];
      items.push_back(std::move(item));
    }
    return items;
  }

 private:
  int used_ = 0;
};

struct TableContent {
  std::vector<std::pair<std::string, CellAlign>> header;
  std::vector<std::vector<std::string>> rows;
};

// Column widths: each as wide as its widest text; while the table is wider
// than a line the widest column gives up a cell (its texts then wrap), but
// never below four.
TableLayout tableLayout(const TableContent& content, const CellWidth& cells) {
  TableLayout layout;
  for (const auto& [title, align] : content.header) {
    TableColumn column;
    column.title = u32(title);
    column.align = align;
    column.cells = cellsOf(column.title, cells);
    layout.columns.push_back(std::move(column));
  }
  for (const std::vector<std::string>& row : content.rows)
    for (std::size_t c = 0; c < row.size() && c < layout.columns.size(); ++c)
      layout.columns[c].cells = std::max(layout.columns[c].cells, cellsOf(u32(row[c]), cells));
  constexpr int kNarrowest = 4;
  for (TableColumn& column : layout.columns) column.cells = std::max(column.cells, kNarrowest);
  auto width = [&] {
    int total = 0;
    for (const TableColumn& column : layout.columns) total += column.cells + 2;
    return total;
  };
  while (width() > kColumnsPerLine) {
    auto widest = std::max_element(layout.columns.begin(), layout.columns.end(),
                                   [](const TableColumn& a, const TableColumn& b) { return a.cells < b.cells; });
    if (widest->cells <= kNarrowest) break;
    --widest->cells;
  }
  layout.width = width();
  layout.x = std::max(0, (kColumnsPerLine - layout.width) / 2);
  int x = layout.x;
  for (TableColumn& column : layout.columns) {
    column.x = x;
    x += column.cells + 2;
  }
  return layout;
}

PageItem tableRow(const TableLayout& layout, int table, const std::vector<std::u32string>& texts, bool header,
                  const CellWidth& cells) {
  PageItem item;
  item.kind = PageItem::Kind::tableRow;
  item.table = table;
  item.header = header;
  item.lineCount = 1;
  for (std::size_t c = 0; c < layout.columns.size(); ++c) {
    const std::u32string text = c < texts.size() ? texts[c] : std::u32string();
    std::vector<std::u32string> lines = wrapCells(text, layout.columns[c].cells, 0, cells);
    item.lineCount = std::max(item.lineCount, static_cast<int>(lines.size()));
    item.cellLines.push_back(std::move(lines));
  }
  return item;
}

// A row higher than a page can hold, in parts of at most `room` lines.
std::vector<PageItem> splitRow(PageItem row, int room) {
  std::vector<PageItem> parts;
  while (row.lineCount > room) {
    PageItem part = row;
    part.lineCount = room;
    for (std::size_t c = 0; c < row.cellLines.size(); ++c) {
      std::vector<std::u32string>& lines = row.cellLines[c];
      const std::size_t taken = std::min<std::size_t>(lines.size(), static_cast<std::size_t>(room));
      part.cellLines[c].assign(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(taken));
      lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    row.lineCount -= room;
    parts.push_back(std::move(part));
  }
  parts.push_back(std::move(row));
  return parts;
}

void placeTable(Composer& page, DocumentLayout& layout, std::string_view heading, const TableContent& content,
                const CellWidth& cells) {
  const int table = static_cast<int>(layout.tables.size());
  layout.tables.push_back(tableLayout(content, cells));
  const TableLayout& geometry = layout.tables.back();
  std::vector<std::u32string> titles;
  for (const TableColumn& column : geometry.columns) titles.push_back(column.title);
  const PageItem header = tableRow(geometry, table, titles, true, cells);
  const int room = std::max(1, kLinesPerPage - header.lineCount);

  std::vector<PageItem> rows;
  for (const std::vector<std::string>& texts : content.rows) {
    std::vector<std::u32string> decoded;
    for (const std::string& text : texts) decoded.push_back(u32(text));
    for (PageItem& part : splitRow(tableRow(geometry, table, decoded, false, cells), room))
      rows.push_back(std::move(part));
  }

  const std::vector<PageItem> headingLines = Composer::wrapped(u32(heading), LineStyle::heading, cells);
  const int opening =
      static_cast<int>(headingLines.size()) + header.lineCount + (rows.empty() ? 0 : rows.front().lineCount);
  if (!page.fits(opening)) page.newPage();
  for (const PageItem& line : headingLines) page.place(line);
  page.place(header);
  for (PageItem& row : rows) {
    if (!page.fits(row.lineCount)) {
      page.newPage();
      page.place(header);
    }
    page.place(std::move(row));
  }
  page.blank();
}

// The lines of a text, without their line ends; a last line end makes no
// empty line after it.
std::vector<std::string_view> textLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

void placeText(Composer& page, std::string_view heading, std::string_view text, const CellWidth& cells) {
  page.startPart();
  page.text(u32(heading), LineStyle::heading, cells);
  page.blank();
  for (std::string_view line : textLines(text)) page.text(u32(line), LineStyle::body, cells);
}

std::string pointKind(const PointResult& p) { return p.known ? "已知点" : "待定点"; }

}  // namespace

int lineCells(LineStyle style) {
  const double points = style == LineStyle::title     ? kTitlePoints
                        : style == LineStyle::heading ? kHeadingPoints
                                                      : kBodyPoints;
  return static_cast<int>(kColumnsPerLine * kBodyPoints / points);
}

DocumentLayout layoutReportDocument(const ReportDocument& document, const CellWidth& cells) {
  DocumentLayout layout;
  Composer page;

  // The title block.
  page.text(u32("水准网平差成果"), LineStyle::title, cells, true);
  page.blank();
  page.text(u32("文件：" + (document.fileName.empty() ? std::string("（未命名）") : document.fileName)),
            LineStyle::body, cells);
  page.text(u32("日期：" + document.date), LineStyle::body, cells);
  page.text(
      u32("已知点 " + std::to_string(document.knownCount) + " 个，待定点 " + std::to_string(document.unknownCount) +
          " 个，观测值 " + std::to_string(document.observationCount) + " 个"),
      LineStyle::body, cells);
  if (!document.grade.empty())
    page.text(u32("等级：" + document.grade), LineStyle::body, cells);
  else
    page.blank();
  page.blank();

  if (document.drawing) {
    page.text(u32("网图"), LineStyle::heading, cells);
    PageItem picture;
    picture.kind = PageItem::Kind::picture;
    page.fillPage(std::move(picture));
    page.newPage();
  }

  const ResultsTable& results = document.results;
  TableContent points;
  points.header = {{"序号", CellAlign::right},
                   {"点号", CellAlign::left},
                   {"类型", CellAlign::center},
                   {"高程(m)", CellAlign::right},
                   {"中误差(mm)", CellAlign::right}};
  for (const PointResult& p : results.points)
    points.rows.push_back({std::to_string(p.number), p.name, pointKind(p), p.elevation.text, p.standardErrorText});
  placeTable(page, layout, "一、点成果表", points, cells);

  TableContent observations;
  observations.header = {{"序号", CellAlign::right},         {"起点", CellAlign::left},
                         {"终点", CellAlign::left},          {"观测高差(m)", CellAlign::right},
                         {"路线长度(km)", CellAlign::right}, {"改正数(mm)", CellAlign::right},
                         {"平差值(m)", CellAlign::right}};
  for (const ObservationResult& o : results.observations)
    observations.rows.push_back({std::to_string(o.number), o.from, o.to, o.observedDifference.text, o.routeLength.text,
                                 o.correction.text, o.adjustedDifference.text});
  placeTable(page, layout, "二、观测值成果表", observations, cells);

  // The precision summary, on one page.
  const std::vector<std::string> summary = precisionSummaryLines(results.precision);
  std::vector<PageItem> block = Composer::wrapped(u32("三、精度评定"), LineStyle::heading, cells);
  for (const std::string& line : summary)
    for (PageItem& item : Composer::wrapped(u32(line), LineStyle::body, cells)) block.push_back(std::move(item));
  if (!page.fits(static_cast<int>(block.size()))) page.newPage();
  for (PageItem& item : block) page.place(std::move(item));

  placeText(page, "四、平差报告", document.reportText, cells);
  if (!document.checkText.empty()) placeText(page, "五、检核报告", document.checkText, cells);

  layout.pages = std::move(page.pages);
  return layout;
}

}  // namespace levelnet::print
