// The results table (成果表) and its files: every figure is the report's own,
// and every format reads back to the table it was written from.
#include <gtest/gtest.h>

#include <unistd.h>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <thread>
#include <variant>

#include "adjust/adjustment_results.h"
#include "adjust/pipeline.h"
#include "adjust/report_writer.h"
#include "adjust/results_export.h"
#include "adjust/results_table.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/project_file.h"
#include "support/environment.h"
#include "support/network_generator.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines(const std::string& text, const char* end = "\r\n") {
  std::vector<std::string> out;
  const std::string sep = end;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find(sep, start);
    if (stop == std::string::npos) stop = text.size();
    out.push_back(text.substr(start, stop - start));
    start = stop + sep.size();
  }
  return out;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string trimmed(const std::string& s) {
  const std::size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The lines of the report's section under `title`, up to the empty line.
std::vector<std::string> sectionLines(const std::string& report, const std::string& title) {
  std::vector<std::string> out;
  const std::vector<std::string> all = lines(report);
  std::size_t i = 0;
  while (i < all.size() && all[i] != title) ++i;
  for (++i; i < all.size() && !all[i].empty(); ++i) out.push_back(all[i]);
  return out;
}

// The text after `prefix` and before "mm" in a precision line.
std::string figureIn(const std::string& line, const std::string& prefix) {
  const std::size_t at = line.find(prefix);
  if (at == std::string::npos) return "(no " + prefix + ")";
  const std::size_t start = at + prefix.size();
  return line.substr(start, line.find("mm", start) - start);
}

// A figure of the report in "0.000" rounded half up to "0.0" by decimal
// digits, as a reader of the report would round it.
std::string tenthsOfReportFigure(const std::string& text) {
  const std::size_t dot = text.find('.');
  long long thousandths = std::stoll(text.substr(0, dot)) * 1000 + std::stoll(text.substr(dot + 1));
  const long long tenths = (thousandths + 50) / 100;
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

// Every figure of the table against sections 5, 6 and 7 of `report`.
void expectAgreesWithReport(const ResultsTable& table, const std::string& report, const std::string& label) {
  SCOPED_TRACE(label);
  const std::vector<std::string> points = sectionLines(report, "序号   点号   最或然值(m) ");
  ASSERT_EQ(points.size(), table.points.size());
  int known = 0;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const PointResult& p = table.points[i];
    const std::vector<std::string> w = words(points[i]);
    ASSERT_GE(w.size(), 3u) << points[i];
    EXPECT_EQ(w.front(), std::to_string(p.number)) << points[i];
    EXPECT_EQ(w.back(), p.elevation.text) << points[i];
    EXPECT_EQ(fixedText(p.elevation.value, 4), p.elevation.text);
    // The name stands between the number and the elevation.
    const std::string line = points[i];
    const std::size_t nameStart = line.find(w.front()) + w.front().size();
    EXPECT_EQ(trimmed(line.substr(nameStart, line.rfind(w.back()) - nameStart)), trimmed(p.name)) << line;
    if (p.known) ++known;
  }

  const std::vector<std::string> observations = sectionLines(report, "序号  观测值(m)  改正数(mm)  平差值(m)");
  ASSERT_EQ(observations.size(), table.observations.size());
  for (std::size_t k = 0; k < observations.size(); ++k) {
    const ObservationResult& o = table.observations[k];
    const std::vector<std::string> w = words(observations[k]);
    ASSERT_EQ(w.size(), 4u) << observations[k];
    EXPECT_EQ(w[0], std::to_string(o.number));
    EXPECT_EQ(w[1], o.observedDifference.text) << observations[k];
    EXPECT_EQ(w[2], o.correction.text) << observations[k];
    EXPECT_EQ(w[3], o.adjustedDifference.text) << observations[k];
    // The correction's value is the stored 0.1 mm figure itself.
    EXPECT_EQ(std::stod(w[2]), o.correction.value) << observations[k];
  }

  const std::vector<std::string> precision = sectionLines(report, "精度评定:");
  ASSERT_EQ(precision.size(), 3 + table.points.size() - static_cast<std::size_t>(known));
  const PrecisionSummary& s = table.precision;
  EXPECT_EQ(figureIn(precision[0], "μ=±"), s.unitWeightError.text);
  EXPECT_EQ(figureIn(precision[1], "M(km)=±"), s.errorPerKilometre.text);
  std::string largestText;
  double largest = -1.0;
  for (std::size_t i = 3; i < precision.size(); ++i) {
    const PointResult& p = table.points[static_cast<std::size_t>(known) + i - 3];
    const std::string reportM = figureIn(precision[i], "M(" + std::to_string(p.number) + ")=±");
    ASSERT_TRUE(p.standardError.has_value()) << p.name;
    EXPECT_EQ(fixedText(*p.standardError, 3), reportM) << precision[i];
    EXPECT_EQ(p.standardErrorText, tenthsOfReportFigure(reportM)) << precision[i];
    if (std::stod(reportM) > largest) {
      largest = std::stod(reportM);
      largestText = tenthsOfReportFigure(reportM);
    }
  }
  for (int i = 0; i < known; ++i) {
    EXPECT_FALSE(table.points[static_cast<std::size_t>(i)].standardError.has_value());
    EXPECT_EQ(table.points[static_cast<std::size_t>(i)].standardErrorText, "—");
  }
  if (precision.size() > 3) {
    EXPECT_EQ(s.maxPointErrorText, largestText);
  }
  EXPECT_EQ(s.observationCount, static_cast<int>(observations.size()));
  EXPECT_EQ(s.parameterCount, static_cast<int>(table.points.size()) - known);
  EXPECT_EQ(s.redundancy, s.observationCount - s.parameterCount);
}

AdjustmentResults adjustedFile(const std::string& path) {
  NetworkText net;
  applyProject(readProjectFile(path), net.fields, net.points, net.observations);
  return computeAdjustment(gatherNetwork(net.fields, net.points, net.observations));
}

std::string reportOf(const AdjustmentResults& results) {
  StringSink sink;
  writeReport(results, sink);
  return sink.text;
}

TEST(ResultsTable, AgreesWithTheGoldenReportOfEveryExample) {
  for (const char* example : {"two_benchmarks", "loop_a_b", "one_unknown", "city_network"}) {
    const AdjustmentResults results = adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/" + example + ".pc");
    const std::string golden = readBytes(std::string(LEVELNET_CASES_DIR) + "/" + example + ".report");
    ASSERT_FALSE(golden.empty()) << example;
    expectAgreesWithReport(makeResultsTable(results), golden, example);
  }
}

TEST(ResultsTable, AgreesWithTheReportOfRandomNetworks) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    NetworkText text = testing::randomNetwork(seed, seed % 3 == 0 ? 40 : 12);
    const AdjustmentResults results = computeAdjustment(gatherNetwork(text.fields, text.points, text.observations));
    expectAgreesWithReport(makeResultsTable(results), reportOf(results), "seed " + std::to_string(seed));
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(ResultsTable, CityNetworkNamesKindsAndSummary) {
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  ASSERT_EQ(t.points.size(), 12u);
  EXPECT_EQ(t.points[0].name, "BM城东");
  EXPECT_TRUE(t.points[2].known);
  EXPECT_FALSE(t.points[3].known);
  EXPECT_EQ(t.points[9].name, "村委会");
  ASSERT_EQ(t.observations.size(), 19u);
  EXPECT_EQ(t.observations[0].from, "BM城东");
  EXPECT_EQ(t.observations[0].to, "水准点1");
  EXPECT_EQ(t.observations[0].observedDifference.value, 1.7825);
  EXPECT_EQ(t.observations[17].routeLength.text, "2");
  EXPECT_EQ(t.observations[17].routeLength.value, 2.0);
  // 渡口 has the largest M of the report, 1.370 mm.
  EXPECT_EQ(t.precision.maxPointErrorName, "渡口");
  EXPECT_EQ(t.precision.maxPointErrorText, "1.4");
  double sum = 0.0;
  for (const PointResult& p : t.points)
    if (p.standardError) sum += *p.standardError;
  EXPECT_DOUBLE_EQ(*t.precision.meanPointError, sum / 9);
  EXPECT_EQ(t.precision.redundancy, 10);
}

TEST(ResultsTable, NetworkWithoutUnknownPointsHasNoPointErrors) {
  NetworkText net =
      testing::enteredNetwork({"2", "0", "1", "1"}, {{"A", "10"}, {"B", "12"}}, {{"A", "B", "2.001", "1"}});
  const ResultsTable t = makeResultsTable(computeAdjustment(gatherNetwork(net.fields, net.points, net.observations)));
  EXPECT_FALSE(t.precision.maxPointError.has_value());
  EXPECT_EQ(t.precision.maxPointErrorText, "—");
  EXPECT_EQ(t.precision.meanPointErrorText, "—");
  EXPECT_EQ(t.precision.redundancy, 1);
  // Every format still writes, without a number that is not one.
  EXPECT_NE(resultsText(t).find("没有待定点"), std::string::npos);
  EXPECT_NE(resultsJson(t).find("\"maxPointError\":null"), std::string::npos);
}

TEST(ResultsTable, StandardErrorTextRoundsTheReportsFigure) {
  struct Case {
    double millimetres;
    const char* report;  // what section 7 prints
    const char* table;
  };
  for (const Case& c : {Case{1.15, "1.150", "1.2"},  // 1.15 is a hair below 1.15: rounding it once would give 1.1
                        Case{1.2496, "1.250", "1.3"}, Case{1.2494, "1.249", "1.2"}, Case{0.0449, "0.045", "0.0"},
                        Case{0.04999, "0.050", "0.1"}, Case{0.0, "0.000", "0.0"}, Case{12.95, "12.950", "13.0"},
                        Case{99.9996, "100.000", "100.0"}}) {
    EXPECT_EQ(fixedText(c.millimetres, 3), c.report) << c.millimetres;
    EXPECT_EQ(standardErrorText(c.millimetres), c.table) << c.millimetres;
  }
}

// ---- CSV ----

// RFC 4180 records: fields split at commas, quoted fields with "" for a
// quote, records ending in CR LF.
std::vector<std::vector<std::string>> parseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool inQuotes = false, fieldStarted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inQuotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (c == '"') {
        inQuotes = false;
      } else {
        field.push_back(c);
      }
    } else if (c == '"' && field.empty() && !fieldStarted) {
      inQuotes = true;
      fieldStarted = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
      fieldStarted = false;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      fieldStarted = false;
      ++i;
    } else {
      EXPECT_NE(c, '\n') << "a bare line feed at byte " << i;
      field.push_back(c);
      fieldStarted = true;
    }
  }
  EXPECT_FALSE(inQuotes) << "an open quote at the end";
  EXPECT_TRUE(field.empty() && record.empty()) << "the last record does not end in CR LF";
  return records;
}

const std::string kBom = "\xEF\xBB\xBF";

TEST(ResultsCsv, ReadsBackToTheTableInThreeSections) {
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  const std::string csv = resultsCsv(t);
  ASSERT_EQ(csv.compare(0, 3, kBom), 0) << "UTF-8 CSV starts with the byte-order mark";
  const auto records = parseCsv(csv.substr(3));
  const std::size_t expected = 2 + t.points.size() + 1 + 2 + t.observations.size() + 1 + 2 + 8;
  ASSERT_EQ(records.size(), expected);
  std::size_t r = 0;
  EXPECT_EQ(records[r++], std::vector<std::string>{"点成果"});
  EXPECT_EQ(records[r++], (std::vector<std::string>{"序号", "点号", "类型", "高程(m)", "中误差(mm)"}));
  for (const PointResult& p : t.points)
    EXPECT_EQ(records[r++], (std::vector<std::string>{std::to_string(p.number), p.name, p.known ? "已知点" : "待定点",
                                                      p.elevation.text, p.standardErrorText}));
  EXPECT_EQ(records[r++], std::vector<std::string>{""});
  EXPECT_EQ(records[r++], std::vector<std::string>{"观测值"});
  EXPECT_EQ(records[r++].size(), 7u);
  for (const ObservationResult& o : t.observations)
    EXPECT_EQ(records[r++],
              (std::vector<std::string>{std::to_string(o.number), o.from, o.to, o.observedDifference.text,
                                        o.routeLength.text, o.correction.text, o.adjustedDifference.text}));
  EXPECT_EQ(records[r++], std::vector<std::string>{""});
  EXPECT_EQ(records[r++], std::vector<std::string>{"精度评定"});
  EXPECT_EQ(records[r++], (std::vector<std::string>{"项目", "值"}));
  std::map<std::string, std::string> summary;
  for (; r < records.size(); ++r) {
    ASSERT_EQ(records[r].size(), 2u);
    summary[records[r][0]] = records[r][1];
  }
  EXPECT_EQ(summary["单位权中误差 μ(mm)"], "1.317");
  EXPECT_EQ(summary["每公里高差中误差(mm)"], "1.317");
  EXPECT_EQ(summary["最弱点高程中误差 M_max(mm)"], "1.4");
  EXPECT_EQ(summary["最弱点"], "渡口");
  EXPECT_EQ(summary["平均高程中误差 M_mean(mm)"], t.precision.meanPointErrorText);
  EXPECT_EQ(summary["观测值个数 n"], "19");
  EXPECT_EQ(summary["待定点个数 t"], "9");
  EXPECT_EQ(summary["多余观测数 f=n-t"], "10");
}

ResultsTable tableWithNames(std::vector<std::string> names) {
  ResultsTable t;
  int n = 0;
  for (std::string& name : names) {
    PointResult p;
    p.number = ++n;
    p.name = std::move(name);
    p.known = true;
    p.elevation = {10.0 * n, fixedText(10.0 * n, 4)};
    p.standardErrorText = kNoValueText;
    t.points.push_back(p);
  }
  t.precision.maxPointErrorText = t.precision.meanPointErrorText = kNoValueText;
  return t;
}

TEST(ResultsCsv, QuotesWhatWouldOtherwiseSplitOrLoseAField) {
  const std::vector<std::string> names = {"甲,乙", "say \"hi\"", " 前导空格",    "尾随空格 ",   "普通",
                                          "a\tb",  "-1",         "\t前导制表符", "尾随制表符\t"};
  const ResultsTable t = tableWithNames(names);
  const std::string csv = resultsCsv(t);
  EXPECT_NE(csv.find("\"甲,乙\""), std::string::npos);
  EXPECT_NE(csv.find("\"say \"\"hi\"\"\""), std::string::npos);
  EXPECT_NE(csv.find(",普通,"), std::string::npos) << "a plain name is not quoted";
  EXPECT_NE(csv.find(",a\tb,"), std::string::npos) << "a tab inside is kept unquoted";
  EXPECT_NE(csv.find("\"尾随制表符\t\""), std::string::npos);
  const auto records = parseCsv(csv.substr(3));
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(records[2 + i][1], names[i]);
}

TEST(ResultsCsv, GbkOnRequestWithoutByteOrderMark) {
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  const std::string utf8 = resultsCsv(t, ResultsEncoding::utf8);
  const std::string gbk = resultsCsv(t, ResultsEncoding::gbk);
  EXPECT_NE(gbk.compare(0, 3, kBom), 0);
  const DecodedText back = gbkToUtf8(gbk);
  ASSERT_FALSE(back.badOffset.has_value());
  EXPECT_EQ(back.text, utf8.substr(3));
  EXPECT_THROW(resultsCsv(tableWithNames({"点\xF0\x9F\x98\x80"}), ResultsEncoding::gbk), InputError);
  EXPECT_THROW(resultsText(tableWithNames({"点\xF0\x9F\x98\x80"}), ResultsEncoding::gbk), InputError);
}

// ---- JSON ----

// A small strict JSON reader: enough to prove the text is JSON and to give
// back its values.
struct Json;
using JsonObjectValue = std::map<std::string, Json>;
using JsonArrayValue = std::vector<Json>;
struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<JsonArrayValue>,
               std::shared_ptr<JsonObjectValue>>
      v;
  const Json& operator[](const std::string& key) const {
    static const Json missing;
    const auto& o = *std::get<std::shared_ptr<JsonObjectValue>>(v);
    auto it = o.find(key);
    if (it == o.end()) {
      ADD_FAILURE() << "no member " << key;
      return missing;
    }
    return it->second;
  }
  const Json& operator[](std::size_t i) const { return std::get<std::shared_ptr<JsonArrayValue>>(v)->at(i); }
  std::size_t size() const { return std::get<std::shared_ptr<JsonArrayValue>>(v)->size(); }
  double number() const { return std::get<double>(v); }
  const std::string& text() const { return std::get<std::string>(v); }
  bool isNull() const { return std::holds_alternative<std::nullptr_t>(v); }
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view s) : s_(s) {}
  Json document() {
    Json j = value();
    blanks();
    if (i_ != s_.size()) fail("text after the value");
    return j;
  }

 private:
  [[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what + " at byte " + std::to_string(i_)); }
  void blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t')) ++i_;
  }
  bool literal(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  void expect(char c) {
    blanks();
    if (i_ >= s_.size() || s_[i_] != c) fail(std::string("expected ") + c);
    ++i_;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (true) {
      if (i_ >= s_.size()) fail("unterminated string");
      const char c = s_[i_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) fail("raw control character in a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) fail("unterminated escape");
      const char e = s_[i_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'u': {
          if (i_ + 4 > s_.size()) fail("short \\u escape");
          const unsigned code = std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16);
          i_ += 4;
          if (code >= 0x80) fail("this reader takes \\u escapes of ASCII only");
          out.push_back(static_cast<char>(code));
          break;
        }
        default:
          fail("bad escape");
      }
    }
  }
  Json value() {
    blanks();
    if (i_ >= s_.size()) fail("missing value");
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      auto o = std::make_shared<JsonObjectValue>();
      blanks();
      if (i_ < s_.size() && s_[i_] == '}') {
        ++i_;
        return Json{o};
      }
      while (true) {
        std::string key = string();
        expect(':');
        if (!o->emplace(key, value()).second) fail("duplicate key " + key);
        blanks();
        if (i_ < s_.size() && s_[i_] == ',') {
          ++i_;
          continue;
        }
        expect('}');
        return Json{o};
      }
    }
    if (c == '[') {
      ++i_;
      auto a = std::make_shared<JsonArrayValue>();
      blanks();
      if (i_ < s_.size() && s_[i_] == ']') {
        ++i_;
        return Json{a};
      }
      while (true) {
        a->push_back(value());
        blanks();
        if (i_ < s_.size() && s_[i_] == ',') {
          ++i_;
          continue;
        }
        expect(']');
        return Json{a};
      }
    }
    if (c == '"') return Json{string()};
    if (literal("true")) return Json{true};
    if (literal("false")) return Json{false};
    if (literal("null")) return Json{nullptr};
    // JSON's number grammar: -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    const std::size_t start = i_;
    auto digits = [&] {
      const std::size_t from = i_;
      while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
      return i_ - from;
    };
    if (i_ < s_.size() && s_[i_] == '-') ++i_;
    if (i_ < s_.size() && s_[i_] == '0')
      ++i_;
    else if (digits() == 0)
      fail("not a value");
    if (i_ < s_.size() && s_[i_] == '.') {
      ++i_;
      if (digits() == 0) fail("no digits after the point");
    }
    if (i_ < s_.size() && (s_[i_] == 'e' || s_[i_] == 'E')) {
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-')) ++i_;
      if (digits() == 0) fail("no digits in the exponent");
    }
    double v = 0.0;
    const auto [end, ec] = std::from_chars(s_.data() + start, s_.data() + i_, v);
    if (ec != std::errc() || end != s_.data() + i_) fail("number out of range");
    return Json{v};
  }

  std::string_view s_;
  std::size_t i_ = 0;
};

TEST(ResultsJson, ReadsBackToTheTableWithEveryBitOfEveryValue) {
  for (std::uint32_t seed : {3u, 17u, 40u}) {
    NetworkText text = testing::randomNetwork(seed, 30);
    const ResultsTable t =
        makeResultsTable(computeAdjustment(gatherNetwork(text.fields, text.points, text.observations)));
    const std::string json = resultsJson(t);
    ASSERT_FALSE(firstInvalidUtf8(json).has_value());
    Json doc;
    ASSERT_NO_THROW(doc = JsonReader(json).document()) << json;
    ASSERT_EQ(doc["points"].size(), t.points.size());
    for (std::size_t i = 0; i < t.points.size(); ++i) {
      const PointResult& p = t.points[i];
      const Json& j = doc["points"][i];
      EXPECT_EQ(j["number"].number(), p.number);
      EXPECT_EQ(j["name"].text(), p.name);
      EXPECT_EQ(std::get<bool>(j["known"].v), p.known);
      EXPECT_EQ(j["elevation"].number(), p.elevation.value) << p.name;
      EXPECT_EQ(j["elevationText"].text(), p.elevation.text);
      if (p.standardError)
        EXPECT_EQ(j["standardError"].number(), *p.standardError) << p.name;
      else
        EXPECT_TRUE(j["standardError"].isNull());
      EXPECT_EQ(j["standardErrorText"].text(), p.standardErrorText);
    }
    ASSERT_EQ(doc["observations"].size(), t.observations.size());
    for (std::size_t k = 0; k < t.observations.size(); ++k) {
      const ObservationResult& o = t.observations[k];
      const Json& j = doc["observations"][k];
      EXPECT_EQ(j["from"].text(), o.from);
      EXPECT_EQ(j["to"].text(), o.to);
      for (auto [key, r] : {std::pair{"observedDifference", &o.observedDifference},
                            {"routeLength", &o.routeLength},
                            {"correction", &o.correction},
                            {"adjustedDifference", &o.adjustedDifference}}) {
        EXPECT_EQ(j[key].number(), r->value) << key << " " << k;
        EXPECT_EQ(j[std::string(key) + "Text"].text(), r->text) << key << " " << k;
      }
    }
    const Json& s = doc["precision"];
    EXPECT_EQ(s["unitWeightError"].number(), t.precision.unitWeightError.value);
    EXPECT_EQ(s["unitWeightErrorText"].text(), t.precision.unitWeightError.text);
    EXPECT_EQ(s["errorPerKilometre"].number(), t.precision.errorPerKilometre.value);
    EXPECT_EQ(s["maxPointError"].number(), *t.precision.maxPointError);
    EXPECT_EQ(s["maxPointErrorName"].text(), t.precision.maxPointErrorName);
    EXPECT_EQ(s["meanPointError"].number(), *t.precision.meanPointError);
    EXPECT_EQ(s["observationCount"].number(), t.precision.observationCount);
    EXPECT_EQ(s["parameterCount"].number(), t.precision.parameterCount);
    EXPECT_EQ(s["redundancy"].number(), t.precision.redundancy);
  }
}

TEST(ResultsJson, EscapesNamesAndWritesShortestNumbers) {
  const std::vector<std::string> names = {"say \"hi\"", "back\\slash", "ctl\x01\x1f", "水准点/1", "tab\there"};
  const std::string json = resultsJson(tableWithNames(names));
  const Json doc = JsonReader(json).document();
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(doc["points"][i]["name"].text(), names[i]);
  EXPECT_NE(json.find("\\u0001\\u001f"), std::string::npos);

  struct Case {
    double v;
    const char* text;
  };
  for (const Case& c : {Case{0.1, "0.1"}, Case{-0.0, "0"}, Case{0.0, "0"}, Case{50.10036485859943, "50.10036485859943"},
                        Case{1e-7, "1e-07"}, Case{-2.5, "-2.5"}, Case{100000.0, "1e+05"}, Case{123456.0, "123456"}})
    EXPECT_EQ(shortestNumberText(c.v), c.text) << c.v;
  EXPECT_THROW(shortestNumberText(INFINITY), InputError);
  EXPECT_THROW(shortestNumberText(NAN), InputError);
  EXPECT_THROW(resultsJson(tableWithNames({"bad\xff"})), InputError);
}

// ---- fixed-width text ----

TEST(ResultsText, DisplayColumnsOfAMonospacedCjkFont) {
  struct Case {
    const char* text;
    std::size_t columns;
  };
  for (const Case& c : {Case{"", 0}, Case{"BM1", 3}, Case{"水准点1", 7}, Case{"—", 2}, Case{"μ", 2},
                        Case{"（渡口）", 8}, Case{"ＡＢ", 4}, Case{"é", 1}, Case{"\xF0\xA0\x80\x80", 2}})
    EXPECT_EQ(displayColumns(c.text), c.columns) << c.text;
}

// Columns of a line whose only characters beyond ASCII are wide ones (the
// CJK names and headings, "—"), counted without displayColumns.
std::size_t asciiOrWideColumns(const std::string& line) {
  std::size_t columns = 0;
  for (unsigned char c : line) {
    if (c < 0x80)
      columns += 1;
    else if (c >= 0xC0)
      columns += 2;  // the lead byte of a character
  }
  return columns;
}

// In each table of the text every line is as wide as its header, since the
// last column is right-aligned; and a column's right edge is the same on
// every line.
TEST(ResultsText, ColumnsLineUpWhateverTheNames) {
  const std::vector<std::string> names = {"A", "水准点12", "BM城东北角", "村委会", "k2", "岔路口东侧第三根电杆"};
  std::vector<std::vector<std::string>> obs;
  for (std::size_t i = 1; i < names.size(); ++i) obs.push_back({names[i - 1], names[i], "1.2345", "1.5"});
  obs.push_back({names[5], names[1], "-3.21", "12.25"});
  NetworkText net = testing::enteredNetwork(
      {"2", "4", std::to_string(obs.size()), "1"},
      {{names[0], "10"}, {names[1], "20.5"}, {names[2], ""}, {names[3], ""}, {names[4], ""}, {names[5], ""}}, obs);
  const ResultsTable t = makeResultsTable(computeAdjustment(gatherNetwork(net.fields, net.points, net.observations)));
  const std::string text = resultsText(t);
  const std::vector<std::string> all = lines(text);
  ASSERT_GE(all.size(), 4u);
  EXPECT_EQ(all[0], "水准网平差成果表");
  for (const char* title : {"一、点成果", "二、观测值"}) {
    std::vector<std::string> table;
    std::size_t i = 0;
    while (i < all.size() && all[i] != title) ++i;
    ASSERT_LT(i, all.size()) << title;
    for (++i; i < all.size() && !all[i].empty(); ++i) table.push_back(all[i]);
    ASSERT_GE(table.size(), 2u);
    for (const std::string& line : table) {
      EXPECT_EQ(asciiOrWideColumns(line), asciiOrWideColumns(table[0])) << title << ": " << line;
      EXPECT_NE(line.back(), ' ');
    }
    // The elevation (points) or the observed difference (observations),
    // both after names, ends in the same column on every data line.
    std::size_t edge = 0;
    for (std::size_t r = 1; r < table.size(); ++r) {
      const std::string& line = table[r];
      const std::string value = std::string(title) == "一、点成果" ? t.points[r - 1].elevation.text
                                                                   : t.observations[r - 1].observedDifference.text;
      const std::size_t at = line.find("  " + value);
      ASSERT_NE(at, std::string::npos) << line;
      const std::size_t end = asciiOrWideColumns(line.substr(0, at + 2 + value.size()));
      if (r == 1) edge = end;
      EXPECT_EQ(end, edge) << line;
    }
  }
  EXPECT_NE(text.find("最弱点高程中误差 M_max = ±" + t.precision.maxPointErrorText + " mm"), std::string::npos);
  EXPECT_NE(text.find("多余观测数 f = n - t = 2"), std::string::npos);
  EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "lines end in CR LF";
}

TEST(ResultsText, GbkIsTheUtf8TextConverted) {
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  const DecodedText back = gbkToUtf8(resultsText(t, ResultsEncoding::gbk));
  ASSERT_FALSE(back.badOffset.has_value());
  EXPECT_EQ(back.text, resultsText(t));
}

// ---- XLSX ----

TEST(ResultsXlsx, WritesAWorkbookAndLeavesNoTemporaryFiles) {
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  if (!xlsxAvailable()) {
    EXPECT_THROW(resultsXlsx(t), InputError);
    return;
  }
  namespace fs = std::filesystem;
  const fs::path scratch = fs::temp_directory_path() / ("levelnet-results-test-" + std::to_string(::getpid()));
  fs::remove_all(scratch);
  fs::create_directory(scratch);
  const char* old = std::getenv(levelnet::test::kTemporaryFolderVariable);
  const std::string saved = old ? old : "";
  levelnet::test::setEnvironment(levelnet::test::kTemporaryFolderVariable, scratch.string().c_str());
  std::string bytes;
  EXPECT_NO_THROW(bytes = resultsXlsx(t));
  EXPECT_TRUE(fs::is_empty(scratch)) << "the private folder is removed with its files";
  if (old)
    levelnet::test::setEnvironment(levelnet::test::kTemporaryFolderVariable, saved.c_str());
  else
    levelnet::test::unsetEnvironment(levelnet::test::kTemporaryFolderVariable);
  fs::remove_all(scratch);
  ASSERT_GT(bytes.size(), 1000u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4)) << "a zip container";
}

// A workbook made again at the same creation time is the same file: the
// library would otherwise stamp the moment it is made.
TEST(ResultsXlsx, TheSameCreationTimeGivesTheSameBytes) {
  if (!xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"));
  const std::string first = resultsXlsx(t, 951782400);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(resultsXlsx(t, 951782400), first);
  EXPECT_NE(resultsXlsx(t, 951782401), first) << "the time given is the one written";
  // The library takes 0 for "now": the first second after 1970 stands in.
  const std::string epoch = resultsXlsx(t, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(resultsXlsx(t, 0), epoch);
  EXPECT_EQ(resultsXlsx(t, 1), epoch);
  // Beyond the year 9999 the library's date text (and its gmtime) fail:
  // the last second of 9999 stands in.
  EXPECT_EQ(resultsXlsx(t, 999999999999999999), resultsXlsx(t, 253402300799));
}

TEST(ResultsXlsx, AnUnusableTemporaryFolderIsAMessageNotACrash) {
  if (!xlsxAvailable()) GTEST_SKIP() << "built without libxlsxwriter";
  const ResultsTable t = makeResultsTable(adjustedFile(std::string(LEVELNET_EXAMPLES_DIR) + "/one_unknown.pc"));
  const char* old = std::getenv(levelnet::test::kTemporaryFolderVariable);
  const std::string saved = old ? old : "";
  levelnet::test::setEnvironment(levelnet::test::kTemporaryFolderVariable, "/proc/self/no-such-folder-here");
  EXPECT_THROW(resultsXlsx(t), InputError);
  if (old)
    levelnet::test::setEnvironment(levelnet::test::kTemporaryFolderVariable, saved.c_str());
  else
    levelnet::test::unsetEnvironment(levelnet::test::kTemporaryFolderVariable);
}

}  // namespace
}  // namespace levelnet
