#include "network/project_file.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "network/errors.h"
#include "network/gbk.h"
#include "network/leveling_network.h"
#include "network/number_text.h"
#include "network/safe_file.h"

namespace levelnet {
namespace {

std::string quoted(const std::string& text) { return "“" + text + "”"; }

// One item of the file as read: a view into the decoded text.
struct Item {
  std::string_view text;
  bool quoted = false;
  int line = 1;
};

// Reads the item stream of a decoded file. Items are separated by a comma or
// a line end (CR LF, LF or CR); blanks in front of an item are skipped; a
// quoted item is exactly the text between its quotes, anything after the
// closing quote up to the next separator is dropped; an unquoted item loses
// its trailing blanks. After a final comma comes one empty item; a line end at
// the very end of the file starts none.
class ItemReader {
 public:
  ItemReader(std::string_view text, const std::string& fileName) : text_(text), fileName_(fileName) {
    more_ = !text_.empty();
  }

  // The bytes not read yet.
  std::size_t bytesLeft() const { return text_.size() - pos_; }

  // `what` gives the words for the message of a file that ends before the
  // item; it is called only then.
  template <class What>
  Item next(const What& what) {
    if (!more_) endedEarly(what());
    Item item;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    item.line = line_;
    if (pos_ < text_.size() && text_[pos_] == '"') {
      const std::size_t close = text_.find('"', pos_ + 1);
      if (close == std::string_view::npos) endedEarly(what());
      item.text = text_.substr(pos_ + 1, close - pos_ - 1);
      item.quoted = true;
      countLineEnds(pos_ + 1, close);
      pos_ = close + 1;
      while (pos_ < text_.size() && !isSeparator(text_[pos_])) ++pos_;
    } else {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && !isSeparator(text_[pos_])) ++pos_;
      std::size_t end = pos_;
      while (end > start && (text_[end - 1] == ' ' || text_[end - 1] == '\t')) --end;
      item.text = text_.substr(start, end - start);
    }
    consumeSeparator();
    return item;
  }

 private:
  static bool isSeparator(char c) { return c == ',' || c == '\r' || c == '\n'; }

  void consumeSeparator() {
    if (pos_ >= text_.size()) {
      more_ = false;
      return;
    }
    if (text_[pos_] == ',') {
      ++pos_;
      more_ = true;  // even at the very end: one empty item follows
      return;
    }
    if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ++pos_;
    ++pos_;
    more_ = pos_ < text_.size();
    if (more_) ++line_;  // a line end at the very end starts no line
  }

  void countLineEnds(std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (text_[i] == '\n' || (text_[i] == '\r' && !(i + 1 < to && text_[i + 1] == '\n'))) ++line_;
    }
  }

  [[noreturn]] void endedEarly(const std::string& what) {
    throw InputError("文件" + quoted(fileName_) + "第 " + std::to_string(line_) + " 行：文件在" + what +
                     "之前就结束了，数据不完整");
  }

  std::string_view text_;
  const std::string& fileName_;
  std::size_t pos_ = 0;
  int line_ = 1;
  bool more_ = true;
};

// Observed differences this large keep the file's text: in the mask they
// would fill hundreds of digits, and the run refuses them anyway.
constexpr double kLargestMaskedDifference = 1e15;

// The text an item shows: a number (unquoted) in its general text, or in the
// mask "0.0000" for an observed difference; anything else unchanged.
// A plain decimal's text is found from its digits (plainNumberText), every
// other number's through its value.
void setShownText(std::string& out, const Item& item, bool observedDifference) {
  if (item.quoted) {
    out.assign(item.text);
    return;
  }
  if (observedDifference ? plainFixedText4(item.text, out) : plainNumberText(item.text, out)) return;
  const std::optional<double> value = parseNumber(item.text);
  if (!value)
    out.assign(item.text);
  else if (!observedDifference)
    out = numberText(*value);
  else if (std::fabs(*value) < kLargestMaskedDifference)
    out = fixedText(*value, 4);
  else
    out.assign(item.text);
}

std::string shownText(const Item& item, bool observedDifference) {
  std::string out;
  setShownText(out, item, observedDifference);
  return out;
}

// A header count: empty, or a whole number from 0 upwards. A quoted count is
// read as its text.
double headerCount(const Item& item, const char* label, const std::string& fileName) {
  if (item.text.empty()) return 0.0;
  const std::optional<double> value = parseNumber(item.text);
  if (!value || !isCount(*value))
    throw InputError("文件" + quoted(fileName) + "第 " + std::to_string(item.line) + " 行：" + label + "个数" +
                     quoted(std::string(item.text)) + "不是 0 或正整数");
  return *value;
}

// The line (from 1) of a byte offset in undecoded file bytes; GBK trail bytes
// are never CR or LF, so the line ends can be counted on the raw bytes.
int lineOfOffset(std::string_view bytes, std::size_t offset) {
  int line = 1;
  for (std::size_t i = 0; i < offset && i < bytes.size(); ++i) {
    if (bytes[i] == '\n' || (bytes[i] == '\r' && !(i + 1 < bytes.size() && bytes[i + 1] == '\n'))) ++line;
  }
  return line;
}

std::string hexBytes(std::string_view bytes, std::size_t offset) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = offset; i < bytes.size() && i < offset + 2; ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (!out.empty()) out += ' ';
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

[[noreturn]] void notInEncoding(std::string_view bytes, std::size_t bad, const std::string& name, const char* encoding,
                                const char* hint) {
  throw InputError("文件" + quoted(name) + "第 " + std::to_string(lineOfOffset(bytes, bad)) + " 行：不是 " + encoding +
                   " 编码的文字（字节 " + hexBytes(bytes, bad) + "）" + hint);
}

// Decodes the file bytes into UTF-8 text and tells which encoding they were in.
std::string decodeFile(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                       FileEncoding& encoding, bool& ambiguous) {
  const EncodingGuess guess = forced ? EncodingGuess{*forced, false} : guessFileEncoding(bytes);
  encoding = guess.encoding;
  ambiguous = guess.ambiguous;
  if (encoding == FileEncoding::gbk) {
    DecodedText decoded = gbkToUtf8(bytes);
    if (!decoded.badOffset) return std::move(decoded.text);
    // Well-formed UTF-8 that is no GBK at all can only be UTF-8.
    if (forced || firstInvalidUtf8(bytes))
      notInEncoding(bytes, *decoded.badOffset, name, "GBK", forced ? "" : "，也不是 UTF-8");
    encoding = FileEncoding::utf8;
  }
  std::string_view body = bytes;
  if (body.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) body.remove_prefix(kUtf8ByteOrderMark.size());
  if (const std::optional<std::size_t> bad = firstInvalidUtf8(body))
    notInEncoding(bytes, *bad + (bytes.size() - body.size()), name, "UTF-8", "");
  return std::string(body);
}

}  // namespace

std::string decodeTextFile(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                           FileEncoding& encoding, bool& ambiguous) {
  return decodeFile(bytes, name, forced, encoding, ambiguous);
}

std::string encodingNote(const ProjectData& data, const std::string& name) {
  if (data.encodingAmbiguous)
    return "文件" + quoted(name) + "的字节按 GBK 和按 UTF-8 都读得通，已按平差文件的格式 GBK 读入；" +
           "若它是 UTF-8 编码的，请按 UTF-8 读入";
  if (data.encoding == FileEncoding::gbk) return std::string();
  return "文件" + quoted(name) + "按 UTF-8 编码读入；平差文件的格式是 GBK 编码，保存时将写成 GBK";
}

namespace {

// Where the rows read go: ProjectData's arrays of texts, or straight into
// the tables held in memory (row 0 the header, column 0 the serial number).
struct ProjectRows {
  ProjectData& data;
  void reserve(std::size_t points, std::size_t observations) {
    if (points) data.points.reserve(points);
    if (observations) data.observations.reserve(observations);
  }
  std::string* point() { return data.points.emplace_back().data(); }
  std::string* observation() { return data.observations.emplace_back().data(); }
  void finish() {}
};

struct TableRows {
  NetworkText& network;
  int points = 0, observations = 0;
  void reserve(std::size_t pointRows, std::size_t observationRows) {
    if (pointRows) network.points.setRows(static_cast<int>(pointRows) + 1);
    if (observationRows) network.observations.setRows(static_cast<int>(observationRows) + 1);
  }
  static std::string* nextRow(MemoryTable& table, int& row) {
    ++row;
    if (row >= table.rows()) table.setRows(std::max(row + 1, 2 * table.rows()));
    table.moveText(row, 0, std::to_string(row));
    return &table.at(row, 1);
  }
  std::string* point() { return nextRow(network.points, points); }
  std::string* observation() { return nextRow(network.observations, observations); }
  void finish() {
    network.points.setRows(points + 1);
    network.observations.setRows(observations + 1);
  }
};

// Reads the items of decoded text into `rows`; returns the header fields.
template <class Rows>
ParameterFields parseItems(const std::string& text, const std::string& name, NetworkLimits limits, Rows& rows) {
  ItemReader reader(text, name);
  const auto words = [](const char* text) { return [text] { return std::string(text); }; };
  const Item known = reader.next(words("读完已知点个数"));
  const Item unknown = reader.next(words("读完待定点个数"));
  const Item count = reader.next(words("读完观测值个数"));
  const Item unitLength = reader.next(words("读完单位权长度"));
  ParameterFields fields{shownText(known, false), shownText(unknown, false), shownText(count, false),
                         shownText(unitLength, false)};
  const double pointCount = headerCount(known, "已知点", name) + headerCount(unknown, "待定点", name);
  const double observationCount = headerCount(count, "观测值", name);
  // The limits hold before anything is stored, whatever the file announces.
  if (pointCount > limits.points)
    throw InputError("文件" + quoted(name) + "第 1 行：已知点与待定点共 " + numberText(pointCount) + " 个，超过 " +
                     std::to_string(limits.points) + " 个的上限");
  if (observationCount > limits.observations)
    throw InputError("文件" + quoted(name) + "第 1 行：观测值 " + numberText(observationCount) + " 个，超过 " +
                     std::to_string(limits.observations) + " 个的上限");

  // The counts are not trusted for sizes: a file that announces more items
  // than it holds ends early long before memory runs short. Room is made
  // for the rows announced, but never more than the bytes left can hold
  // (every item but the last takes at least its separator).
  const std::string announced =
      "（第 1 行声明 " + numberText(pointCount) + " 个点、" + numberText(observationCount) + " 个观测值）";
  const auto room = [&](double announcedRows, std::size_t items) {
    return static_cast<std::size_t>(std::min(announcedRows, static_cast<double>(reader.bytesLeft() / items)));
  };
  rows.reserve(room(pointCount, 2), 0);
  for (double i = 1; i <= pointCount; ++i) {
    const auto what = [&] { return "读完第 " + numberText(i) + " 个点" + announced; };
    const Item pointName = reader.next(what);
    const Item elevation = reader.next(what);
    std::string* row = rows.point();
    setShownText(row[0], pointName, false);
    setShownText(row[1], elevation, false);
  }
  rows.reserve(0, room(observationCount, 4));
  for (double j = 1; j <= observationCount; ++j) {
    const auto what = [&] { return "读完第 " + numberText(j) + " 个观测值" + announced; };
    std::string* row = rows.observation();
    for (int c = 0; c < 4; ++c) setShownText(row[c], reader.next(what), c == 2);
  }
  rows.finish();
  return fields;
}

}  // namespace

ProjectData parseProjectBytes(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits) {
  ProjectData data;
  const std::string text = decodeFile(bytes, name, forced, data.encoding, data.encodingAmbiguous);
  ProjectRows rows{data};
  data.fields = parseItems(text, name, limits, rows);
  return data;
}

ProjectData parseProjectBytes(std::string_view bytes, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits, NetworkText& network) {
  ProjectData data;
  const std::string text = decodeFile(bytes, name, forced, data.encoding, data.encodingAmbiguous);
  NetworkText read;
  TableRows rows{read};
  read.fields = parseItems(text, name, limits, rows);
  data.fields = read.fields;
  network = std::move(read);
  return data;
}

namespace {

std::string tooLargeMessage(const std::string& name, NetworkLimits limits) {
  return "文件" + quoted(name) + "超过 " + std::to_string(kMaxProjectFileBytes >> 20) +
         " MiB，不是平差文件（平差文件最多 " + std::to_string(limits.points) + " 个点、" +
         std::to_string(limits.observations) + " 个观测值）";
}

}  // namespace

ProjectData readProjectFile(const std::string& path, std::optional<FileEncoding> forced, NetworkLimits limits) {
  try {
    return parseProjectBytes(readBoundedFile(path, kMaxProjectFileBytes, tooLargeMessage(path, limits)), path, forced,
                             limits);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("文件" + quoted(path) + "：内存不足，无法读入");
  }
}

ProjectData readProjectFile(const std::string& path, std::optional<FileEncoding> forced, NetworkLimits limits,
                            NetworkText& network) {
  try {
    return parseProjectBytes(readBoundedFile(path, kMaxProjectFileBytes, tooLargeMessage(path, limits)), path, forced,
                             limits, network);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("文件" + quoted(path) + "：内存不足，无法读入");
  }
}

ProjectData readProjectStream(std::istream& in, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits, NetworkText& network) {
  try {
    return parseProjectBytes(readBoundedStream(in, name, kMaxProjectFileBytes, tooLargeMessage(name, limits)), name,
                             forced, limits, network);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("文件" + quoted(name) + "：内存不足，无法读入");
  }
}

ProjectData readProjectStream(std::istream& in, const std::string& name, std::optional<FileEncoding> forced,
                              NetworkLimits limits) {
  try {
    return parseProjectBytes(readBoundedStream(in, name, kMaxProjectFileBytes, tooLargeMessage(name, limits)), name,
                             forced, limits);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("文件" + quoted(name) + "：内存不足，无法读入");
  }
}

void applyProject(const ProjectData& data, ParameterFields& fields, TextTable& points, TextTable& observations) {
  fields = data.fields;
  points.setRows(static_cast<int>(data.points.size()) + 1);
  for (std::size_t i = 0; i < data.points.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    points.enterText(row, 0, std::to_string(row));
    points.enterText(row, 1, data.points[i][0]);
    points.enterText(row, 2, data.points[i][1]);
  }
  observations.setRows(static_cast<int>(data.observations.size()) + 1);
  for (std::size_t j = 0; j < data.observations.size(); ++j) {
    const int row = static_cast<int>(j) + 1;
    observations.enterText(row, 0, std::to_string(row));
    for (int c = 0; c < 4; ++c) observations.enterText(row, c + 1, data.observations[j][c]);
  }
}

namespace {

// Whether Open would read a name written without quotes as a number with
// another text ("007" as 7): such a name must be quoted to stay the same.
bool readsAsAnotherNumber(const std::string& text) {
  const std::optional<double> value = parseNumber(text);
  return value && numberText(*value) != text;
}

// Appends one text as a file item, quoting it where the plain form would not
// read back; refuses what no form can hold.
void appendItem(std::string& out, const std::string& text, const std::string& place, InputPlace where,
                bool isName = false) {
  if (text.find_first_of("\"\r\n") != std::string::npos)
    throw InputError(place + quoted(text) + "含有双引号或换行，无法保存到平差文件", where);
  // Other control characters (a tab is a blank here) would reach the file
  // as raw bytes that no editor shows.
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\t') || c == 0x7f)
      throw InputError(place + quoted(text) + "含有控制字符，无法保存到平差文件", where);
  const std::optional<std::string> gbk = utf8ToGbk(text);
  if (!gbk) throw InputError(place + quoted(text) + "含有 GBK 编码无法表示的字符，无法保存", where);
  const bool blankEdge =
      !text.empty() && (text.front() == ' ' || text.front() == '\t' || text.back() == ' ' || text.back() == '\t');
  if (blankEdge || text.find(',') != std::string::npos || (isName && readsAsAnotherNumber(text))) {
    out += '"';
    out += *gbk;
    out += '"';
  } else {
    out += *gbk;
  }
}

}  // namespace

std::string formatProjectBytes(const ParameterFields& fields, const TextTable& points, const TextTable& observations) {
  static const char* const kPointColumnNames[] = {"", "点号", "高程(m)"};
  static const char* const kObservationColumnNames[] = {"", "起点", "终点", "观测值(m)", "水准路线长度(km)"};
  std::string out;
  appendItem(out, fields.known, "已知点：", {InputTable::fields, 0, 0});
  out += ',';
  appendItem(out, fields.unknown, "待定点：", {InputTable::fields, 0, 1});
  out += ',';
  appendItem(out, fields.observations, "观测值：", {InputTable::fields, 0, 2});
  out += ',';
  appendItem(out, fields.unitLength, "单位权长度：", {InputTable::fields, 0, 3});
  out += "\r\n";
  for (int i = 1; i < points.rows(); ++i) {
    for (int c = 1; c <= 2; ++c) {
      if (c > 1) out += ',';
      appendItem(out, points.text(i, c), "点表第 " + std::to_string(i) + " 行“" + kPointColumnNames[c] + "”列：",
                 {InputTable::points, i, c}, c == 1);
    }
    out += "\r\n";
  }
  for (int j = 1; j < observations.rows(); ++j) {
    for (int c = 1; c <= 4; ++c) {
      if (c > 1) out += ',';
      appendItem(out, observations.text(j, c),
                 "观测表第 " + std::to_string(j) + " 行“" + kObservationColumnNames[c] + "”列：",
                 {InputTable::observations, j, c}, c <= 2);
    }
    out += "\r\n";
  }
  return out;
}

void writeProjectFile(const std::string& path, const ParameterFields& fields, const TextTable& points,
                      const TextTable& observations) {
  std::string bytes;
  try {
    bytes = formatProjectBytes(fields, points, observations);
  } catch (const InputError& e) {
    throw InputError("无法保存到" + quoted(path) + "：" + e.what(), e.place());
  }
  saveFileSafely(path, bytes);
}

}  // namespace levelnet
