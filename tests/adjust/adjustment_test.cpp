// The adjustment run: every report section against hand-worked examples, and
// the edges where rounding, field filling or order could go wrong.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "adjust/adjustment_run.h"
#include "adjust/phases.h"
#include "adjust/pipeline.h"
#include "adjust/report_writer.h"
#include "network/errors.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

using testing::enteredNetwork;

// The section of `report` that starts with `title`, up to the next empty line.
std::string section(const std::string& report, const std::string& title) {
  std::size_t start = report.find(title + "\r\n");
  if (start == std::string::npos) return "(no section " + title + ")";
  std::size_t end = report.find("\r\n\r\n", start);
  return report.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
}

std::string adjust(NetworkText& net) { return runAdjustment(net.fields, net.points, net.observations); }

std::string reportOf(const AdjustmentResults& results) {
  StringSink sink;
  writeReport(results, sink);
  return sink.text;
}

// Points A 10 and B 12 known, E and F unknown; four observations.
NetworkText loopNetwork() {
  return enteredNetwork(
      {"2", "2", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"E", ""}, {"F", ""}},
      {{"A", "E", "1.003", "2"}, {"E", "F", "0.498", "1"}, {"F", "B", "0.505", "2"}, {"B", "E", "-0.990", "1"}});
}

TEST(Adjustment, ApproximateElevationsErrorAndNormalEquationsOfTheLoopExample) {
  NetworkText net = loopNetwork();
  const AdjustmentResults run = computeAdjustment(gatherNetwork(net.fields, net.points, net.observations));
  const std::string report = reportOf(run);
  EXPECT_EQ(report.substr(0, report.find("\r\n\r\n") + 2), "近拟坐标\r\n3   E   11.003\r\n4   F   11.501\r\n");
  EXPECT_EQ(section(report, "由观测值组成误差方程"),
            "由观测值组成误差方程\r\n"
            "     1     0     0\r\n"
            "    -1     1     0\r\n"
            "     0    -1    -6\r\n"
            "     1     0    -7\r\n");
  EXPECT_EQ(section(report, "由误差方程组成法方程"),
            "由误差方程组成法方程\r\n"
            "  2.5000    -1.0000  -7.0\r\n"
            "  -1.0000    1.5000  3.0\r\n");
  const double weights[] = {0, 0.5, 1, 0.5, 1};
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(run.weights[i], weights[i]);
  EXPECT_EQ(run.errorEquations[2][1], -1.0);
  EXPECT_EQ(run.errorEquations[2][2], 1.0);
  EXPECT_EQ(run.errorEquations[3][1], 0.0);
  EXPECT_NEAR(run.normalConstants[1], -7, 1e-9);
  EXPECT_NEAR(run.normalConstants[2], 3, 1e-9);
  // The section starts the report and consecutive sections are one empty line apart.
  EXPECT_EQ(report.find("\r\n\r\n\r\n"), std::string::npos);
  EXPECT_NE(report.substr(0, 2), "\r\n");
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");
}

TEST(Adjustment, ApproximateElevationsTakeTheFirstTieToALowerPoint) {
  // F found by the from-test when observation 2 is entered the other way round.
  NetworkText reversed = loopNetwork();
  reversed.observations.setText(2, 1, "F");
  reversed.observations.setText(2, 2, "E");
  reversed.observations.setText(2, 3, "-0.498");
  EXPECT_EQ(section(adjust(reversed), "近拟坐标"), "近拟坐标\r\n3   E   11.003\r\n4   F   11.501\r\n");

  // P is tied only to the higher-numbered Q: it keeps its typed value. Q is
  // tied first (observation 1) to the lower P, so it gets P's typed value
  // carried on, not its own typed 99 and not A + 2 from observation 2.
  NetworkText upward = enteredNetwork({"1", "2", "3", "1"}, {{"A", "10"}, {"P", "5.5"}, {"Q", "99"}},
                                      {{"P", "Q", "1.0", "1"}, {"A", "Q", "2.0", "1"}, {"Q", "A", "-2.0", "1"}});
  EXPECT_EQ(section(adjust(upward), "近拟坐标"), "近拟坐标\r\n2   P   5.5\r\n3   Q   6.5\r\n");
  // An empty cell carries on as 0.
  upward.points.setText(2, 2, "");
  EXPECT_EQ(section(adjust(upward), "近拟坐标"), "近拟坐标\r\n2   P   0\r\n3   Q   1\r\n");
}

// A network of t unknown points (no known ones) whose normal matrix is N,
// with the normal constants W: enough for the solver and section 4.
struct SolverCase {
  AdjustmentResults results{LevelingNetwork{}};
  AugmentedRows normal;
};

SolverCase solverCase(const std::vector<std::vector<double>>& N, const std::vector<double>& W) {
  LevelingNetwork net;
  const int t = static_cast<int>(W.size());
  net.unknownCount = net.parameterCount = net.pointCount = t;
  net.pointName.assign(t + 1, "P");
  SolverCase c{AdjustmentResults(net), AugmentedRows(t)};
  c.results.normalConstants.assign(t + 1, 0.0);
  for (int i = 1; i <= t; ++i) {
    c.results.normalConstants[i] = W[i - 1];
    for (int j = i; j <= t; ++j) c.normal.left(i, j) = N[i - 1][j - 1];
  }
  return c;
}

// One section alone, as the report writes it.
template <class Section>
std::string sectionText(const AdjustmentResults& r, Section&& section) {
  StringSink sink;
  ReportLines lines(sink);
  section(r, lines);
  lines.finish();
  return sink.text;
}
std::string solutionSection(const AdjustmentResults& r) { return sectionText(r, writeSolution); }
std::string reportOfPrecision(const AdjustmentResults& r) { return sectionText(r, writePrecision); }

TEST(Adjustment, SolverWorkedExample) {
  SolverCase c = solverCase({{3, -1}, {-1, 2}}, {-4.2, 3.1});
  AdjustmentResults& run = c.results;
  run.cofactors = invertNormalMatrix(c.normal, run.net);
  solveNormalEquations(run);
  EXPECT_NEAR(run.cofactors(1, 1), 0.4, 1e-15);
  EXPECT_NEAR(run.cofactors(1, 2), 0.2, 1e-15);
  EXPECT_NEAR(run.cofactors(2, 2), 0.6, 1e-15);
  EXPECT_NEAR(run.parameterCorrections[1], 1.06, 1e-14);
  EXPECT_NEAR(run.parameterCorrections[2], -1.02, 1e-14);
  EXPECT_EQ(solutionSection(run),
            "解算法方程  \r\n"
            "  0.4000    0.2000  1.0600\r\n"
            "  0.2000    0.6000  -1.0200\r\n");
}

TEST(Adjustment, SolverWithOneParameter) {
  SolverCase c = solverCase({{2.5}}, {-7});
  AdjustmentResults& run = c.results;
  run.cofactors = invertNormalMatrix(c.normal, run.net);
  solveNormalEquations(run);
  EXPECT_EQ(run.cofactors(1, 1), 1 / 2.5);  // Q(1,1) = R(1,2) = -(-1)/N(1,1)
  EXPECT_EQ(run.parameterCorrections[1], 0 - (1 / 2.5) * -7.0);
  EXPECT_EQ(solutionSection(run), "解算法方程  \r\n  0.4000  2.8000\r\n");
}

TEST(Adjustment, SolverRefusesAZeroPivot) {
  // Rows 1 and 2 equal: the reduced second pivot is exactly zero.
  SolverCase c = solverCase({{1, 1}, {1, 1}}, {1, 1});
  try {
    invertNormalMatrix(c.normal, c.results.net);
    FAIL() << "no refusal";
  } catch (const AdjustmentError& e) {
    EXPECT_NE(std::string(e.what()).find("法方程没有唯一解：约化到第 2 个未知数"), std::string::npos) << e.what();
  }
  SolverCase first = solverCase({{0, 0}, {0, 1}}, {1, 1});
  EXPECT_THROW(invertNormalMatrix(first.normal, first.results.net), AdjustmentError);
  SolverCase nan = solverCase({{NAN}}, {1});
  EXPECT_THROW(invertNormalMatrix(nan.normal, nan.results.net), AdjustmentError);
  // A subnormal or negative pivot has lost its digits: no unique solution.
  for (double pivot : {4e-320, -1.0}) {
    SolverCase bad = solverCase({{pivot}}, {1});
    EXPECT_THROW(invertNormalMatrix(bad.normal, bad.results.net), AdjustmentError) << pivot;
  }
}

TEST(Adjustment, AdjustedValuesAndPrecisionOfTheOneUnknownExample) {
  NetworkText net = enteredNetwork({"2", "1", "2", "1"}, {{"A", "10.0000"}, {"B", "11.0000"}, {"P", ""}},
                                   {{"A", "P", "0.505", "1"}, {"P", "B", "0.497", "1"}});
  const std::string report = adjust(net);
  EXPECT_EQ(section(report, "序号   点号   最或然值(m) "),
            "序号   点号   最或然值(m) \r\n"
            "  1      A     10.0000\r\n"
            "  2      B     11.0000\r\n"
            "  3      P     10.5040\r\n");
  EXPECT_EQ(section(report, "序号  观测值(m)  改正数(mm)  平差值(m)"),
            "序号  观测值(m)  改正数(mm)  平差值(m)\r\n"
            "  1     0.505     -1.0       0.5040\r\n"
            "  2     0.497     -1.0       0.4960\r\n");
  EXPECT_EQ(section(report, "精度评定:"),
            "精度评定:\r\n"
            "  1、单位权中误差:μ=±1.414mm\r\n"
            "  2、每公里观测高差中误差(相对中误差):1km:M(km)=±1.414mm\r\n"
            "  3、各所求点高程平差值的中误差:\r\n"
            "     M(3)=±1.000mm\r\n");
  EXPECT_EQ(report.substr(report.rfind("\r\n", report.size() - 3) + 2), "     M(3)=±1.000mm\r\n");
}

TEST(Adjustment, NetworkWithoutUnknownPoints) {
  NetworkText net = enteredNetwork({"2", "0", "2", "1"}, {{"A", "10"}, {"B", "11"}},
                                   {{"A", "B", "1.002", "1"}, {"B", "A", "-0.997", "4"}});
  const std::string report = adjust(net);
  EXPECT_EQ(report,
            "近拟坐标\r\n"
            "\r\n由观测值组成误差方程\r\n    -2\r\n    -3\r\n"
            "\r\n由误差方程组成法方程\r\n"
            "\r\n解算法方程  \r\n"
            "\r\n序号   点号   最或然值(m) \r\n  1      A     10.0000\r\n  2      B     11.0000\r\n"
            "\r\n序号  观测值(m)  改正数(mm)  平差值(m)\r\n"
            "  1     1.002     -2.0       1.0000\r\n"
            "  2    -0.997     -3.0       -1.0000\r\n"  // seven characters: not cut
            "\r\n精度评定:\r\n"
            // [pvv] = 4 x 1 + 9 x 0.25 = 6.25; mu = sqrt(6.25 / 2)
            "  1、单位权中误差:μ=±1.768mm\r\n"
            "  2、每公里观测高差中误差(相对中误差):1km:M(km)=±1.768mm\r\n"
            "  3、各所求点高程平差值的中误差:\r\n");
}

TEST(Adjustment, RoundingEdgesInTheSections) {
  StringSink linesText;
  ReportLines lines(linesText);
  // Constant terms of -0.05 and -0.04 mm are written 0, -0.06 mm as -0.1.
  appendErrorEquationLine(
      lines, 1, [](int) { return 0.0; }, -0.05);
  appendErrorEquationLine(
      lines, 1, [](int) { return 1.0; }, -0.04);
  appendErrorEquationLine(
      lines, 1, [](int) { return -1.0; }, -0.06);
  appendErrorEquationLine(
      lines, 0, [](int) { return 0.0; }, 1234567.25);
  lines.finish();
  EXPECT_EQ(linesText.text, "     0     0\r\n     1     0\r\n    -1  -0.1\r\n1234567.3\r\n");

  // An element of -12.34567 is written -12.3457 and shifts the rest of its row.
  StringSink rowText;
  ReportLines row(rowText);
  const double values[] = {-12.34567, 1, -0.00004, 10};
  appendMatrixRow(row, values, 4);
  row.finish();
  EXPECT_EQ(rowText.text, "  -12.3457    1.0000    0.0000    10.0000  ");
}

TEST(Adjustment, CorrectionsAreStoredRoundedToATenthOfAMillimetre) {
  // An observation between the two known points: its correction is the
  // difference of the given elevations minus the observed value.
  NetworkText net = enteredNetwork(
      {"2", "1", "4", "1"}, {{"A", "10"}, {"B", "10"}, {"P", ""}},
      {{"A", "P", "0.5", "1"}, {"P", "B", "-0.5", "1"}, {"A", "B", "0.00004", "1"}, {"A", "B", "0.00006", "1"}});
  const AdjustmentResults run = computeAdjustment(gatherNetwork(net.fields, net.points, net.observations));
  const std::string report = reportOf(run);
  EXPECT_EQ(run.corrections[3], 0.0);
  EXPECT_FALSE(std::signbit(run.corrections[3]));
  EXPECT_EQ(run.corrections[4], -0.1);
  EXPECT_NE(report.find("  3     0.000      0.0       0.0000\r\n"), std::string::npos) << report;
  EXPECT_NE(report.find("  4     0.000     -0.1       0.0000\r\n"), std::string::npos) << report;
}

TEST(Adjustment, UnitWeightErrorIsRoundedBeforeUse) {
  // [pvv] / (n - t) = 1.23449^2: mu is 1.234, and the point error comes from
  // 1.234, not 1.23449 (1.234 x 2 = 2.468; 1.23449 x 2 = 2.469).
  LevelingNetwork net;
  net.knownCount = 3;
  net.unknownCount = net.parameterCount = 1;
  net.pointCount = 4;
  net.observationCount = 2;
  net.unitWeightLength = 4;
  AdjustmentResults run(net);
  run.corrections = {0, 1.0, 0.0};
  run.weights = {0, 1.23449 * 1.23449, 1};
  run.pointCofactors = {0, 4};
  assessPrecision(run);
  EXPECT_EQ(run.unitWeightError, 1.234);
  EXPECT_EQ(run.pointErrors[1], 1.234 * 2);
  EXPECT_EQ(section(reportOfPrecision(run), "精度评定:"),
            "精度评定:\r\n"
            "  1、单位权中误差:μ=±1.234mm\r\n"
            "  2、每公里观测高差中误差(相对中误差):1km:M(km)=±0.617mm\r\n"  // unit-weight length 4: mu / 2
            "  3、各所求点高程平差值的中误差:\r\n"
            "     M(4)=±2.468mm\r\n");  // point numbers, not names
}

TEST(Adjustment, RunIsRepeatableAndLongNamesShiftTheirLine) {
  NetworkText net = enteredNetwork({"1", "1", "2", "1"}, {{"BM城东水准点", "10"}, {"P", ""}},
                                   {{"BM城东水准点", "P", "0.5", "1"}, {"P", "BM城东水准点", "-0.501", "1"}});
  const std::string first = adjust(net);
  EXPECT_EQ(net.points.text(2, 2), "");  // the engine only reads the tables
  net.points.setText(2, 2, "0");         // as the window shows an empty cell after a run
  EXPECT_EQ(adjust(net), first);
  EXPECT_NE(first.find("  1 BM城东水准点     10.0000\r\n"), std::string::npos) << first;
  EXPECT_NE(first.find("  2      P     10.5005\r\n"), std::string::npos) << first;
}

}  // namespace
}  // namespace levelnet

namespace levelnet {
namespace {

TEST(Adjustment, TheReportIsTheSameUnderACommaLocale) {
  NetworkText first = loopNetwork();
  const std::string expected = adjust(first);
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  NetworkText second = loopNetwork();
  const std::string underComma = adjust(second);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(underComma, expected);
  EXPECT_EQ(underComma.find(','), std::string::npos);
}

}  // namespace
}  // namespace levelnet
