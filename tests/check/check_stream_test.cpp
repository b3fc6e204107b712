// The check report streamed: the same text as the whole one wherever the
// blocks go and on whichever thread they are written, a failed write passed
// on, and the hand-written number fields of its tables against the masks.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjust/report_writer.h"
#include "check/check_report.h"
#include "check/network_check.h"
#include "check/report_text.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "support/network_generator.h"

namespace levelnet {
namespace {

LevelingNetwork grid(int rows, int cols) {
  const NetworkText text = testing::gridNetwork(rows, cols, 7);
  return gatherNetwork(text.fields, text.points, text.observations);
}

// Keeps every block apart; writes on the report writer's thread when asked.
class BlockSink : public TextSink {
 public:
  explicit BlockSink(bool anyThread, int failAt = -1) : anyThread_(anyThread), failAt_(failAt) {}
  void write(std::string_view bytes) override {
    if (static_cast<int>(blocks.size()) == failAt_) throw std::runtime_error("disk full");
    blocks.emplace_back(bytes);
  }
  bool writesOnAnyThread() const override { return anyThread_; }
  std::vector<std::string> blocks;

 private:
  bool anyThread_;
  int failAt_;
};

std::string joined(const std::vector<std::string>& blocks) {
  std::string text;
  for (const std::string& b : blocks) text += b;
  return text;
}

TEST(CheckStream, TheStreamedReportIsTheWholeOneOnEitherThread) {
  // Large enough for several 1 MB blocks and for both table threads.
  const LevelingNetwork net = grid(60, 120);
  CheckOptions options;
  options.grade = "四等";
  const CheckOutcome whole = checkNetwork(net, options, "grid.pc");
  ASSERT_GT(whole.report.size(), 2 * ReportLines::kBlockBytes);
  for (const bool anyThread : {false, true}) {
    BlockSink sink(anyThread);
    const bool passed = checkNetwork(net, options, "grid.pc", sink);
    EXPECT_EQ(passed, whole.passed);
    ASSERT_GT(sink.blocks.size(), 2u);
    for (const std::string& b : sink.blocks) EXPECT_EQ(b.substr(b.size() - 2), "\r\n");
    EXPECT_EQ(joined(sink.blocks), whole.report) << "anyThread " << anyThread;
  }
}

TEST(CheckStream, AFailedWriteEndsTheReportWithThatFailure) {
  const LevelingNetwork net = grid(60, 120);
  for (const bool anyThread : {false, true})
    for (const int failAt : {0, 1}) {
      BlockSink sink(anyThread, failAt);
      EXPECT_THROW(checkNetwork(net, CheckOptions{}, "grid.pc", sink), std::runtime_error);
      EXPECT_EQ(static_cast<int>(sink.blocks.size()), failAt) << "nothing written after the failed write";
    }
}

TEST(CheckStream, NumberFieldsAreTheFixedTextOfTheirValues) {
  std::mt19937_64 random(3);
  std::vector<double> values = {0.0,     -0.0,     0.05,     -0.05, 0.049999, 0.95,   -0.95,  9.9995,
                                -9.9995, 123.4565, 1e14,     -1e14, 9.99e14,  1e15,   -1e16,  1e300,
                                1e-300,  0.00049,  -0.00051, 99.95, 999999.5, 12.345, -12.355};
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 20000; ++i) values.push_back(unit(random) * std::pow(10.0, (i % 18) - 4));
  for (const double v : values)
    for (int decimals = 0; decimals <= 4; ++decimals) {
      const std::string expected = fixedText(v, decimals);
      char buf[kMaxNumberChars];
      const char* end = report_text::putFixed(buf, v, decimals);
      EXPECT_EQ(std::string(static_cast<const char*>(buf), end), expected) << v << " " << decimals;
      EXPECT_EQ(report_text::fixedLength(v, decimals), expected.size()) << v << " " << decimals;
    }
  EXPECT_THROW(report_text::fixedLength(HUGE_VAL, 1), AdjustmentError);
  char buf[kMaxNumberChars];
  EXPECT_THROW(report_text::putFixed(buf, std::nan(""), 2), AdjustmentError);
}

TEST(CheckStream, StreamedTablesAreThoseOfTheKeptTable) {
  using namespace report_text;
  // Cells, pads and texts before a column on both sides of the short copy's
  // 16 bytes; the last column's names copied from a PackedNames block.
  Column wide = numberColumn("宽", 30);
  Column spaced = textColumn("前", 3);
  spaced.before = std::string(18, ' ');
  const std::vector<Column> columns = {
      numberColumn("序号", 4, 0), textColumn("类型", 3), numberColumn("值", 2), wide, spaced,
      textColumn("经过的点", 0)};
  const std::vector<std::string> names = {"",
                                          "A",
                                          "B",
                                          "水准点一",
                                          std::string(15, 'x'),
                                          std::string(16, 'y'),
                                          std::string(17, 'z'),
                                          "很长的点名很长的点名很长的点名"};
  const PackedNames packed(names, "-");
  const std::vector<std::vector<int>> routes = {{1, 2}, {3, 2, 0}, {}, {4, 5, 6, 7}, {7, 7, 1}};
  const std::vector<std::vector<std::string>> rows = {{"1", "闭合环", "+12.5", "3", "a"},
                                                      {"22", "", "-0.1", std::string(29, '9'), "长一些的文字"},
                                                      {"333", "x", "1234567.0", std::string(40, '8'), ""},
                                                      {"4", std::string(20, 'q'), "", "", std::string(16, 'w')},
                                                      {"55", "乙", "7", "-", std::string(17, 'v')}};
  auto route = [&](int i) {
    std::string text;
    for (std::size_t s = 0; s < routes[i].size(); ++s) text += (s ? "-" : "") + names[routes[i][s]];
    return text;
  };
  ReportTable kept(columns);
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    std::vector<std::string> cells = rows[i];
    cells.push_back(route(i));
    kept.add(cells);
  }
  Lines lines;
  kept.writeTo(lines);
  auto row = [&](int i, RowCells& cells, bool measuring) {
    for (const std::string& cell : rows[i]) cells.text(cell);
    if (measuring) return;
    for (std::size_t s = 0; s < routes[i].size(); ++s)
      cells.appendPacked(s ? packed.withSeparator(routes[i][s]) : packed.name(routes[i][s]));
    cells.end();
  };
  const int last = static_cast<int>(rows.size()) - 1;
  StringSink sink;
  ReportLines out(sink);
  writeStreamedTable(out, columns, measureStreamedTable(columns, 0, last, row), 0, last, row);
  out.finish();
  EXPECT_EQ(sink.text, lines.take());
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    EXPECT_EQ(packed.name(i), names[i]);
    EXPECT_EQ(packed.withSeparator(i), "-" + names[i]);
  }
}

}  // namespace
}  // namespace levelnet
