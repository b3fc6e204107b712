// The 成果表 as fixed-width text, and the display width of a text.
#include <algorithm>
#include <string_view>

#include "adjust/results_columns.h"
#include "adjust/results_table.h"

namespace levelnet {

using namespace results_export;

namespace {

enum class Align { left, right };

struct Column {
  std::string header;
  Align align;
};

// Lays out a table whose columns are as wide as their widest cell, two
// blanks apart, padded by display columns.
void appendAlignedTable(std::string& out, const std::vector<Column>& columns,
                        const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> width(columns.size());
  for (std::size_t c = 0; c < columns.size(); ++c) width[c] = displayColumns(columns[c].header);
  for (const auto& row : rows)
    for (std::size_t c = 0; c < columns.size(); ++c) width[c] = std::max(width[c], displayColumns(row[c]));
  auto appendLine = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) line.append("  ");
      const std::size_t pad = width[c] - displayColumns(cells[c]);
      // Headers follow their column's alignment too, so a number's header
      // stands over its last digits.
      if (columns[c].align == Align::right) line.append(pad, ' ');
      line.append(cells[c]);
      if (columns[c].align == Align::left && c + 1 < columns.size()) line.append(pad, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out.append(line);
    out.append("\r\n");
  };
  std::vector<std::string> header;
  for (const Column& c : columns) header.push_back(c.header);
  appendLine(header);
  for (const auto& row : rows) appendLine(row);
}

// Decodes one UTF-8 character at `i`; an invalid byte is read as itself.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if ((c >= 0x80 && c < 0xC0) || i + extra >= s.size()) extra = 0;
  char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += 1 + extra;
  return cp;
}

bool isWide(char32_t cp) {
  return (cp >= 0x0391 && cp <= 0x0451) ||  // Greek and Cyrillic letters of GB 2312
         (cp >= 0x1100 && cp <= 0x115F) ||  // hangul jamo
         (cp >= 0x2010 && cp <= 0x2BFF) ||  // general punctuation, symbols, box drawing
         (cp >= 0x2E80 && cp <= 0xA4CF) ||  // CJK radicals, punctuation, kana, ideographs, Yi
         (cp >= 0xAC00 && cp <= 0xD7A3) ||  // hangul syllables
         (cp >= 0xE000 && cp <= 0xFAFF) ||  // private use (GBK's user area), compatibility ideographs
         (cp >= 0xFE30 && cp <= 0xFE4F) ||  // CJK compatibility forms
         (cp >= 0xFF00 && cp <= 0xFF60) ||  // full-width forms
         (cp >= 0xFFE0 && cp <= 0xFFE6) ||  // full-width signs
         (cp >= 0x20000 && cp <= 0x3FFFD);  // supplementary ideographs
}

}  // namespace

std::size_t displayColumns(std::string_view utf8) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < utf8.size();) columns += isWide(nextCodePoint(utf8, i)) ? 2 : 1;
  return columns;
}

std::string resultsText(const ResultsTable& table, ResultsEncoding encoding) {
  std::string out;
  out.append("水准网平差成果表\r\n\r\n一、点成果\r\n");
  std::vector<std::vector<std::string>> rows;
  for (const PointResult& p : table.points)
    rows.push_back({std::to_string(p.number), p.name, pointKind(p), p.elevation.text, p.standardErrorText});
  appendAlignedTable(out,
                     {{"序号", Align::right},
                      {"点号", Align::left},
                      {"类型", Align::left},
                      {"高程(m)", Align::right},
                      {"中误差(mm)", Align::right}},
                     rows);
  out.append("\r\n二、观测值\r\n");
  rows.clear();
  for (const ObservationResult& o : table.observations) rows.push_back(observationRow(table, o));
  std::vector<Column> columns;
  for (const std::string& title : observationHeader(table))
    columns.push_back({title, columns.size() == 1 || columns.size() == 2 ? Align::left : Align::right});
  appendAlignedTable(out, columns, rows);
  out.append("\r\n三、精度评定\r\n");
  for (const std::string& line : precisionSummaryLines(table.precision)) out.append(line + "\r\n");
  return encoded(std::move(out), encoding);
}

}  // namespace levelnet
