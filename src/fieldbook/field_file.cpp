#include "fieldbook/field_file.h"

#include <algorithm>
#include <cmath>

#include "fieldbook/field_records.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "network/safe_file.h"

namespace levelnet::fieldbook {

namespace {

std::string quotedName(const std::string& name) { return "“" + name + "”"; }

std::string tooLarge(const std::string& name) {
  return "文件" + quotedName(name) + "超过 " + std::to_string(kMaxFieldFileBytes >> 20) +
         " MiB，不像是观测手簿或电子水准仪的数据文件";
}

// The line (1-based) holding byte `offset` of `bytes`.
int lineOfOffset(std::string_view bytes, std::size_t offset) {
  int line = 1;
  for (std::size_t i = 0; i < offset && i < bytes.size(); ++i)
    if (bytes[i] == '\n') ++line;
  return line;
}

}  // namespace

std::string placeOf(const std::string& file, int line) {
  return "文件" + quotedName(file) + "第 " + std::to_string(line) + " 行：";
}

void checkRange(const FieldText& text, int line, double value, double low, double high, const std::string& what,
                std::string_view shown) {
  if (!(value >= low && value <= high))
    throw InputError(placeOf(text.name, line) + what + quotedText(shown) + "超出合理范围（" + numberText(low) + " 至 " +
                     numberText(high) + "）");
}

std::string quotedText(std::string_view text) {
  std::string out;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      if (characters == 40) {
        out += "…";
        break;
      }
      ++characters;
    }
    out += text[i];
  }
  return "“" + out + "”";
}

double roundRecorded(double value, int decimals) {
  // Beyond ±10⁹ no reduced value is meaningful and the grid would overflow.
  if (!std::isfinite(value) || std::fabs(value) > 1e9 || decimals < 0 || decimals > 6)
    return roundHalfUp(value, std::clamp(decimals, 0, 6));
  const long long grid = std::llround(value * 1e6);
  long long unit = 1;
  for (int i = decimals; i < 6; ++i) unit *= 10;
  // floor((grid + unit/2) / unit): half up, towards +∞ on a tie.
  long long shifted = grid + unit / 2;
  long long q = shifted / unit;
  if (shifted % unit != 0 && shifted < 0) --q;
  long long scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const double r = static_cast<double>(q) / static_cast<double>(scale);
  return r == 0.0 ? 0.0 : r;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<double> fieldNumber(std::string_view text) {
  const std::optional<double> value = parseNumber(text);
  if (!value || !std::isfinite(*value) || std::fabs(*value) > 1e9) return std::nullopt;
  return value;
}

FieldText decodeFieldBytes(std::string_view bytes, const std::string& name) {
  if (bytes.size() > kMaxFieldFileBytes) throw InputError(tooLarge(name));
  FieldText out;
  out.name = name;
  out.encoding = detectFileEncoding(bytes);
  std::string text;
  if (out.encoding == FileEncoding::gbk) {
    DecodedText decoded = gbkToUtf8(bytes);
    if (decoded.badOffset) {
      const std::optional<std::size_t> utf8Bad = firstInvalidUtf8(bytes);
      if (!utf8Bad) {
        out.encoding = FileEncoding::utf8;
      } else {
        // Neither reading holds: the file is in the encoding that reads
        // further (a UTF-8 book with a GBK line pasted in breaks UTF-8
        // there, and GBK perhaps on its first line), and the place is where
        // that one breaks.
        const std::size_t bad = std::max(*decoded.badOffset, *utf8Bad);
        throw InputError(placeOf(name, lineOfOffset(bytes, bad)) + "有既不是 GBK 也不是 UTF-8 编码的字节（第 " +
                         std::to_string(bad + 1) + " 个字节，前面的内容按" +
                         (bad == *utf8Bad && *utf8Bad > *decoded.badOffset ? "UTF-8" : "GBK") + "编码读得通）");
      }
    } else {
      text = std::move(decoded.text);
    }
  }
  if (out.encoding == FileEncoding::utf8) {
    std::string_view body = bytes;
    if (body.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) body.remove_prefix(kUtf8ByteOrderMark.size());
    if (const std::optional<std::size_t> bad = firstInvalidUtf8(body))
      throw InputError(placeOf(name, lineOfOffset(body, *bad)) + "有不是 UTF-8 编码的字节");
    text = std::string(body);
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (const char c : line) {
      const unsigned char u = static_cast<unsigned char>(c);
      if ((u < 0x20 && c != '\t') || u == 0x7F)
        throw InputError(placeOf(name, static_cast<int>(out.lines.size()) + 1) + "含有控制字符（代码 " +
                         std::to_string(u) + "），不是文本文件");
    }
    out.lines.push_back(std::move(line));
    start = end + 1;
  }
  return out;
}

FieldText readFieldFile(const std::string& path) {
  return decodeFieldBytes(readBoundedFile(path, kMaxFieldFileBytes, tooLarge(path)), path);
}

FieldFormat detectFieldFormat(const FieldText& text) {
  for (const std::string& raw : text.lines) {
    const std::string_view line = trimmed(raw);
    if (line.empty()) continue;
    if (line.rfind("For M5|", 0) == 0 || line.rfind("For_M5|", 0) == 0) return FieldFormat::diniM5;
    std::string_view word = line;
    if (!word.empty() && word.front() == '*') word.remove_prefix(1);
    if (word.size() > 7 && (word[6] == '+' || word[6] == '-') && word[0] >= '0' && word[0] <= '9' && word[1] >= '0' &&
        word[1] <= '9')
      return FieldFormat::leicaGsi;
    return FieldFormat::handbookCsv;
  }
  return FieldFormat::handbookCsv;
}

}  // namespace levelnet::fieldbook
