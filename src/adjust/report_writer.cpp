#include "adjust/report_writer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "adjust/large_array.h"
#include "adjust/phases.h"
#include "network/errors.h"
#include "network/gbk.h"

namespace levelnet {

namespace {

constexpr std::size_t kFieldWidth = 6;

// Bytes gathered before they go to the sink: large enough that a sink's
// per-call cost does not matter, small enough to stay in the cache.
constexpr std::size_t kBlockBytes = std::size_t(1) << 18;

// Rows of Q gathered at once for printing: Q is stored by columns, and a
// block of rows turns the reads into short contiguous runs.
constexpr int kRowBlock = 64;

// The results are checked before they are written; this is the last guard.
constexpr const char* kTask = "平差未完成";

}  // namespace

void ReportLines::title(std::string_view line) {
  if (started_) block_.append("\r\n");
  started_ = true;
  block_.append(line);
  endLine();
}

void ReportLines::endLine() {
  block_.append("\r\n");
  if (block_.size() >= kBlockBytes) {
    sink_.write(block_);
    block_.clear();
  }
}

void ReportLines::finish() {
  if (!block_.empty()) sink_.write(block_);
  block_.clear();
}

void ReportLines::padTo6(std::size_t characters) {
  if (characters < kFieldWidth) block_.append(kFieldWidth - characters, ' ');
}

void ReportLines::appendNumber(double v) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  block_.append(buf, writeNumberText(buf, v));
}

void ReportLines::appendFixed(double v, int decimals) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  block_.append(buf, writeFixedText(buf, v, decimals));
}

void ReportLines::appendRightAligned(std::string_view text) {
  padTo6(utf8Length(text));
  block_.append(text);
}

void ReportLines::appendRightAlignedNumber(double v) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  const std::size_t n = writeNumberText(buf, v);
  padTo6(n);
  block_.append(buf, n);
}

void ReportLines::appendRightAlignedFixed(double v, int decimals) {
  requireFinite(v, kTask);
  char buf[kMaxNumberChars];
  const std::size_t n = writeFixedText(buf, v, decimals);
  padTo6(n);
  block_.append(buf, n);
}

void appendMatrixRow(ReportLines& lines, const double* row, int t) {
  for (int j = 0; j < t; ++j) {
    if (row[j] == 0.0) {
      lines.append("  0.0000  ");
    } else {
      lines.append("  ");
      lines.appendRightAlignedFixed(row[j], 4);
      lines.append("  ");
    }
  }
}

void writeApproximateElevations(const AdjustmentResults& r, ReportLines& lines) {
  const LevelingNetwork& net = r.net;
  lines.title("近拟坐标");
  for (int p = net.knownCount + 1; p <= net.pointCount; ++p) {
    lines.appendNumber(p);
    lines.append("   ");
    lines.append(net.pointName[p]);
    lines.append("   ");
    lines.appendNumber(r.approximateElevations[p]);
    lines.endLine();
  }
}

void writeErrorEquations(const AdjustmentResults& r, ReportLines& lines) {
  const int t = r.net.parameterCount;
  lines.title("由观测值组成误差方程");
  for (int i = 1; i <= r.net.observationCount; ++i) {
    const ErrorEquation& b = r.errorEquations[i];
    appendErrorEquationLine(
        lines, t, [&b](int j) { return b[j]; }, r.constantTerms[i]);
  }
}

void writeNormalEquations(const AdjustmentResults& r, ReportLines& lines) {
  const int t = r.net.parameterCount;
  lines.title("由误差方程组成法方程");
  // N from its compact rows, one printed row at a time: the elements left of
  // the diagonal are those of the rows above (N is symmetric).
  const std::vector<std::vector<NormalElement>> upper = formNormalRows(r);
  std::vector<std::vector<NormalElement>> lower(static_cast<std::size_t>(t) + 1);
  for (int i = 1; i <= t; ++i)
    for (const NormalElement& e : upper[i])
      if (e.column != i) lower[e.column].push_back({i, e.value});
  std::vector<double> row(static_cast<std::size_t>(t), 0.0);
  for (int i = 1; i <= t; ++i) {
    for (const NormalElement& e : lower[i]) row[e.column - 1] = e.value;
    for (const NormalElement& e : upper[i]) row[e.column - 1] = e.value;
    appendMatrixRow(lines, row.data(), t);
    lines.appendFixed(r.normalConstants[i], 1);
    lines.endLine();
    for (const NormalElement& e : lower[i]) row[e.column - 1] = 0.0;
    for (const NormalElement& e : upper[i]) row[e.column - 1] = 0.0;
  }
}

void writeSolution(const AdjustmentResults& r, ReportLines& lines) {
  const int t = r.net.parameterCount;
  const Cofactors& Q = r.cofactors;
  lines.title("解算法方程  ");
  std::vector<double> block(static_cast<std::size_t>(kRowBlock) * static_cast<std::size_t>(t));
  for (int i0 = 1; i0 <= t; i0 += kRowBlock) {
    const int i1 = std::min(t, i0 + kRowBlock - 1);
    const std::size_t rows = static_cast<std::size_t>(i1 - i0 + 1);
    for (int j = 1; j <= t; ++j) {
      const double* q = Q.line(j) + (i0 - 1);
      for (std::size_t k = 0; k < rows; ++k) block[k * static_cast<std::size_t>(t) + (j - 1)] = q[k];
    }
    for (int i = i0; i <= i1; ++i) {
      appendMatrixRow(lines, block.data() + static_cast<std::size_t>(i - i0) * static_cast<std::size_t>(t), t);
      lines.appendRightAlignedFixed(r.parameterCorrections[i], 4);
      lines.endLine();
    }
  }
}

void writeAdjustedValues(const AdjustmentResults& r, ReportLines& lines) {
  const LevelingNetwork& net = r.net;
  lines.title("序号   点号   最或然值(m) ");
  for (int p = 1; p <= net.pointCount; ++p) {
    lines.append("  ");
    lines.appendNumber(p);
    lines.append(" ");
    lines.appendRightAligned(net.pointName[p]);
    lines.append("     ");
    lines.appendRightAlignedFixed(r.adjustedElevations[p], 4);
    lines.endLine();
  }
  lines.title("序号  观测值(m)  改正数(mm)  平差值(m)");
  for (int k = 1; k <= net.observationCount; ++k) {
    lines.append("  ");
    lines.appendNumber(k);
    lines.append("    ");
    lines.appendRightAlignedFixed(net.observedDifference[k], 3);
    lines.append("   ");
    lines.appendRightAlignedFixed(r.corrections[k], 1);
    lines.append("       ");
    lines.appendRightAlignedFixed(r.adjustedDifferences[k], 4);
    lines.endLine();
  }
}

void writePrecision(const AdjustmentResults& r, ReportLines& lines) {
  const LevelingNetwork& net = r.net;
  lines.title("精度评定:");
  lines.append("  1、单位权中误差:μ=±");
  lines.appendFixed(r.unitWeightError, 3);
  lines.append("mm");
  lines.endLine();
  lines.append("  2、每公里观测高差中误差(相对中误差):1km:M(km)=±");
  lines.appendFixed(r.errorPerKilometre, 3);
  lines.append("mm");
  lines.endLine();
  lines.append("  3、各所求点高程平差值的中误差:");
  lines.endLine();
  for (int i = 1; i <= net.parameterCount; ++i) {
    lines.append("     M(");
    lines.appendNumber(net.knownCount + i);
    lines.append(")=±");
    lines.appendFixed(r.pointErrors[i], 3);
    lines.append("mm");
    lines.endLine();
  }
}

void StringSink::expect(std::size_t bytes) {
  text.reserve(text.size() + bytes);
  adviseHugePages(text.data(), text.capacity());
}

namespace {

// An upper estimate of the report's length: section 2 has t + 1 fields of 6
// for each observation, sections 3 and 4 t fields of 10 and more per row.
std::size_t reportSizeGuess(const LevelingNetwork& net) {
  const std::size_t n = static_cast<std::size_t>(net.observationCount);
  const std::size_t t = static_cast<std::size_t>(net.parameterCount);
  const std::size_t p = static_cast<std::size_t>(net.pointCount);
  return 1024 + p * 64 + n * (6 * t + 96) + 2 * t * (12 * t + 32) + t * 48;
}

}  // namespace

void writeReport(const AdjustmentResults& results, TextSink& sink) {
  sink.expect(reportSizeGuess(results.net));
  ReportLines lines(sink);
  writeApproximateElevations(results, lines);
  writeErrorEquations(results, lines);
  writeNormalEquations(results, lines);
  writeSolution(results, lines);
  writeAdjustedValues(results, lines);
  writePrecision(results, lines);
  lines.finish();
}

}  // namespace levelnet
