// The data checks: loops and routes with their misclosures, tolerances, the
// chi-square test and the search for a blunder.
#include <gtest/gtest.h>

#include <cmath>

#include "adjust/adjustment_run.h"
#include "check/misclosures.h"
#include "check/network_check.h"
#include "check/statistics.h"
#include "network/input_error.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

using testing::enteredNetwork;

LevelingNetwork gathered(const NetworkText& text) { return gatherNetwork(text.fields, text.points, text.observations); }

std::string names(const LevelingNetwork& net, const Misclosure& m) {
  std::string s;
  for (int p : m.points) s += (s.empty() ? "" : "-") + net.pointName[p];
  return s;
}

TEST(Misclosures, SingleLoopKnownByHand) {
  // A-B-C-A: +1.000 + 0.500 - 1.496 = +4 mm over 1 + 1 + 2 km.
  const LevelingNetwork net =
      gathered(enteredNetwork({"1", "2", "3", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}},
                              {{"A", "B", "1.000", "1"}, {"B", "C", "0.500", "1"}, {"C", "A", "-1.496", "2"}}));
  const std::vector<Misclosure> m = findMisclosures(net);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_FALSE(m[0].route);
  EXPECT_EQ(names(net, m[0]), "A-B-C-A");
  EXPECT_DOUBLE_EQ(m[0].lengthKm, 4.0);
  EXPECT_NEAR(m[0].misclosureMm, 4.0, 1e-9);
  EXPECT_TRUE(withinTolerance(m[0].misclosureMm, m[0].lengthKm, 4.0));  // 二等: 4 sqrt(4) = 8 mm
}

TEST(Misclosures, RoutesBetweenTwoBenchmarks) {
  // A 10 and B 12 known; P between them levelled from A once and to B twice,
  // and A to B directly.
  const LevelingNetwork net = gathered(enteredNetwork(
      {"2", "1", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"P", ""}},
      {{"A", "P", "1.200", "1"}, {"P", "B", "0.803", "1.5"}, {"B", "P", "-0.801", "1.5"}, {"B", "A", "-2.002", "3"}}));
  const std::vector<Misclosure> m = findMisclosures(net);
  ASSERT_EQ(m.size(), 3u);  // n - t
  EXPECT_TRUE(m[0].route);
  EXPECT_EQ(names(net, m[0]), "A-P-B");
  EXPECT_DOUBLE_EQ(m[0].lengthKm, 2.5);
  EXPECT_NEAR(m[0].misclosureMm, 3.0, 1e-9);   // 1.200 + 0.803 - (12 - 10)
  EXPECT_EQ(names(net, m[1]), "B-P-A");        // from the observation's from point
  EXPECT_NEAR(m[1].misclosureMm, -1.0, 1e-9);  // -0.801 - 1.200 - (10 - 12)
  EXPECT_EQ(names(net, m[2]), "B-A");
  EXPECT_NEAR(m[2].misclosureMm, -2.0, 1e-9);
}

TEST(Misclosures, TwoLoopsAndASpur) {
  const NetworkText text =
      enteredNetwork({"1", "5", "7", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}, {"D", ""}, {"E", ""}, {"S", ""}},
                     {{"A", "B", "1.001", "1"},
                      {"B", "C", "1.002", "1"},
                      {"C", "A", "-2.000", "1"},
                      {"A", "D", "0.5", "1"},
                      {"D", "E", "0.3", "1"},
                      {"E", "A", "-0.801", "1"},
                      {"C", "S", "0.7", "1"}});
  const LevelingNetwork net = gathered(text);
  const std::vector<Misclosure> m = findMisclosures(net);
  ASSERT_EQ(m.size(), 2u);
  EXPECT_FALSE(m[0].route);
  EXPECT_FALSE(m[1].route);
  EXPECT_NEAR(m[0].misclosureMm, 3.0, 1e-9);
  EXPECT_NEAR(m[1].misclosureMm, -1.0, 1e-9);

  const AdjustmentResults run = computeAdjustment(net);
  const ResidualAnalysis r = analyseResiduals(run);
  EXPECT_NEAR(r.rows[7].redundancy, 0.0, 1e-12);  // the spur checks nothing
  EXPECT_TRUE(r.rows[7].unchecked);
  EXPECT_FALSE(r.rows[7].standardised);
  double total = 0;
  for (int k = 1; k <= 7; ++k) total += r.rows[k].redundancy;
  EXPECT_NEAR(total, 2.0, 1e-9);  // the redundancy numbers add up to n - t
  for (int k = 1; k <= 6; ++k) EXPECT_NEAR(r.rows[k].redundancy, 1.0 / 3, 1e-9) << k;
  const CheckOutcome outcome = checkNetwork(net, {}, "t.pc");
  EXPECT_NE(outcome.report.find("1 个观测值无法检核"), std::string::npos) << outcome.report;
}

TEST(Tolerances, EveryGradeAtItsBoundary) {
  struct Row {
    const char* grade;
    const char* terrain;
    double coefficient;
  } rows[] = {{"二等", "", 4},      {"二等", "山区", 4},  {"三等", "", 12},     {"三等", "平原", 12},
              {"三等", "山区", 15}, {"四等", "平原", 20}, {"四等", "山区", 25}, {"等外", "", 40}};
  for (const Row& r : rows) {
    EXPECT_EQ(toleranceCoefficient(r.grade, r.terrain), r.coefficient) << r.grade << r.terrain;
    for (double length : {1.0, 4.0, 2.25}) {
      const double tolerance = r.coefficient * std::sqrt(length);
      EXPECT_TRUE(withinTolerance(tolerance, length, r.coefficient)) << r.grade << " L=" << length;
      EXPECT_TRUE(withinTolerance(-tolerance, length, r.coefficient)) << r.grade << " L=" << length;
      EXPECT_TRUE(withinTolerance(tolerance + 0.04, length, r.coefficient)) << "shown as the tolerance";
      EXPECT_FALSE(withinTolerance(tolerance + 0.1, length, r.coefficient)) << r.grade << " L=" << length;
      EXPECT_FALSE(withinTolerance(-tolerance - 0.1, length, r.coefficient)) << r.grade << " L=" << length;
    }
  }
  EXPECT_EQ(toleranceCoefficient("", ""), 0.0);
  EXPECT_THROW(toleranceCoefficient("一等", ""), InputError);
  EXPECT_THROW(toleranceCoefficient("三等", "丘陵"), InputError);
  EXPECT_EQ(defaultSigmaKm("三等"), 6.0);
  EXPECT_EQ(defaultSigmaKm("等外"), 0.0);
}

TEST(GlobalTest, ChiSquareIntervalAgainstPublishedTables) {
  struct Row {
    int dof;
    double lower, upper;  // chi-square at 0.025 and 0.975, to three decimals
  } rows[] = {{1, 0.001, 5.024}, {2, 0.051, 7.378}, {5, 0.831, 12.833}, {10, 3.247, 20.483}, {30, 16.791, 46.979}};
  for (const Row& r : rows) {
    const ChiSquareInterval interval = chiSquareInterval(r.dof);
    EXPECT_NEAR(interval.lower, r.lower, 0.0005) << r.dof;
    EXPECT_NEAR(interval.upper, r.upper, 0.0005) << r.dof;
  }
}

NetworkText cityNetwork() {
  NetworkText city;
  applyProject(readProjectFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"), city.fields, city.points,
               city.observations);
  return city;
}

TEST(Blunders, APlantedTwentyMillimetreBlunderIsTheOneFlagged) {
  // Second-grade a-priori precision: 2 mm per km, unit-weight length 1 km.
  const double sigma0 = 2.0;
  const LevelingNetwork clean = gathered(cityNetwork());
  const AdjustmentResults cleanRun = computeAdjustment(clean);
  const ResidualAnalysis cleanResiduals = analyseResiduals(cleanRun, sigma0);
  EXPECT_EQ(cleanResiduals.suspected, 0);
  int flagged = 0, tried = 0;
  for (int k = 1; k <= clean.observationCount; ++k) {
    NetworkText text = cityNetwork();
    const double h = parseNumber(text.observations.text(k, 3)).value();
    text.observations.setText(k, 3, fixedText(h + 0.020, 4));
    const LevelingNetwork net = gathered(text);
    const AdjustmentResults run = computeAdjustment(net);
    const ResidualAnalysis r = analyseResiduals(run, sigma0);
    // Expected |w| of a 20 mm blunder: 20 sqrt(r p) / sigma0. Where it stands
    // well above 3.29 the blunder must be found; weaker checked observations
    // may or may not be flagged, but never in the wrong place.
    const Residual& c = cleanResiduals.rows[k];
    if (20.0 * std::sqrt(c.redundancy * c.p) / sigma0 < 5.0) continue;
    ++tried;
    if (r.suspected == k) ++flagged;
    EXPECT_TRUE(r.suspected == 0 || r.suspected == k) << "blunder in " << k << ", flagged " << r.suspected;
  }
  EXPECT_GT(tried, 10);
  EXPECT_EQ(flagged, tried);
}

TEST(Blunders, TheReportNamesTheBlunderAndFails) {
  NetworkText text = cityNetwork();
  text.observations.setText(9, 3, "2.2730");  // 水塔→BM北山, 20 mm off
  CheckOptions options;
  options.grade = "二等";
  const CheckOutcome outcome = checkNetwork(gathered(text), options, "city.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_NE(outcome.report.find("第 9 个观测值（水塔→BM北山）可疑粗差"), std::string::npos) << outcome.report;
  EXPECT_NE(outcome.report.find("超限"), std::string::npos) << outcome.report;

  const CheckOutcome clean = checkNetwork(gathered(cityNetwork()), options, "city.pc");
  EXPECT_TRUE(clean.passed) << clean.report;
  EXPECT_NE(clean.report.find("结论：闭合差 10 个全部合格；χ²检验通过；未发现可疑粗差"), std::string::npos)
      << clean.report;
}

}  // namespace
}  // namespace levelnet

namespace levelnet {
namespace {

// A benchmark typed twice: the check lists both rows and fails, even when
// every loop, test and residual passes.
TEST(CheckReport, DuplicateNamesAreAFailedItem) {
  const NetworkText text =
      testing::enteredNetwork({"3", "1", "3", "1"}, {{"A", "10"}, {"B", "11"}, {"A", "10.5"}, {"P", ""}},
                              {{"A", "P", "0.500", "1"}, {"P", "B", "0.501", "1"}, {"A", "B", "1.000", "1"}});
  CheckOptions options;
  options.grade = "三等";
  const CheckOutcome outcome =
      checkNetwork(gatherNetwork(text.fields, text.points, text.observations), options, "t.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_NE(outcome.report.find("点名重复：点表第 1 行与第 3 行的点名都是“A”"), std::string::npos) << outcome.report;
  EXPECT_NE(outcome.report.find("；点名重复 1 处"), std::string::npos);
  EXPECT_EQ(outcome.report.find("inf"), std::string::npos);
}

}  // namespace
}  // namespace levelnet
