#include "adjust/report_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "adjust/large_array.h"
#include "adjust/phases.h"
#include "network/errors.h"

namespace levelnet {

namespace {

constexpr std::size_t kFieldWidth = 6;

// Rows of Q gathered at once for printing.
constexpr int kRowBlock = 64;
constexpr int kPrefetchLines = 8;

// The results are checked before they are written; this is the last guard.
constexpr const char* kTask = "平差未完成";

// The two digits of 0..99, for writing four decimals two at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Zero fields copied at once at most.
constexpr int kZeroRun = 256;

// The most a field of sections 3 and 4 takes: two blanks, the number's text,
// two blanks.
constexpr std::size_t kMatrixFieldRoom = kMaxNumberChars + 4;

// One field of sections 3 and 4 at `p`: two blanks, v in "0.0000"
// right-aligned in 6, two blanks; returns its end. The digits are those of
// writeFixedText: whole = floor(v * 10^4 + 0.5), written as its integer part,
// ".", four decimals (a negative whole with "-"; the whole 0 of a small
// negative value without). Its text is never shorter than "0.0000", so it
// never needs the padding of the right alignment.
char* putMatrixField(char* p, double v) {
  if (v == 0.0) {
    std::memcpy(p, "  0.0000  ", 10);
    return p + 10;
  }
  const double scaled = v * 10000.0 + 0.5;
  if (!(std::fabs(scaled) < 1e14)) {
    // Beyond 10^10 (and never finite): writeFixedText's own way, which
    // refuses what is not finite.
    requireFinite(v, kTask);
    p[0] = p[1] = ' ';
    p += 2;
    const std::size_t n = writeFixedText(p, v, 4);
    p += n;
    p[0] = p[1] = ' ';
    return p + 2;
  }
  // floor(scaled), exactly: the conversion cuts towards zero, and a whole
  // number below 2^53 converts back exactly.
  std::int64_t whole = static_cast<std::int64_t>(scaled);
  if (static_cast<double>(whole) > scaled) --whole;
  p[0] = p[1] = ' ';
  p += 2;
  if (whole < 0) *p++ = '-';
  std::uint64_t digits = static_cast<std::uint64_t>(whole < 0 ? -whole : whole);
  const unsigned decimals = static_cast<unsigned>(digits % 10000);
  std::uint64_t integer = digits / 10000;
  if (integer < 10) {
    *p++ = static_cast<char>('0' + integer);
  } else {
    int length = 0;
    for (std::uint64_t rest = integer; rest != 0; rest /= 10) ++length;
    char* q = p + length;
    do {
      *--q = static_cast<char>('0' + integer % 10);
      integer /= 10;
    } while (integer != 0);
    p += length;
  }
  p[0] = '.';
  std::memcpy(p + 1, kDigitPairs + 2 * (decimals / 100), 2);
  std::memcpy(p + 3, kDigitPairs + 2 * (decimals % 100), 2);
  p[5] = p[6] = ' ';
  return p + 7;
}

// The fields of a row of sections 3 and 4; value(j) is the element of
// column j + 1.
template <class Value>
void appendMatrixFields(ReportLines& lines, int t, Value&& value) {
  // Zeros (most of N) are copied a run at a time from a row of them.
  static const std::string zeros = [] {
    std::string z;
    for (int k = 0; k < kZeroRun; ++k) z.append("  0.0000  ");
    return z;
  }();
  // Room for many fields at once; asked again whenever less than one
  // field's worst case, or one run of zeros, is left.
  const std::size_t want =
      std::min<std::size_t>(static_cast<std::size_t>(t), 4096) * 12 + zeros.size() + kMatrixFieldRoom;
  char* p = lines.room(want);
  char* end = lines.roomEnd();
  for (int j = 0; j < t;) {
    if (static_cast<std::size_t>(end - p) < zeros.size() + kMatrixFieldRoom) {
      lines.advance(p);
      p = lines.room(want);
      end = lines.roomEnd();
    }
    const double v = value(j);
    if (v == 0.0) {
      int k = j + 1;
      while (k < t && k - j < kZeroRun && value(k) == 0.0) ++k;
      const std::size_t bytes = static_cast<std::size_t>(k - j) * 10;
      std::memcpy(p, zeros.data(), bytes);
      p += bytes;
      j = k;
    } else {
      p = putMatrixField(p, v);
      ++j;
    }
  }
  lines.advance(p);
}

}  // namespace

void appendMatrixRow(ReportLines& lines, const double* row, int t) {
  appendMatrixFields(lines, t, [row](int j) { return row[j]; });
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
  // Every line is t fields of "     0" but the one or two of its ends (the
  // from end written last, as ErrorEquation gives it): copied from one row
  // of zeros and the two fields put in, then the constant term.
  const std::size_t rowBytes = static_cast<std::size_t>(t) * kFieldWidth;
  std::string zeros;
  zeros.reserve(rowBytes);
  for (int j = 0; j < t; ++j) zeros.append("     0");
  for (int i = 1; i <= r.net.observationCount; ++i) {
    const ErrorEquation& b = r.errorEquations[i];
    char* p = lines.room(rowBytes);
    if (rowBytes > 0) std::memcpy(p, zeros.data(), rowBytes);
    if (b.toParameter >= 1 && b.toParameter <= t)
      std::memcpy(p + static_cast<std::size_t>(b.toParameter - 1) * kFieldWidth, "     1", kFieldWidth);
    if (b.fromParameter >= 1 && b.fromParameter <= t)
      std::memcpy(p + static_cast<std::size_t>(b.fromParameter - 1) * kFieldWidth, "    -1", kFieldWidth);
    lines.advance(p + rowBytes);
    lines.appendRightAlignedNumber(roundHalfUp(r.constantTerms[i], 1));
    lines.endLine();
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

namespace {

// Gathers rows i0..i1 of Q into `block` (row after row, t values each): Q is
// stored by columns, and a block of rows turns the reads into short
// contiguous runs.
void gatherRows(const Cofactors& Q, int t, int i0, int i1, std::vector<double>& block) {
  const std::size_t rows = static_cast<std::size_t>(i1 - i0 + 1);
  for (int j = 1; j <= t; ++j) {
    const double* q = Q.line(j) + (i0 - 1);
#if defined(__GNUC__)
    // The lines lie far apart, too far for the hardware to see the next
    // read coming: it is asked for a few lines ahead.
    if (j + kPrefetchLines <= t) {
      const char* ahead = reinterpret_cast<const char*>(Q.line(j + kPrefetchLines) + (i0 - 1));
      for (std::size_t b = 0; b < rows * sizeof(double); b += 64) __builtin_prefetch(ahead + b);
    }
#endif
    for (std::size_t k = 0; k < rows; ++k) block[k * static_cast<std::size_t>(t) + (j - 1)] = q[k];
  }
}

// Rows i0..i1 of section 4, each ended.
void writeSolutionRows(const AdjustmentResults& r, int i0, int i1, std::vector<double>& block, ReportLines& lines) {
  const int t = r.net.parameterCount;
  gatherRows(r.cofactors, t, i0, i1, block);
  for (int i = i0; i <= i1; ++i) {
    appendMatrixRow(lines, block.data() + static_cast<std::size_t>(i - i0) * static_cast<std::size_t>(t), t);
    lines.appendRightAlignedFixed(r.parameterCorrections[i], 4);
    lines.endLine();
  }
}

}  // namespace

void writeSolution(const AdjustmentResults& r, ReportLines& lines) {
  const int t = r.net.parameterCount;
  lines.title("解算法方程  ");
  // Rows of Q gathered a block at a time, a block of room for each thread.
  std::vector<double> blocks[2];
  formatRowsInTurns(lines, 1, t, kRowBlock, [&](int i0, int i1, ReportLines& into, int worker) {
    std::vector<double>& block = blocks[worker];
    block.resize(static_cast<std::size_t>(kRowBlock) * static_cast<std::size_t>(t));
    writeSolutionRows(r, i0, i1, block, into);
  });
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
