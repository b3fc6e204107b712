#include "adjust/results_export.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "network/gbk.h"
#include "network/input_error.h"

#ifdef LEVELNET_WITH_XLSX
#include <xlsxwriter.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#endif

namespace levelnet {

namespace {

// Converts a whole export to GBK; the names are the only texts that may not
// fit, so the message points at them.
std::string encoded(std::string utf8, ResultsEncoding encoding) {
  if (encoding == ResultsEncoding::utf8) return utf8;
  std::optional<std::string> gbk = utf8ToGbk(utf8);
  if (!gbk) throw InputError("点名含有 GBK 编码无法表示的字符，成果表请改用 --encoding utf-8");
  return std::move(*gbk);
}

// ---- CSV ----

void appendCsvField(std::string& out, std::string_view field) {
  const bool quoted = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                      (!field.empty() &&
                       (field.front() == ' ' || field.front() == '\t' || field.back() == ' ' || field.back() == '\t'));
  if (!quoted) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

template <typename Fields>
void appendCsvFields(std::string& out, const Fields& fields) {
  bool first = true;
  for (std::string_view f : fields) {
    if (!first) out.push_back(',');
    first = false;
    appendCsvField(out, f);
  }
  out.append("\r\n");
}

void appendCsvRow(std::string& out, std::initializer_list<std::string_view> fields) { appendCsvFields(out, fields); }
void appendCsvRow(std::string& out, const std::vector<std::string>& fields) { appendCsvFields(out, fields); }

// The observation table's header and rows, with the check's r and w (τ)
// where they were added; shared by CSV, text and XLSX.
bool hasCheckFigures(const ResultsTable& table) { return !table.testStatisticName.empty(); }

std::vector<std::string> observationHeader(const ResultsTable& table) {
  std::vector<std::string> header = {"序号", "起点", "终点", "观测高差(m)", "路线长度(km)", "改正数(mm)", "平差值(m)"};
  if (hasCheckFigures(table)) {
    header.push_back("多余观测分量 r");
    header.push_back("统计量 " + table.testStatisticName);
  }
  return header;
}

std::vector<std::string> observationRow(const ResultsTable& table, const ObservationResult& o) {
  std::vector<std::string> row = {std::to_string(o.number), o.from, o.to, o.observedDifference.text,
                                  o.routeLength.text, o.correction.text, o.adjustedDifference.text};
  if (hasCheckFigures(table)) {
    row.push_back(o.redundancyText);
    row.push_back(o.testStatisticText);
  }
  return row;
}

const char* pointKind(const PointResult& p) { return p.known ? "已知点" : "待定点"; }

// The rows of the precision summary, label and text, shared by CSV and XLSX.
struct SummaryRow {
  std::string label;
  std::string text;
  std::optional<double> value;  // the figure the text shows; none for a name or "—"
  int decimals = 0;
};

std::optional<double> shownFigure(const std::string& text) {
  if (text == kNoValueText) return std::nullopt;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return v;
}

std::vector<SummaryRow> summaryRows(const PrecisionSummary& s) {
  return {
      {"单位权中误差 μ(mm)", s.unitWeightError.text, shownFigure(s.unitWeightError.text), 3},
      {"每公里高差中误差(mm)", s.errorPerKilometre.text, shownFigure(s.errorPerKilometre.text), 3},
      {"最弱点高程中误差 M_max(mm)", s.maxPointErrorText, shownFigure(s.maxPointErrorText), 1},
      {"最弱点", s.maxPointError ? s.maxPointErrorName : std::string(kNoValueText), std::nullopt, 0},
      {"平均高程中误差 M_mean(mm)", s.meanPointErrorText, shownFigure(s.meanPointErrorText), 1},
      {"观测值个数 n", std::to_string(s.observationCount), s.observationCount, 0},
      {"待定点个数 t", std::to_string(s.parameterCount), s.parameterCount, 0},
      {"多余观测数 f=n-t", std::to_string(s.redundancy), s.redundancy, 0},
  };
}

// ---- JSON ----

void appendJsonString(std::string& out, std::string_view text) {
  if (firstInvalidUtf8(text)) throw InputError("成果表无法写成 JSON：点名“" + std::string(text) + "”不是有效的 UTF-8");
  out.push_back('"');
  for (char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(ch);
    } else if (c < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out.append("\\u00");
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else {
      out.push_back(ch);
    }
  }
  out.push_back('"');
}

// "name": as the start of a member, after a comma unless it is the first.
class JsonObject {
 public:
  explicit JsonObject(std::string& out) : out_(out) { out_.push_back('{'); }
  void key(std::string_view name) {
    if (!first_) out_.push_back(',');
    first_ = false;
    appendJsonString(out_, name);
    out_.push_back(':');
  }
  void number(std::string_view name, double v) {
    key(name);
    out_.append(shortestNumberText(v));
  }
  void number(std::string_view name, const std::optional<double>& v) {
    key(name);
    out_.append(v ? shortestNumberText(*v) : "null");
  }
  void integer(std::string_view name, int v) {
    key(name);
    out_.append(std::to_string(v));
  }
  void text(std::string_view name, std::string_view v) {
    key(name);
    appendJsonString(out_, v);
  }
  void boolean(std::string_view name, bool v) {
    key(name);
    out_.append(v ? "true" : "false");
  }
  void result(std::string_view name, const ResultNumber& r) {
    number(name, r.value);
    text(std::string(name) + "Text", r.text);
  }
  void close() { out_.push_back('}'); }

 private:
  std::string& out_;
  bool first_ = true;
};

// ---- fixed-width text ----

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

std::string shortestNumberText(double v) {
  if (!std::isfinite(v)) throw InputError("成果表无法写出：计算中出现了无穷大或非数");
  if (v == 0.0) return "0";
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  if (ec != std::errc()) throw InputError("成果表无法写出：数值无法转换为文本");
  return std::string(buf, end);
}

std::string resultsCsv(const ResultsTable& table, ResultsEncoding encoding) {
  std::string out;
  if (encoding == ResultsEncoding::utf8) out.append("\xEF\xBB\xBF");
  appendCsvRow(out, {"点成果"});
  appendCsvRow(out, {"序号", "点号", "类型", "高程(m)", "中误差(mm)"});
  for (const PointResult& p : table.points)
    appendCsvRow(out, {std::to_string(p.number), p.name, pointKind(p), p.elevation.text, p.standardErrorText});
  out.append("\r\n");
  appendCsvRow(out, {"观测值"});
  appendCsvRow(out, observationHeader(table));
  for (const ObservationResult& o : table.observations) appendCsvRow(out, observationRow(table, o));
  out.append("\r\n");
  appendCsvRow(out, {"精度评定"});
  appendCsvRow(out, {"项目", "值"});
  for (const SummaryRow& row : summaryRows(table.precision)) appendCsvRow(out, {row.label, row.text});
  return encoded(std::move(out), encoding);
}

std::string resultsJson(const ResultsTable& table) {
  std::string out;
  out.append("{\"points\":[");
  for (std::size_t i = 0; i < table.points.size(); ++i) {
    const PointResult& p = table.points[i];
    if (i > 0) out.push_back(',');
    out.append("\n");
    JsonObject o(out);
    o.integer("number", p.number);
    o.text("name", p.name);
    o.boolean("known", p.known);
    o.result("elevation", p.elevation);
    o.number("standardError", p.standardError);
    o.text("standardErrorText", p.standardErrorText);
    o.close();
  }
  out.append("],\n\"observations\":[");
  for (std::size_t i = 0; i < table.observations.size(); ++i) {
    const ObservationResult& ob = table.observations[i];
    if (i > 0) out.push_back(',');
    out.append("\n");
    JsonObject o(out);
    o.integer("number", ob.number);
    o.text("from", ob.from);
    o.text("to", ob.to);
    o.result("observedDifference", ob.observedDifference);
    o.result("routeLength", ob.routeLength);
    o.result("correction", ob.correction);
    o.result("adjustedDifference", ob.adjustedDifference);
    if (hasCheckFigures(table)) {
      o.number("redundancy", ob.redundancy);
      o.text("redundancyText", ob.redundancyText);
      o.number("testStatistic", ob.testStatistic);
      o.text("testStatisticText", ob.testStatisticText);
    }
    o.close();
  }
  out.append("],\n\"precision\":");
  const PrecisionSummary& s = table.precision;
  JsonObject o(out);
  o.result("unitWeightError", s.unitWeightError);
  o.result("errorPerKilometre", s.errorPerKilometre);
  o.number("maxPointError", s.maxPointError);
  o.text("maxPointErrorText", s.maxPointErrorText);
  if (s.maxPointError)
    o.text("maxPointErrorName", s.maxPointErrorName);
  else {
    o.key("maxPointErrorName");
    out.append("null");
  }
  o.number("meanPointError", s.meanPointError);
  o.text("meanPointErrorText", s.meanPointErrorText);
  o.integer("observationCount", s.observationCount);
  o.integer("parameterCount", s.parameterCount);
  o.integer("redundancy", s.redundancy);
  if (hasCheckFigures(table)) o.text("testStatisticName", table.testStatisticName);
  o.close();
  out.append("}\n");
  return out;
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
  const PrecisionSummary& s = table.precision;
  out.append("\r\n三、精度评定\r\n");
  out.append("单位权中误差 μ = ±" + s.unitWeightError.text + " mm\r\n");
  out.append("每公里高差中误差 = ±" + s.errorPerKilometre.text + " mm\r\n");
  if (s.maxPointError) {
    out.append("最弱点高程中误差 M_max = ±" + s.maxPointErrorText + " mm（" + s.maxPointErrorName + "）\r\n");
    out.append("平均高程中误差 M_mean = ±" + s.meanPointErrorText + " mm\r\n");
  } else {
    out.append("最弱点高程中误差 M_max = —（没有待定点）\r\n");
    out.append("平均高程中误差 M_mean = —\r\n");
  }
  out.append("观测值个数 n = " + std::to_string(s.observationCount) + "，待定点个数 t = " +
             std::to_string(s.parameterCount) + "，多余观测数 f = n - t = " + std::to_string(s.redundancy) + "\r\n");
  return encoded(std::move(out), encoding);
}

#ifdef LEVELNET_WITH_XLSX

namespace {

// A folder of our own under the system's temporary folder (TMPDIR), made
// exclusively under a fresh random name and readable by the owner only; the
// workbook and libxlsxwriter's own scratch files live in it, and it is
// removed with everything in it when the workbook has been read back. The
// user's target is never written by the library.
class PrivateTemporaryFolder {
 public:
  PrivateTemporaryFolder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) throw InputError("无法生成 XLSX：找不到临时文件夹（" + ec.message() + "）");
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char name[40];
      std::snprintf(name, sizeof name, "levelnet-xlsx-%08x%08x", random(), random());
      const fs::path candidate = base / name;
      // create_directory makes a new folder or reports that the name is
      // taken (by anything, a link included); it never reuses one.
      if (fs::create_directory(candidate, ec)) {
        fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
        if (ec) {
          fs::remove(candidate, ec);
          break;
        }
        path_ = candidate;
        return;
      }
      if (ec && ec != std::errc::file_exists) break;
    }
    throw InputError("无法生成 XLSX：无法在临时文件夹“" + base.string() + "”中建立工作文件夹" +
                     (ec ? "（" + ec.message() + "）" : std::string()));
  }
  ~PrivateTemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PrivateTemporaryFolder(const PrivateTemporaryFolder&) = delete;
  PrivateTemporaryFolder& operator=(const PrivateTemporaryFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Fails the export on the first call of libxlsxwriter that fails.
void require(lxw_error error) {
  if (error != LXW_NO_ERROR) throw InputError(std::string("无法生成 XLSX：") + lxw_strerror(error));
}

// A figure as the number its text shows ("1.3170" is 1.317), so that a sheet
// sums and displays exactly what the report prints.
double figureOf(const ResultNumber& r) { return shownFigure(r.text).value_or(r.value); }

class Workbook {
 public:
  Workbook(const std::string& path, const std::string& scratch) : scratch_(scratch) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_FALSE;
    options.tmpdir = scratch_.data();
    book_ = workbook_new_opt(path.c_str(), &options);
    if (!book_) throw InputError("无法生成 XLSX：无法建立工作簿");
  }
  ~Workbook() {
    if (book_) workbook_close(book_);
  }
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  lxw_workbook* get() { return book_; }
  lxw_worksheet* sheet(const char* name) {
    lxw_worksheet* s = workbook_add_worksheet(book_, name);
    if (!s) throw InputError(std::string("无法生成 XLSX：无法建立工作表“") + name + "”");
    return s;
  }
  lxw_format* format(const char* numberFormat, bool bold = false) {
    lxw_format* f = workbook_add_format(book_);
    if (!f) throw InputError("无法生成 XLSX：内存不足");
    if (numberFormat) format_set_num_format(f, numberFormat);
    if (bold) format_set_bold(f);
    return f;
  }
  void close() {
    lxw_workbook* book = book_;
    book_ = nullptr;
    require(workbook_close(book));
  }

 private:
  std::string scratch_;
  lxw_workbook* book_ = nullptr;
};

void writeHeader(lxw_worksheet* sheet, lxw_row_t row, std::initializer_list<const char*> titles, lxw_format* bold) {
  lxw_col_t col = 0;
  for (const char* t : titles) require(worksheet_write_string(sheet, row, col++, t, bold));
}

}  // namespace

bool xlsxAvailable() { return true; }

std::string resultsXlsx(const ResultsTable& table) {
  PrivateTemporaryFolder folder;
  const std::string target = (folder.path() / "results.xlsx").string();
  {
    Workbook book(target, folder.path().string());
    lxw_format* bold = book.format(nullptr, true);
    lxw_format* whole = book.format("0");
    const auto decimals = [&](int k) -> lxw_format* {
      static const char* const kMasks[] = {"0", "0.0", "0.00", "0.000", "0.0000"};
      return book.format(kMasks[k]);
    };
    lxw_format* metres4 = decimals(4);
    lxw_format* metres3 = decimals(3);
    lxw_format* tenths = decimals(1);
    lxw_format* hundredths = decimals(2);

    lxw_worksheet* points = book.sheet("点成果");
    writeHeader(points, 0, {"序号", "点号", "类型", "高程(m)", "中误差(mm)"}, bold);
    lxw_row_t row = 1;
    for (const PointResult& p : table.points) {
      require(worksheet_write_number(points, row, 0, p.number, whole));
      require(worksheet_write_string(points, row, 1, p.name.c_str(), nullptr));
      require(worksheet_write_string(points, row, 2, pointKind(p), nullptr));
      require(worksheet_write_number(points, row, 3, figureOf(p.elevation), metres4));
      if (p.standardError)
        require(worksheet_write_number(points, row, 4, shownFigure(p.standardErrorText).value_or(*p.standardError),
                                       tenths));
      else
        require(worksheet_write_string(points, row, 4, kNoValueText, nullptr));
      ++row;
    }
    require(worksheet_set_column(points, 0, 0, 6, nullptr));
    require(worksheet_set_column(points, 1, 2, 14, nullptr));
    require(worksheet_set_column(points, 3, 4, 12, nullptr));

    lxw_worksheet* observations = book.sheet("观测值");
    const std::vector<std::string> header = observationHeader(table);
    for (std::size_t c = 0; c < header.size(); ++c)
      require(worksheet_write_string(observations, 0, static_cast<lxw_col_t>(c), header[c].c_str(), bold));
    row = 1;
    for (const ObservationResult& o : table.observations) {
      require(worksheet_write_number(observations, row, 0, o.number, whole));
      require(worksheet_write_string(observations, row, 1, o.from.c_str(), nullptr));
      require(worksheet_write_string(observations, row, 2, o.to.c_str(), nullptr));
      require(worksheet_write_number(observations, row, 3, figureOf(o.observedDifference), metres3));
      // The route length as given, in its general text's precision.
      require(worksheet_write_number(observations, row, 4, o.routeLength.value, nullptr));
      require(worksheet_write_number(observations, row, 5, figureOf(o.correction), tenths));
      require(worksheet_write_number(observations, row, 6, figureOf(o.adjustedDifference), metres4));
      if (hasCheckFigures(table)) {
        require(worksheet_write_number(observations, row, 7, shownFigure(o.redundancyText).value_or(0.0), metres3));
        if (o.testStatistic)
          require(worksheet_write_number(observations, row, 8, shownFigure(o.testStatisticText).value_or(0.0),
                                         hundredths));
        else
          require(worksheet_write_string(observations, row, 8, kNoValueText, nullptr));
      }
      ++row;
    }
    ++row;
    require(worksheet_write_string(observations, row++, 0, "精度评定", bold));
    for (const SummaryRow& s : summaryRows(table.precision)) {
      require(worksheet_write_string(observations, row, 0, s.label.c_str(), nullptr));
      if (s.value)
        require(worksheet_write_number(observations, row, 3, *s.value,
                                       s.decimals == 3   ? metres3
                                       : s.decimals == 1 ? tenths
                                                         : whole));
      else
        require(worksheet_write_string(observations, row, 3, s.text.c_str(), nullptr));
      ++row;
    }
    require(worksheet_set_column(observations, 0, 0, 6, nullptr));
    require(worksheet_set_column(observations, 1, 2, 14, nullptr));
    require(worksheet_set_column(observations, 3, hasCheckFigures(table) ? 8 : 6, 13, nullptr));
    book.close();
  }
  std::ifstream in(target, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw InputError("无法生成 XLSX：无法读回临时工作簿");
  if (bytes.empty()) throw InputError("无法生成 XLSX：临时工作簿是空的");
  return bytes;
}

#else
bool xlsxAvailable() { return false; }

std::string resultsXlsx(const ResultsTable&) {
  throw InputError("这个版本没有编译 XLSX 导出（需要 libxlsxwriter），请改用 --format csv");
}
#endif

}  // namespace levelnet
