// The 成果表 as JSON, and the shortest text of a double.
#include <charconv>
#include <cmath>
#include <string_view>

#include "adjust/results_columns.h"
#include "network/errors.h"
#include "network/gbk.h"

namespace levelnet {

using namespace results_export;

void appendJsonQuoted(std::string& out, std::string_view text) {
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

namespace {

void appendJsonString(std::string& out, std::string_view text) {
  if (firstInvalidUtf8(text)) throw InputError("成果表无法写成 JSON：点名“" + std::string(text) + "”不是有效的 UTF-8");
  appendJsonQuoted(out, text);
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

}  // namespace

std::string shortestNumberText(double v) {
  if (!std::isfinite(v)) throw InputError("成果表无法写出：计算中出现了无穷大或非数");
  if (v == 0.0) return "0";
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  if (ec != std::errc()) throw InputError("成果表无法写出：数值无法转换为文本");
  return std::string(buf, end);
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
      o.text("attention", ob.attention);
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

}  // namespace levelnet
