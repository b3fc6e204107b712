// The report writer's blocks and its hand-written rows: the text is the same
// however it is cut into blocks and on whichever thread the sink is written,
// a failed write ends the writing with that failure, and the fields of
// sections 2 to 4 are those of the general number texts.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "adjust/pipeline.h"
#include "adjust/report_writer.h"
#include "network/errors.h"
#include "network/leveling_network.h"
#include "network/number_text.h"
#include "support/network_generator.h"

namespace levelnet {
namespace {

// Keeps every block apart and notes whether two writes ever overlapped and
// whether any came from another thread than the report's.
class RecordingSink : public TextSink {
 public:
  explicit RecordingSink(bool anyThread, int failAt = 0) : anyThread_(anyThread), failAt_(failAt) {}
  void write(std::string_view bytes) override {
    if (inside_.fetch_add(1) != 0) overlapped = true;
    if (std::this_thread::get_id() != owner_) otherThread = true;
    const int call = ++calls_;
    if (failAt_ != 0 && call >= failAt_) {
      afterFailure = afterFailure || call > failAt_;
      inside_.fetch_sub(1);
      throw FileError("无法写入标准输出：磁盘空间不足", "-", true, 28);
    }
    blocks.emplace_back(bytes);
    inside_.fetch_sub(1);
  }
  bool writesOnAnyThread() const override { return anyThread_; }

  std::string text() const {
    std::string all;
    for (const std::string& b : blocks) all += b;
    return all;
  }

  std::vector<std::string> blocks;
  bool overlapped = false, otherThread = false, afterFailure = false;

 private:
  bool anyThread_;
  int failAt_;
  std::thread::id owner_ = std::this_thread::get_id();
  std::atomic<int> inside_{0};
  int calls_ = 0;
};

// The seven sections, as writeReport writes them, through blocks of
// `blockBytes`.
void writeSections(const AdjustmentResults& r, TextSink& sink, std::size_t blockBytes) {
  ReportLines lines(sink, blockBytes);
  writeApproximateElevations(r, lines);
  writeErrorEquations(r, lines);
  writeNormalEquations(r, lines);
  writeSolution(r, lines);
  writeAdjustedValues(r, lines);
  writePrecision(r, lines);
  lines.finish();
}

AdjustmentResults gridResults() {
  const NetworkText text = testing::gridNetwork(8, 25, 200);
  return computeAdjustment(gatherNetwork(text.fields, text.points, text.observations));
}

TEST(ReportBlocks, TheTextIsTheSameWhereverTheBlocksEnd) {
  const AdjustmentResults r = gridResults();
  StringSink whole;
  writeReport(r, whole);
  const std::string& expected = whole.text;
  ASSERT_GT(expected.size(), std::size_t(1) << 20);

  // Block sizes that end exactly at a line end (the first line of section 4
  // and the report's last), one byte either side, and plain sizes.
  const std::size_t rowEnd = expected.find("\r\n", expected.find("解算法方程")) + 2;
  const std::size_t sizes[] = {1,
                               2,
                               7,
                               64,
                               4096,
                               ReportLines::kBlockBytes,
                               rowEnd - 1,
                               rowEnd,
                               rowEnd + 1,
                               expected.size() - 1,
                               expected.size(),
                               expected.size() + 1};
  for (bool anyThread : {false, true}) {
    for (std::size_t blockBytes : sizes) {
      SCOPED_TRACE(std::to_string(blockBytes) + (anyThread ? " on the writer's thread" : " on this thread"));
      RecordingSink sink(anyThread);
      writeSections(r, sink, blockBytes);
      ASSERT_EQ(sink.text(), expected);
      EXPECT_FALSE(sink.overlapped);
      if (anyThread && sink.blocks.size() > 1) {
        EXPECT_TRUE(sink.otherThread);
      }
      for (std::size_t k = 0; k < sink.blocks.size(); ++k) {
        const std::string& b = sink.blocks[k];
        ASSERT_GE(b.size(), 2u);
        EXPECT_EQ(b.substr(b.size() - 2), "\r\n") << "block " << k;
        if (k + 1 < sink.blocks.size()) {
          EXPECT_GE(b.size(), blockBytes) << "block " << k;
        }
      }
      if (blockBytes == rowEnd) {
        EXPECT_EQ(sink.blocks.front(), expected.substr(0, rowEnd));
      }
    }
  }
}

TEST(ReportBlocks, AFailedWriteEndsTheReportWithThatFailure) {
  const AdjustmentResults r = gridResults();
  constexpr std::size_t kBlock = 1 << 16;
  RecordingSink counted(false);
  writeSections(r, counted, kBlock);
  const int writes = static_cast<int>(counted.blocks.size());
  ASSERT_GT(writes, 3);
  for (bool anyThread : {false, true}) {
    for (int failAt : {1, 2, writes / 2, writes}) {
      SCOPED_TRACE(std::to_string(failAt) + (anyThread ? " on the writer's thread" : " on this thread"));
      RecordingSink sink(anyThread, failAt);
      try {
        writeSections(r, sink, kBlock);
        ADD_FAILURE() << "the failed write was not passed on";
      } catch (const FileError& e) {
        EXPECT_TRUE(e.writing());
        EXPECT_EQ(e.systemError(), 28);
      }
      EXPECT_EQ(static_cast<int>(sink.blocks.size()), failAt - 1);
      EXPECT_FALSE(sink.afterFailure) << "written after the failure";
      EXPECT_EQ(sink.text(), counted.text().substr(0, sink.text().size()));
    }
  }
}

TEST(ReportBlocks, AValueThatIsNotFiniteStopsTheReportInItsSection) {
  for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    AdjustmentResults r = gridResults();
    const int t = r.net.parameterCount;
    r.cofactors.line(t)[t / 2] = bad;  // row t / 2 + 1 of section 4
    for (bool anyThread : {false, true}) {
      RecordingSink sink(anyThread);
      EXPECT_THROW(writeSections(r, sink, 4096), AdjustmentError);
      const std::string text = sink.text();
      // Whole lines only, none of that row or after it.
      ASSERT_FALSE(text.empty());
      EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
      EXPECT_EQ(text.find("nan"), std::string::npos);
      EXPECT_EQ(text.find("inf"), std::string::npos);
      EXPECT_EQ(text.find("序号   点号"), std::string::npos);
    }
  }
}

// "  " + the "0.0000" text right-aligned in 6 + "  ", from fixedText.
std::string matrixField(double v) {
  std::string f = fixedText(v, 4);
  if (f.size() < 6) f.insert(0, 6 - f.size(), ' ');
  return "  " + f + "  ";
}

std::string matrixRowText(const std::vector<double>& row) {
  StringSink sink;
  ReportLines lines(sink);
  appendMatrixRow(lines, row.data(), static_cast<int>(row.size()));
  lines.finish();
  return sink.text;
}

TEST(ReportBlocks, MatrixFieldsAreTheFixedTextOfTheirValues) {
  // The rounding edges, signs, the largest wholes the digits are written
  // for by hand and the values beyond them.
  const std::vector<double> edges = {0.00005,
                                     -0.00005,
                                     0.00006,
                                     -0.00006,
                                     0.00004,
                                     -0.00004,
                                     -0.0,
                                     1e-300,
                                     -1e-300,
                                     5e-324,
                                     9.99995,
                                     -9.99995,
                                     10.0,
                                     -10.0,
                                     0.5,
                                     -0.5,
                                     123.45675,
                                     1.00005,
                                     0.00015,
                                     2.5e-5,
                                     9999999.99995,
                                     -9999999.99995,
                                     9999999999.9999,
                                     -9999999999.9999,
                                     1e10,
                                     -1e10,
                                     1e11,
                                     -1e11,
                                     99999999999.99995,
                                     1e14,
                                     -1e14,
                                     123456789012345.0,
                                     1e15,
                                     -1e15,
                                     1e300,
                                     -1e300,
                                     std::numeric_limits<double>::max(),
                                     -std::numeric_limits<double>::max()};
  for (double v : edges) EXPECT_EQ(matrixRowText({v}), matrixField(v)) << std::hexfloat << v;

  // Random rows of every magnitude, many zeros among them (runs longer and
  // shorter than the writer copies at once).
  std::mt19937_64 random(28);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-8, 13);
  std::bernoulli_distribution zero(0.7);
  for (int rowCount = 0; rowCount < 200; ++rowCount) {
    std::vector<double> row(static_cast<std::size_t>(1 + rowCount * 7));
    std::string expected;
    for (double& v : row) {
      v = zero(random) ? 0.0 : mantissa(random) * std::pow(10.0, exponent(random));
      expected += matrixField(v);
    }
    ASSERT_EQ(matrixRowText(row), expected) << "row " << rowCount;
  }
}

TEST(ReportBlocks, ErrorEquationLinesAreTheGeneralOnes) {
  // Ends at either side, at a known point (0), both ends at one parameter:
  // every line as appendErrorEquationLine writes it from the coefficients.
  LevelingNetwork net;
  net.parameterCount = 5;
  net.observationCount = 6;
  AdjustmentResults r(net);
  r.errorEquations = {{}, {1, 5}, {5, 1}, {0, 3}, {3, 0}, {2, 2}, {0, 0}};
  r.constantTerms = {0, -0.05, 12.34, 0, -7, 1e20, 0.06};
  StringSink fast;
  {
    ReportLines lines(fast);
    writeErrorEquations(r, lines);
    lines.finish();
  }
  StringSink general;
  {
    ReportLines lines(general);
    lines.title("由观测值组成误差方程");
    for (int i = 1; i <= net.observationCount; ++i) {
      const ErrorEquation& b = r.errorEquations[i];
      appendErrorEquationLine(
          lines, net.parameterCount, [&b](int j) { return b[j]; }, r.constantTerms[i]);
    }
    lines.finish();
  }
  EXPECT_EQ(fast.text, general.text);
  EXPECT_NE(fast.text.find("\r\n     0    -1     0     0     0 1e+20\r\n"), std::string::npos) << fast.text;
}

}  // namespace
}  // namespace levelnet
