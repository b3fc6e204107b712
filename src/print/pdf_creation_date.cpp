#include "print/pdf_creation_date.h"

#include <cctype>
#include <cstdio>

#include "network/errors.h"
#include "session/source_date.h"

namespace levelnet::print {

namespace {

InputError unreadable(const std::string& what) { return InputError("无法写出 PDF 的创建日期：" + what); }

// The decimal number at `at` (after blanks); `at` moves past it.
std::int64_t numberAt(const std::string& text, std::size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\r' || text[at] == '\n')) ++at;
  const std::size_t first = at;
  std::int64_t value = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - first < 15)
    value = value * 10 + (text[at++] - '0');
  if (at == first) throw unreadable("交叉引用表中缺少数字");
  return value;
}

// Moves every in-use entry of the cross-reference table at `xref` whose
// offset lies beyond `changedAt` by `delta`. The entries are Qt's fixed
// twenty bytes: ten digits of offset, a blank, five of generation, a blank,
// 'n' or 'f', two bytes of line end.
void moveTable(std::string& pdf, std::size_t xref, std::size_t changedAt, std::int64_t delta) {
  if (pdf.compare(xref, 4, "xref") != 0) throw unreadable("startxref 指向的位置没有交叉引用表");
  std::size_t at = xref + 4;
  for (;;) {
    while (at < pdf.size() && (pdf[at] == ' ' || pdf[at] == '\r' || pdf[at] == '\n')) ++at;
    if (pdf.compare(at, 7, "trailer") == 0) return;
    numberAt(pdf, at);  // the subsection's first object number
    const std::int64_t count = numberAt(pdf, at);
    while (at < pdf.size() && (pdf[at] == ' ' || pdf[at] == '\r' || pdf[at] == '\n')) ++at;
    for (std::int64_t i = 0; i < count; ++i, at += 20) {
      if (at + 20 > pdf.size() || pdf[at + 10] != ' ' || pdf[at + 16] != ' ' ||
          (pdf[at + 17] != 'n' && pdf[at + 17] != 'f'))
        throw unreadable("交叉引用表的条目不是固定的 20 个字节");
      if (pdf[at + 17] != 'n') continue;
      std::size_t digits = at;
      const std::int64_t offset = numberAt(pdf, digits);
      if (digits != at + 10) throw unreadable("交叉引用表的位置不是 10 位数字");
      if (offset <= static_cast<std::int64_t>(changedAt)) continue;
      char moved[16];
      std::snprintf(moved, sizeof moved, "%010lld", static_cast<long long>(offset + delta));
      pdf.replace(at, 10, moved, 10);
    }
  }
}

}  // namespace

std::string withCreationDate(const std::string& pdf, std::int64_t seconds) {
  static const std::string kKey = "/CreationDate (";
  const std::size_t firstObjectEnd = pdf.find("endobj");
  const std::size_t key = pdf.find(kKey);
  if (key == std::string::npos || key > firstObjectEnd) return pdf;
  const std::size_t start = key + kKey.size();
  const std::size_t end = pdf.find(')', start);
  if (end == std::string::npos || end > firstObjectEnd || pdf.compare(start, 2, "D:") != 0)
    throw unreadable("/CreationDate 不是 D: 开头的日期");
  if (seconds < 0 || seconds > session::kLatestSourceDate) throw unreadable("时间超出 1970 至 9999 年");

  const session::CivilTime t = session::civilTimeOf(seconds);
  char date[40];
  std::snprintf(date, sizeof date, "D:%04d%02d%02d%02d%02d%02dZ", t.year, t.month, t.day, t.hour, t.minute, t.second);
  const std::string stamp = date;
  const std::int64_t delta = static_cast<std::int64_t>(stamp.size()) - static_cast<std::int64_t>(end - start);

  std::string out = pdf.substr(0, start) + stamp + pdf.substr(end);
  if (delta == 0) return out;
  const std::size_t startxref = out.rfind("startxref");
  if (startxref == std::string::npos || startxref < end) throw unreadable("找不到 startxref");
  std::size_t at = startxref + 9;
  const std::size_t numberStart = at;
  const std::int64_t xref = numberAt(out, at);
  if (xref <= static_cast<std::int64_t>(start)) throw unreadable("交叉引用表在文档信息之前");
  const std::int64_t movedXref = xref + delta;
  if (movedXref < 0 || static_cast<std::size_t>(movedXref) >= out.size()) throw unreadable("startxref 指向文件之外");
  moveTable(out, static_cast<std::size_t>(movedXref), start, delta);
  // The number after startxref: its blanks kept, its digits replaced.
  std::size_t digits = numberStart;
  while (out[digits] == ' ' || out[digits] == '\r' || out[digits] == '\n') ++digits;
  out.replace(digits, at - digits, std::to_string(movedXref));
  return out;
}

std::string finishedPdf(std::string_view bytes) {
  if (bytes.empty()) throw InputError("无法生成 PDF：没有写出任何内容");
  std::string pdf(bytes);
  // Qt stamps the current time; with SOURCE_DATE_EPOCH the document made
  // again is the same file.
  if (const std::optional<std::int64_t> epoch = session::sourceDateEpochFromEnvironment())
    pdf = withCreationDate(pdf, *epoch);
  return pdf;
}

}  // namespace levelnet::print
