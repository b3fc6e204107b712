// The data checks: loops and routes with their misclosures, tolerances and
// M_W, the chi-square test, the critical values of the blunder tests, the
// search for a blunder (tied groups, Pope's tau without an a-priori sigma),
// the MDB of every observation and the layout of the report.
#include <gtest/gtest.h>

#include <cmath>

#include "adjust/adjustment_run.h"
#include "adjust/pipeline.h"
#include "check/misclosures.h"
#include "check/network_check.h"
#include "check/statistics.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "support/network_generator.h"
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

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A-B-C-A with A known, 1 + 1 + 2 km; `closing` is the difference C->A.
NetworkText singleLoop(const std::string& closing) {
  return enteredNetwork({"1", "2", "3", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}},
                        {{"A", "B", "1.000", "1"}, {"B", "C", "0.500", "1"}, {"C", "A", closing, "2"}});
}

CheckOptions withSigma(double sigmaKm, const std::string& grade = "") {
  CheckOptions options;
  options.grade = grade;
  options.sigmaGiven = true;
  options.sigmaKm = sigmaKm;
  return options;
}

CheckOptions withGrade(const std::string& grade) {
  CheckOptions options;
  options.grade = grade;
  return options;
}

TEST(Misclosures, SingleLoopKnownByHand) {
  // A-B-C-A: +1.000 + 0.500 - 1.496 = +4 mm over 1 + 1 + 2 km.
  const LevelingNetwork net = gathered(singleLoop("-1.496"));
  const std::vector<Misclosure> m = findMisclosures(net);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_FALSE(m[0].route);
  EXPECT_EQ(names(net, m[0]), "A-B-C-A");
  EXPECT_DOUBLE_EQ(m[0].lengthKm, 4.0);
  EXPECT_NEAR(m[0].misclosureMm, 4.0, 1e-9);
  EXPECT_TRUE(withinTolerance(m[0].misclosureMm, m[0].lengthKm, 4.0));  // 二等: 4 sqrt(4) = 8 mm
}

NetworkText twoBenchmarks() {
  // A 10 and B 12 known; P between them levelled from A once and to B twice,
  // and A to B directly.
  return enteredNetwork(
      {"2", "1", "4", "1"}, {{"A", "10"}, {"B", "12"}, {"P", ""}},
      {{"A", "P", "1.200", "1"}, {"P", "B", "0.803", "1.5"}, {"B", "P", "-0.801", "1.5"}, {"B", "A", "-2.002", "3"}});
}

TEST(Misclosures, RoutesBetweenTwoBenchmarks) {
  const LevelingNetwork net = gathered(twoBenchmarks());
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
  EXPECT_EQ(r.rows[7].mdb, 0.0);
  double total = 0;
  for (int k = 1; k <= 7; ++k) total += r.rows[k].redundancy;
  EXPECT_NEAR(total, 2.0, 1e-9);  // the redundancy numbers add up to n - t
  for (int k = 1; k <= 6; ++k) EXPECT_NEAR(r.rows[k].redundancy, 1.0 / 3, 1e-9) << k;
  EXPECT_EQ(r.tested, 6);
  EXPECT_EQ(r.testGroups, 2);  // each loop's three observations are one test
  const CheckOutcome outcome = checkNetwork(net, {}, "t.pc");
  EXPECT_TRUE(contains(outcome.report, "；须注意的观测值 1 个（见四）")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "第 7 个（C→S）：无检核")) << outcome.report;
}

TEST(Misclosures, TotalErrorPerKmByHand) {
  // W = +3, -1, -2 mm over L = 2.5, 2.5, 3 km: [WW/L] = 3.6 + 0.4 + 4/3,
  // M_W = sqrt(16/3 / 3) = 4/3 mm.
  EXPECT_NEAR(totalErrorPerKm(findMisclosures(gathered(twoBenchmarks()))), 4.0 / 3, 1e-9);
  // Two loops of 3 km with +3 and -1 mm: sqrt((9/3 + 1/3) / 2).
  std::vector<Misclosure> loops(2);
  loops[0].lengthKm = loops[1].lengthKm = 3.0;
  loops[0].misclosureMm = 3.0;
  loops[1].misclosureMm = -1.0;
  EXPECT_NEAR(totalErrorPerKm(loops), std::sqrt(5.0 / 3), 1e-12);
  EXPECT_EQ(totalErrorPerKm({}), 0.0);
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
  EXPECT_THROW(toleranceCoefficient("五等", ""), InputError);
  EXPECT_EQ(toleranceCoefficient("一等", ""), 2.0);
  EXPECT_EQ(toleranceCoefficient("工程五等", "山区"), 30.0);
  EXPECT_EQ(gradeErrorLimitKm("一等"), 1.0);
  EXPECT_EQ(gradeErrorLimitKm("工程五等"), 15.0);
  EXPECT_THROW(toleranceCoefficient("三等", "丘陵"), InputError);
  EXPECT_EQ(gradeErrorLimitKm("三等"), 6.0);
  EXPECT_EQ(gradeErrorLimitKm("等外"), 0.0);
}

// The report shows both to 0.1 mm: +5.7 beside ±5.7 (4 sqrt(2) = 5.657) is
// within, +5.8 is not.
TEST(Tolerances, ComparedAsShown) {
  EXPECT_TRUE(withinTolerance(5.7, 2.0, 4.0));
  EXPECT_TRUE(withinTolerance(-5.74, 2.0, 4.0));
  EXPECT_FALSE(withinTolerance(5.75, 2.0, 4.0));
  EXPECT_FALSE(withinTolerance(-5.8, 2.0, 4.0));
}

TEST(CriticalValues, ChiSquareAgainstPublishedTables) {
  struct Row {
    int dof;
    double at025, at95, at975;  // chi-square at 0.025, 0.95 and 0.975, to three decimals
  } rows[] = {{1, 0.001, 3.841, 5.024},
              {2, 0.051, 5.991, 7.378},
              {5, 0.831, 11.070, 12.833},
              {10, 3.247, 18.307, 20.483},
              {30, 16.791, 43.773, 46.979}};
  for (const Row& r : rows) {
    const ChiSquareInterval interval = chiSquareInterval(r.dof);
    EXPECT_NEAR(interval.lower, r.at025, 0.0005) << r.dof;
    EXPECT_NEAR(interval.upper, r.at975, 0.0005) << r.dof;
    EXPECT_NEAR(chiSquareQuantile(r.dof, 0.95), r.at95, 0.0005) << r.dof;
  }
}

TEST(CriticalValues, TauAgainstPublishedTables) {
  // The largest internally studentized residual of a straight-line fit to
  // n points (f = n - 2) at the first-order Bonferroni level alpha / n:
  // Ugah et al., J. Applied Mathematics 2021, table 1 (the values of Lund,
  // Technometrics 1975), for alpha = 0.10, 0.05, 0.01.
  struct Row {
    int n;
    double at10, at05, at01;
  } rows[] = {{5, 1.6974, 1.7147, 1.7286},  {8, 2.1125, 2.1961, 2.3178},  {10, 2.2562, 2.3643, 2.5407},
              {20, 2.6126, 2.7651, 3.0575}, {30, 2.7869, 2.9516, 3.2812}, {60, 3.0508, 3.2247, 3.5869}};
  for (const Row& r : rows) {
    EXPECT_NEAR(tauCriticalValue(r.n - 2, 0.10 / r.n), r.at10, 0.00006) << "n = " << r.n;
    EXPECT_NEAR(tauCriticalValue(r.n - 2, 0.05 / r.n), r.at05, 0.00006) << "n = " << r.n;
    EXPECT_NEAR(tauCriticalValue(r.n - 2, 0.01 / r.n), r.at01, 0.00006) << "n = " << r.n;
  }
  // Student's t, two-sided: t(9) at 95 % 2.262, t(29) at 99 % 2.756.
  EXPECT_NEAR(studentQuantile(9, 0.05), 2.262, 0.0005);
  EXPECT_NEAR(studentQuantile(29, 0.01), 2.756, 0.0005);
  // |tau| can never exceed sqrt(f).
  EXPECT_LT(tauCriticalValue(2, 1e-6), std::sqrt(2.0));
}

TEST(CriticalValues, NormalAndBaardasNoncentrality) {
  EXPECT_NEAR(normalCriticalValue(0.05), 1.960, 0.0005);
  EXPECT_NEAR(normalCriticalValue(0.001), 3.291, 0.0005);  // Baarda's classic level
  EXPECT_NEAR(normalCriticalValue(1e-7), 5.327, 0.0005);   // levels of networks with 10^5 observations
  // Baarda's lambda0 at a power of 80 %: 17.07 at alpha0 = 0.1 %, 7.85 at 5 %.
  EXPECT_NEAR(noncentralityParameter(0.001, 0.80), 17.07, 0.005);
  EXPECT_NEAR(noncentralityParameter(0.05, 0.80), 7.85, 0.005);
}

TEST(CriticalValues, SidakLevelsAddUpToTheFamilyLevel) {
  EXPECT_NEAR(sidakLevel(0.05, 1), 0.05, 1e-15);
  EXPECT_NEAR(sidakLevel(0.05, 2), 1 - std::sqrt(0.95), 1e-15);
  for (int tests : {19, 4000, 100000}) {
    const double alpha0 = sidakLevel(0.05, tests);
    EXPECT_NEAR(std::pow(1 - alpha0, tests), 0.95, 1e-12) << tests;
    EXPECT_GT(alpha0, 0.05 / tests) << "Šidák is never stricter than Bonferroni";
  }
}

NetworkText cityNetwork() {
  NetworkText city;
  applyProject(readProjectFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"), city.fields, city.points,
               city.observations);
  return city;
}

// The city network with observation 9 (水塔→BM北山) 20 mm off.
NetworkText cityWithBlunder() {
  NetworkText text = cityNetwork();
  text.observations.setText(9, 3, "3.6743");  // instead of 3.6543
  return text;
}

TEST(GlobalTest, AGradeIsALimitAndSigmaKmAnExpectedValue) {
  // The city network's [pvv] is 17.357 mm^2 on 10 degrees of freedom.
  struct Row {
    const char* name;
    CheckOptions options;
    bool upperTailOnly;
    bool passed;
    const char* says;
  } rows[] = {
      {"二等: s = 1.3 mm within 2.0", withGrade("二等"), true, true, "结果：通过\r\n"},
      {"四等: far better than 10 mm", withGrade("四等"), true, true, "观测精度明显优于四等的要求"},
      {"--sigma-km 5: two-sided, too small", withSigma(5.0), false, false, "偏小：先验值偏于保守"},
      {"--sigma-km 1.3 with a grade: two-sided", withSigma(1.3, "四等"), false, true, "（双侧，显著水平 5%）"},
      {"等外 alone: no sigma0", withGrade("等外"), false, true, "等外水准没有先验值"},
  };
  const LevelingNetwork net = gathered(cityNetwork());
  const AdjustmentResults run = computeAdjustment(net);
  for (const Row& r : rows) {
    const CheckFindings f = assessNetwork(run, findMisclosures(net), r.options);
    EXPECT_EQ(f.global.upperTailOnly, r.upperTailOnly) << r.name;
    EXPECT_EQ(!f.globalTestDone || f.global.passed, r.passed) << r.name;
    const std::string report = checkNetwork(net, r.options, "city.pc").report;
    EXPECT_TRUE(contains(report, r.says)) << r.name << "\n" << report;
  }
  // The blunder makes the data worse than 二等: 162.099 / 4 > 18.307.
  const AdjustmentResults bad = computeAdjustment(gathered(cityWithBlunder()));
  const GlobalTest g = globalTest(bad, 2.0, true);
  EXPECT_NEAR(g.statistic, 162.099 / 4, 0.001);
  EXPECT_FALSE(g.passed);
}

TEST(TotalError, JudgedFromTwentyMisclosuresOn) {
  // A 5 x 6 grid: 53 observations, 30 unknown points, 23 misclosures, noise
  // 1.2 mm per sqrt km, within 二等's 2.0 mm.
  NetworkText text = testing::gridNetwork(5, 6, 7);
  LevelingNetwork net = gathered(text);
  const std::vector<Misclosure> loops = findMisclosures(net);
  ASSERT_GE(loops.size(), 20u);
  CheckFindings f = assessNetwork(computeAdjustment(net), loops, withGrade("二等"));
  EXPECT_TRUE(f.totalErrorJudged);
  EXPECT_TRUE(f.totalErrorPassed) << f.totalError;
  EXPECT_TRUE(contains(checkNetwork(net, withGrade("二等"), "grid.pc").report, "，不超过二等限值 2.0 mm：合格"));

  // Three times the noise: every misclosure is three times as large.
  const AdjustmentResults run = computeAdjustment(net);
  for (int k = 1; k <= net.observationCount; ++k) {
    const double adjusted = run.adjustedDifferences[k];
    text.observations.setText(k, 3, fixedText(adjusted + 3 * (net.observedDifference[k] - adjusted), 4));
  }
  net = gathered(text);
  f = assessNetwork(computeAdjustment(net), findMisclosures(net), withGrade("二等"));
  EXPECT_GT(f.totalError, 2.0);
  EXPECT_FALSE(f.totalErrorPassed);
  EXPECT_FALSE(f.passed);
  const std::string report = checkNetwork(net, withGrade("二等"), "grid.pc").report;
  EXPECT_TRUE(contains(report, "，超过二等限值 2.0 mm：超限")) << report;
  EXPECT_TRUE(contains(report, " mm 超限；")) << report;

  // The city network has only 10: shown, not judged.
  const CheckOutcome city = checkNetwork(gathered(cityNetwork()), withGrade("二等"), "city.pc");
  EXPECT_TRUE(contains(city.report, "M_W = √([WW/L]/N) = 1.40 mm（N = 10），闭合差不足 20 个")) << city.report;
  EXPECT_TRUE(city.passed);
}

TEST(Blunders, APlantedTwentyMillimetreBlunderIsTheOneFlagged) {
  // Second-grade a-priori precision: 2 mm per km, unit-weight length 1 km.
  const double sigma0 = 2.0;
  const LevelingNetwork clean = gathered(cityNetwork());
  const ResidualAnalysis cleanResiduals = analyseResiduals(computeAdjustment(clean), sigma0);
  EXPECT_TRUE(cleanResiduals.suspected.empty());
  EXPECT_EQ(cleanResiduals.testGroups, 19);
  EXPECT_NEAR(cleanResiduals.critical, 3.000, 0.0005);  // alpha0 = 1 - 0.95^(1/19)
  int flagged = 0, tried = 0;
  for (int k = 1; k <= clean.observationCount; ++k) {
    NetworkText text = cityNetwork();
    const double h = parseNumber(text.observations.text(k, 3)).value();
    text.observations.setText(k, 3, fixedText(h + 0.020, 4));
    const ResidualAnalysis r = analyseResiduals(computeAdjustment(gathered(text)), sigma0);
    // Expected |w| of a 20 mm blunder: 20 sqrt(r p) / sigma0. Where it stands
    // well above the critical value the blunder must be found; weaker checked
    // observations may or may not be flagged, but never in the wrong place.
    const Residual& c = cleanResiduals.rows[k];
    EXPECT_TRUE(r.suspected.empty() || r.suspected == std::vector<int>{k}) << "blunder in " << k;
    if (20.0 * std::sqrt(c.redundancy * c.p) / sigma0 < 5.0) continue;
    ++tried;
    if (r.suspected == std::vector<int>{k}) ++flagged;
  }
  EXPECT_GT(tried, 10);
  EXPECT_EQ(flagged, tried);
}

// Two blunders in different parts of the network: the conclusion counts
// every test above the critical value and lists them, and recommends removing
// the flagged one and checking again.
TEST(Blunders, EveryTestAboveTheCriticalValueIsListed) {
  const double sigma0 = 2.0;
  const LevelingNetwork clean = gathered(cityNetwork());
  const ResidualAnalysis base = analyseResiduals(computeAdjustment(clean), sigma0);
  // The two best-checked observations of different groups.
  int first = 0, second = 0;
  for (int k = 1; k <= clean.observationCount; ++k) {
    const double rk = base.rows[k].redundancy;
    if (first == 0 || rk > base.rows[first].redundancy) {
      if (first != 0 && base.rows[first].group != base.rows[k].group) second = first;
      first = k;
    } else if (base.rows[k].group != base.rows[first].group && (second == 0 || rk > base.rows[second].redundancy)) {
      second = k;
    }
  }
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  NetworkText text = cityNetwork();
  for (int k : {first, second}) {
    const double h = parseNumber(text.observations.text(k, 3)).value();
    text.observations.setText(k, 3, fixedText(h + 0.060, 4));
  }
  CheckOptions options = withSigma(sigma0);
  const CheckOutcome outcome = checkNetwork(gathered(text), options, "two.pc");
  const std::string conclusion = outcome.report.substr(outcome.report.rfind("结论："));
  EXPECT_TRUE(contains(conclusion, "超过临界值的检验共 ")) << conclusion;
  const std::string list = conclusion.substr(conclusion.find("超过临界值的检验共 "));
  for (int k : {first, second})
    EXPECT_TRUE(contains(list, "、" + std::to_string(k) + "、") || contains(list, " " + std::to_string(k) + "、") ||
                contains(list, "、" + std::to_string(k) + " ") || contains(list, " " + std::to_string(k) + " "))
        << k << ": " << conclusion;
  EXPECT_TRUE(contains(conclusion, "后重新检核")) << conclusion;
  // One blunder: no list, but the recommendation.
  const CheckOutcome one = checkNetwork(gathered(cityWithBlunder()), withGrade("二等"), "city.pc");
  EXPECT_TRUE(contains(one.report, "可疑粗差；建议剔除第 9 个观测值后重新检核")) << one.report;
}

TEST(Blunders, TheReportNamesTheBlunderAndFails) {
  const CheckOutcome outcome = checkNetwork(gathered(cityWithBlunder()), withGrade("二等"), "city.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_TRUE(contains(outcome.report, "第 9 个观测值（水塔→BM北山）可疑粗差")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "超限")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "Pope 的 τ 检验")) << outcome.report;

  const CheckOutcome clean = checkNetwork(gathered(cityNetwork()), withGrade("二等"), "city.pc");
  EXPECT_TRUE(clean.passed) << clean.report;
  EXPECT_TRUE(contains(clean.report,
                       "结论：闭合差 10 个全部合格；M_W = 1.40 mm（N < 20，仅供参考）；χ²检验通过；未发现可疑粗差"))
      << clean.report;
}

// The README's example without options: no a-priori sigma, so Pope's tau
// test (with s, |w| could never have reached the old 3.29).
TEST(Blunders, PopesTauFindsTheBlunderWithoutAPrioriSigma) {
  const AdjustmentResults run = computeAdjustment(gathered(cityWithBlunder()));
  const ResidualAnalysis r = analyseResiduals(run);
  EXPECT_EQ(r.test, BlunderTest::popeTau);
  EXPECT_NEAR(r.s, 4.026, 0.0005);
  // tau_c for f = 10, alpha0 = 1 - 0.95^(1/19): t(9, 1 - alpha0/2) = 4.095.
  EXPECT_NEAR(r.student, 4.095, 0.0005);
  EXPECT_NEAR(r.critical, 2.551, 0.0005);
  EXPECT_EQ(r.suspected, std::vector<int>{9});
  EXPECT_NEAR(r.rows[9].w, -3.00, 0.005);  // -14.66 / (4.026 sqrt(0.670 x 2.2))
  for (int k = 1; k <= 19; ++k) EXPECT_LE(std::fabs(r.rows[k].w), std::sqrt(10.0)) << k;
}

TEST(Blunders, OneRedundantObservationNeedsAnAPrioriSigma) {
  const LevelingNetwork net = gathered(singleLoop("-1.460"));  // W = +40 mm
  const CheckOutcome without = checkNetwork(net, withGrade("三等"), "loop.pc");
  EXPECT_FALSE(without.passed);
  EXPECT_TRUE(contains(without.report, "无法检核：多余观测只有 1 个")) << without.report;
  EXPECT_TRUE(contains(without.report, "；无法检核：多余观测太少，粗差无法发现")) << without.report;
  EXPECT_EQ(analyseResiduals(computeAdjustment(net)).test, BlunderTest::none);

  // Even with the misclosure within its tolerance and nothing else wrong.
  const CheckOutcome small = checkNetwork(gathered(singleLoop("-1.496")), withGrade("三等"), "loop.pc");
  EXPECT_FALSE(small.passed) << small.report;
}

TEST(Blunders, ASingleLoopIsOneTiedGroup) {
  // W = +40 mm over 4 km with sigma 2 mm/sqrt km: every w is 40 / (2 x 2) = 10.
  const LevelingNetwork net = gathered(singleLoop("-1.460"));
  const ResidualAnalysis r = analyseResiduals(computeAdjustment(net), 2.0);
  EXPECT_EQ(r.test, BlunderTest::baardaW);
  EXPECT_EQ(r.testGroups, 1);
  EXPECT_NEAR(r.critical, 1.960, 0.0005);
  EXPECT_EQ(r.suspected, (std::vector<int>{1, 2, 3}));
  for (int k = 1; k <= 3; ++k) EXPECT_NEAR(std::fabs(r.rows[k].w), 10.0, 1e-9) << k;

  const CheckOutcome outcome = checkNetwork(net, withSigma(2.0), "loop.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_TRUE(contains(outcome.report, "；可疑粗差（不可区分）：第 1、2、3 个观测值，粗差在其中之一"))
      << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "  可疑粗差（不可区分）  A→B\r\n")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "  可疑粗差（不可区分）  C→A\r\n")) << outcome.report;
}

// Three loops closing exactly (f = 3): nothing is flagged from noise, and
// the tau test on f <= 3 is said to be unreliable.
TEST(Blunders, ANetworkClosingExactlyPasses) {
  const NetworkText text = enteredNetwork({"1", "3", "6", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}, {"D", ""}},
                                          {{"A", "B", "1.000", "1"},
                                           {"B", "C", "1.000", "1.3"},
                                           {"C", "A", "-2.000", "1"},
                                           {"A", "D", "0.500", "1"},
                                           {"D", "C", "1.500", "1.7"},
                                           {"B", "D", "-0.500", "1"}});
  const CheckOutcome outcome = checkNetwork(gathered(text), {}, "exact.pc");
  EXPECT_TRUE(outcome.passed) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "无法可靠检核：多余观测只有 3 个")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "未发现可疑粗差（τ 检验无法可靠检核，仅供参考）")) << outcome.report;
}

// W = +40 mm: all three suspected, and each MDB (11.2 mm) above its 二等
// tolerance; the rows say 可疑粗差, so the conclusion counts no 检核薄弱.
TEST(CheckReport, TheConclusionCountsTheRowsItShows) {
  const CheckOutcome outcome = checkNetwork(gathered(singleLoop("-1.460")), withSigma(2.0, "二等"), "loop.pc");
  EXPECT_TRUE(contains(outcome.report, "可疑粗差（不可区分）：第 1、2、3 个观测值")) << outcome.report;
  EXPECT_FALSE(contains(outcome.report, "个观测值检核薄弱")) << outcome.report;
}

TEST(Blunders, AChainBetweenTwoJunctionsIsFlaggedTogether) {
  // Loops A-B-X-C-A and B-X-C-D-B. X and D join two observations each, and
  // so does the single benchmark A: the pairs (1, 4), (2, 3) and (5, 6) each
  // close the same loops and are three tests. 15 mm in X->C.
  const NetworkText text =
      enteredNetwork({"1", "4", "6", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}, {"X", ""}, {"D", ""}},
                     {{"A", "B", "1.000", "1.2"},
                      {"B", "X", "0.400", "0.8"},
                      {"X", "C", "0.615", "1.5"},
                      {"C", "A", "-2.001", "2"},
                      {"B", "D", "-0.300", "1"},
                      {"D", "C", "1.302", "1.1"}});
  const LevelingNetwork net = gathered(text);
  const ResidualAnalysis r = analyseResiduals(computeAdjustment(net), 1.0);
  EXPECT_EQ(r.tested, 6);
  EXPECT_EQ(r.testGroups, 3);
  EXPECT_NEAR(std::fabs(r.rows[2].w), std::fabs(r.rows[3].w), 1e-9);
  EXPECT_EQ(r.suspected, (std::vector<int>{2, 3}));
  const CheckOutcome outcome = checkNetwork(net, withSigma(1.0), "chain.pc");
  EXPECT_TRUE(contains(outcome.report, "可疑粗差（不可区分）：第 2、3 个观测值")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "共 n' = 3 个检验")) << outcome.report;
}

// Loops A-B-X-Y-C-A and B-X-Y-C-D-B: the chain B-X-Y-C between the
// junctions B and C; `first` is the difference B->X over 0.03 km.
NetworkText chainWithShortSection(const std::string& first) {
  return enteredNetwork({"1", "5", "7", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}, {"X", ""}, {"Y", ""}, {"D", ""}},
                        {{"A", "B", "1.000", "1.2"},
                         {"B", "X", first, "0.03"},
                         {"X", "Y", "0.300", "1"},
                         {"Y", "C", "0.300", "1.5"},
                         {"C", "A", "-2.000", "2"},
                         {"B", "D", "-0.300", "1"},
                         {"D", "C", "1.300", "1.1"}});
}

// Tied groups come from Q_vv, not from equal |w|: the same groups and n'
// whether the data close exactly (every w 0) or hold a blunder.
TEST(Blunders, TiedGroupsDependOnTheGeometryOnly) {
  for (const char* first : {"0.400", "0.430"}) {
    const ResidualAnalysis r = analyseResiduals(computeAdjustment(gathered(chainWithShortSection(first))), 1.0);
    EXPECT_EQ(r.testGroups, 3) << first;  // (A-B, C-A), (B-X, X-Y, Y-C), (B-D, D-C)
    EXPECT_EQ(r.tested, 7) << first;
    EXPECT_EQ(r.rows[2].group, r.rows[3].group);
    EXPECT_EQ(r.rows[2].group, r.rows[4].group);
    EXPECT_NE(r.rows[1].group, r.rows[2].group);
    EXPECT_EQ(r.rows[1].group, r.rows[5].group);
  }
  // An exactly closing network passes the blunder search.
  EXPECT_TRUE(analyseResiduals(computeAdjustment(gathered(chainWithShortSection("0.400"))), 1.0).suspected.empty());
}

// The 0.03 km section has r below 0.01, yet it is in its chain's group: a
// 30 mm blunder there names the whole chain, the guilty section with it.
TEST(Blunders, AShortSectionBelongsToItsChain) {
  const LevelingNetwork net = gathered(chainWithShortSection("0.430"));
  const ResidualAnalysis r = analyseResiduals(computeAdjustment(net), 1.0);
  EXPECT_LT(r.rows[2].redundancy, kUncheckedRedundancy);
  EXPECT_FALSE(r.rows[2].unchecked);
  EXPECT_GT(r.rows[2].mdb, 0.0);
  EXPECT_EQ(r.suspected, (std::vector<int>{2, 3, 4}));
  const CheckOutcome outcome = checkNetwork(net, withSigma(1.0), "chain.pc");
  EXPECT_TRUE(contains(outcome.report, "可疑粗差（不可区分）：第 2、3、4 个观测值")) << outcome.report;
}

TEST(Reliability, MinimalDetectableBiasAndExternalReliability) {
  // A clean loop (W = +4 mm): one test at 5 %, lambda0 = (1.960 + 0.842)^2 =
  // 7.849. MDB = sigma0 sqrt(lambda0 / (p r)): observations 1 and 2 have
  // p = 1, r = 1/4, observation 3 p = 1/2, r = 1/2; all three 2 sqrt(4 x
  // 7.849) = 11.21 mm at sigma0 = 2 mm.
  const LevelingNetwork net = gathered(singleLoop("-1.496"));
  const AdjustmentResults run = computeAdjustment(net);
  const ResidualAnalysis r = analyseResiduals(run, 2.0);
  EXPECT_NEAR(r.lambda0, 7.849, 0.0005);
  for (int k = 1; k <= 3; ++k) EXPECT_NEAR(r.rows[k].mdb, 11.21, 0.005) << k;
  // Q = [[0.75, 0.5], [0.5, 1]] for B, C: an undetected 11.21 mm blunder in
  // A->B moves B by 0.75 x 11.21, one in B->C moves C by 0.5 x 11.21, one in
  // C->A (p = 1/2) moves C by 0.5 x 1 x 11.21.
  const struct {
    double effect;
    const char* point;
    double bnr;
  } expected[] = {{8.405, "B", 4.852}, {5.605, "C", 4.852}, {5.605, "C", 2.802}};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_NEAR(r.rows[k].externalEffect, expected[k - 1].effect, 0.005) << k;
    EXPECT_EQ(net.pointName[r.rows[k].affectedPoint], expected[k - 1].point) << k;
    EXPECT_NEAR(r.rows[k].biasToNoise, expected[k - 1].bnr, 0.0005) << k;
    EXPECT_DOUBLE_EQ(r.rows[k].groupRedundancy, 1.0) << "a loop is one condition";
  }

  // Against 三等's point accuracy 12 sqrt(L): 12.0 mm at B (1 km from A),
  // 17.0 mm at C (2 km). The MDB grows with sigma, and so does its effect.
  struct Row {
    double sigmaKm;
    std::vector<unsigned char> attention;
  } rows[] = {{2.0, {0, 0, 0, 0}},
              {4.5, {0, kBeyondPointAccuracy, 0, 0}},
              {7.0, {0, kBeyondPointAccuracy, kBeyondPointAccuracy, kBeyondPointAccuracy}}};
  for (const Row& row : rows) {
    const CheckFindings f = assessNetwork(run, findMisclosures(net), withSigma(row.sigmaKm, "三等"));
    EXPECT_EQ(f.attention, row.attention) << row.sigmaKm;
    EXPECT_NEAR(f.pointAccuracy[1], 12.0, 1e-9);
    EXPECT_NEAR(f.pointAccuracy[2], 12.0 * std::sqrt(2.0), 1e-9);
    EXPECT_TRUE(f.residuals.suspected.empty());
    EXPECT_TRUE(f.passed) << "reliability is a property of the network, not a fault of the data";
  }
  const std::string report = checkNetwork(net, withSigma(4.5, "三等"), "loop.pc").report;
  EXPECT_TRUE(contains(report, "第 1 个（A→B）：影响超限（∇h = 18.9 mm 于 B，点位限差 ±12.0 mm）")) << report;
  EXPECT_TRUE(contains(report, "；须注意的观测值 1 个（见四）")) << report;
  EXPECT_FALSE(contains(report, "检核薄弱")) << report;
}

// The largest shift of any adjusted elevation, against Q computed densely:
// the ends of the observation are where it is largest.
TEST(Reliability, ExternalReliabilityIsTheLargestShiftOfAnyPoint) {
  const LevelingNetwork net = gathered(cityNetwork());
  const AdjustmentResults run = computeAdjustment(net);
  const ResidualAnalysis a = analyseResiduals(run, 1.0);
  const int t = net.parameterCount;
  std::vector<std::vector<double>> normal(t + 1, std::vector<double>(t + 1, 0.0));
  for (int k = 1; k <= net.observationCount; ++k) {
    const ErrorEquation& e = run.errorEquations[k];
    const int ends[] = {e.toParameter, e.fromParameter};
    const double signs[] = {1.0, -1.0};
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j)
        if (ends[i] != 0 && ends[j] != 0) normal[ends[i]][ends[j]] += signs[i] * signs[j] * run.weights[k];
  }
  // Gauss-Jordan on [N | I].
  std::vector<std::vector<double>> q(t + 1, std::vector<double>(t + 1, 0.0));
  for (int i = 1; i <= t; ++i) q[i][i] = 1.0;
  for (int c = 1; c <= t; ++c) {
    const double pivot = normal[c][c];
    for (int j = 1; j <= t; ++j) normal[c][j] /= pivot, q[c][j] /= pivot;
    for (int i = 1; i <= t; ++i)
      if (i != c) {
        const double factor = normal[i][c];
        for (int j = 1; j <= t; ++j) normal[i][j] -= factor * normal[c][j], q[i][j] -= factor * q[c][j];
      }
  }
  int compared = 0;
  for (int k = 1; k <= net.observationCount; ++k) {
    const Residual& r = a.rows[k];
    if (r.unchecked) continue;
    const ErrorEquation& e = run.errorEquations[k];
    double largest = 0.0;
    int at = 0;
    for (int i = 1; i <= t; ++i) {
      double u = 0.0;
      if (e.toParameter != 0) u += q[i][e.toParameter];
      if (e.fromParameter != 0) u -= q[i][e.fromParameter];
      const double shift = std::fabs(r.p * r.mdb * u);
      if (shift > largest + 1e-12) largest = shift, at = i + net.knownCount;
    }
    EXPECT_NEAR(r.externalEffect, largest, 1e-9 * largest) << k;
    EXPECT_TRUE(at == r.affectedPoint || std::fabs(largest - r.externalEffect) < 1e-9 * largest) << k;
    ++compared;
  }
  EXPECT_GT(compared, 10);
}

// The short list: a spur has no check, a short route parallel to long
// ones (r of the chain C-D-A 0.2 / 6.87) is checked poorly; the loop
// itself is fine.
TEST(Reliability, TheObservationsToLookAt) {
  const NetworkText text =
      enteredNetwork({"1", "4", "6", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}, {"D", ""}, {"E", ""}},
                     {{"A", "B", "1.000", "10"},
                      {"B", "C", "0.500", "10"},
                      {"C", "A", "-1.500", "10"},
                      {"C", "D", "0.300", "0.1"},
                      {"D", "A", "-1.800", "0.1"},
                      {"D", "E", "0.200", "1"}});
  const LevelingNetwork net = gathered(text);
  const AdjustmentResults run = computeAdjustment(net);
  const CheckFindings f = assessNetwork(run, findMisclosures(net), withSigma(1.0));
  EXPECT_EQ(f.attention, (std::vector<unsigned char>{0, 0, 0, 0, kLowRedundancy, kLowRedundancy, kNoCheck}));
  EXPECT_NEAR(f.residuals.rows[4].groupRedundancy, f.residuals.rows[4].redundancy + f.residuals.rows[5].redundancy,
              1e-12);
  EXPECT_NEAR(f.residuals.rows[4].groupRedundancy, 0.2 / (0.2 + 20.0 / 3), 1e-9);
  EXPECT_EQ(f.attentionCount, 3);
  // The threshold is the user's.
  CheckOptions lower = withSigma(1.0);
  lower.minRedundancy = 0.01;
  EXPECT_EQ(assessNetwork(run, findMisclosures(net), lower).attention,
            (std::vector<unsigned char>{0, 0, 0, 0, 0, 0, kNoCheck}));
  const std::string report = checkNetwork(net, withSigma(1.0), "spur.pc").report;
  EXPECT_TRUE(contains(report, "第 6 个（D→E）：无检核")) << report;
  EXPECT_TRUE(contains(report, "第 5 个（D→A）：检核弱（所在检验的 r = ")) << report;
}

// Rounding of the data is no evidence: with 0.1 mm data a loop may close by
// 0.1 mm however precise the leveling, and a tiny sigma must not make that a
// blunder. A 0.2 mm misclosure over three sections is more than their
// rounding (3 x 0.05 mm) and is flagged.
TEST(Resolution, ACorrectionWithinTheRoundingOfTheDataIsNoBlunder) {
  struct Row {
    const char* closing;
    bool flagged;
  } rows[] = {{"-1.4999", false}, {"-1.4998", true}, {"-1.5000", false}};
  for (const Row& row : rows) {
    NetworkText text =
        enteredNetwork({"1", "2", "3", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}},
                       {{"A", "B", "1.0000", "1"}, {"B", "C", "0.5000", "1"}, {"C", "A", row.closing, "1"}});
    const LevelingNetwork net = gathered(text);
    const AdjustmentResults run = computeAdjustment(net);
    const ResidualAnalysis a = analyseResiduals(run, 0.01);
    EXPECT_EQ(!a.suspected.empty(), row.flagged) << row.closing;
    if (std::string(row.closing) == "-1.4999") {
      EXPECT_GT(std::fabs(a.rows[1].w), a.critical) << "the statistic alone would flag it";
      EXPECT_TRUE(a.rows[1].withinRounding);
      EXPECT_NEAR(a.rows[1].roundingBound, 0.05, 1e-9) << "|R| sums to 1 over the loop, times 0.05 mm";
      EXPECT_NEAR(roundingBound(run, 1), 0.05, 1e-9);
      EXPECT_TRUE(a.sFromRounding);
      const CheckOutcome outcome = checkNetwork(net, withSigma(0.01), "loop.pc");
      EXPECT_TRUE(contains(outcome.report, "；未发现可疑粗差")) << outcome.report;
      EXPECT_TRUE(contains(outcome.report, "观测高差的取位为 0.1 mm")) << outcome.report;
      EXPECT_TRUE(contains(outcome.report, "在取位误差内")) << outcome.report;
    }
  }
  // The decimals of the text set the resolution: 1 mm data close by 1 mm
  // within their rounding.
  const LevelingNetwork coarse =
      gathered(enteredNetwork({"1", "2", "3", "1"}, {{"A", "10"}, {"B", ""}, {"C", ""}},
                              {{"A", "B", "1.000", "1"}, {"B", "C", "0.500", "1"}, {"C", "A", "-1.499", "1"}}));
  EXPECT_TRUE(analyseResiduals(computeAdjustment(coarse), 0.01).suspected.empty());
  EXPECT_EQ(coarse.differenceDecimals, (std::vector<std::int8_t>{0, 3, 3, 3}));
}

// A 20 x 20 grid: no two observations of different routes are tied,
// whatever the data. Data symmetric under a half turn give pairs of
// observations whose |w| agree to the last digits; they stay two tests.
TEST(Blunders, NearCoincidentStatisticsOfAGridStaySeparateTests) {
  const int side = 20;
  auto name = [&](int x, int y) { return "P" + std::to_string(x) + "_" + std::to_string(y); };
  auto grid = [&](auto differenceOf) {
    std::vector<std::vector<std::string>> points = {{name(0, 0), "0"}, {name(side - 1, side - 1), "0"}};
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        if (!((x == 0 && y == 0) || (x == side - 1 && y == side - 1))) points.push_back({name(x, y), ""});
    std::vector<std::vector<std::string>> observations;
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        if (x + 1 < side) observations.push_back({name(x, y), name(x + 1, y), differenceOf(x, y, true), "1"});
        if (y + 1 < side) observations.push_back({name(x, y), name(x, y + 1), differenceOf(x, y, false), "1"});
      }
    return gathered(enteredNetwork({"2", std::to_string(side * side - 2), std::to_string(observations.size()), "1"},
                                   points, observations));
  };
  // Exactly closing; 3 mm blunders on two edges a half turn apart (x, y) ->
  // (19 - x - 1, 19 - y) reversed; pseudo-random millimetres.
  const LevelingNetwork exact = grid([](int, int, bool) { return std::string("0.0000"); });
  const LevelingNetwork symmetric = grid([&](int x, int y, bool east) {
    return std::string(east && ((x == 3 && y == 5) || (x == side - 5 && y == side - 6)) ? "0.0030" : "0.0000");
  });
  unsigned seed = 12345;
  const LevelingNetwork noisy = grid([&](int, int, bool) {
    seed = seed * 1103515245u + 12345u;
    return fixedText(static_cast<double>(seed >> 16 & 0x7) * 0.0001 - 0.0003, 4);
  });
  const ResidualAnalysis a = analyseResiduals(computeAdjustment(exact), 1.0);
  const ResidualAnalysis b = analyseResiduals(computeAdjustment(symmetric), 1.0);
  const ResidualAnalysis c = analyseResiduals(computeAdjustment(noisy), 1.0);
  // 760 observations; the two corners of one connection each are chains of
  // two sections: 758 tests.
  EXPECT_EQ(a.testGroups, 758);
  EXPECT_EQ(b.testGroups, 758);
  EXPECT_EQ(c.testGroups, 758);
  int coincident = 0;
  for (int k = 1; k <= symmetric.observationCount; ++k)
    for (int j = k + 1; j <= symmetric.observationCount; ++j)
      if (b.rows[k].group != b.rows[j].group && std::fabs(b.rows[k].w) > 1e-3 &&
          std::fabs(std::fabs(b.rows[k].w) - std::fabs(b.rows[j].w)) < 1e-6)
        ++coincident;
  EXPECT_GT(coincident, 100) << "the data must make coincidences for the test to mean something";
}

// Iterative data snooping: two 8 sigma blunders in different loops of the
// city network are both removed, in two rounds, and the rest passes.
TEST(Iteration, TwoBlundersAreRemovedRoundByRound) {
  NetworkText text = cityNetwork();
  const double first = *parseNumber(text.observations.text(3, 3)) + 0.012;
  const double second = *parseNumber(text.observations.text(9, 3)) - 0.012;
  text.observations.setText(3, 3, fixedText(first, 4));
  text.observations.setText(9, 3, fixedText(second, 4));
  const LevelingNetwork net = gathered(text);
  CheckOptions options = withSigma(1.5);
  const CheckOutcome once = checkNetwork(net, options, "city.pc");
  EXPECT_FALSE(once.passed);
  EXPECT_TRUE(contains(once.report, "建议剔除第 ")) << once.report;
  options.iterate = true;
  const CheckOutcome iterated = checkNetwork(net, options, "city.pc");
  EXPECT_FALSE(iterated.passed) << "the file still holds both blunders";
  EXPECT_TRUE(contains(iterated.report, "；剔除后未发现可疑粗差")) << iterated.report;
  EXPECT_TRUE(contains(iterated.report, "迭代数据探测")) << iterated.report;
  EXPECT_TRUE(contains(iterated.report, "第 3 轮：未发现可疑粗差，迭代结束")) << iterated.report;
  EXPECT_TRUE(contains(iterated.report, "迭代剔除 2 个观测值（第 ")) << iterated.report;
  // The figures are those of the file's observations: the removed ones
  // have none and say so.
  ASSERT_EQ(iterated.residuals.rows.size(), static_cast<std::size_t>(net.observationCount) + 1);
  EXPECT_EQ(iterated.attentionText[3], "已剔除");
  EXPECT_EQ(iterated.attentionText[9], "已剔除");
  EXPECT_FALSE(iterated.residuals.rows[3].standardised);
  EXPECT_TRUE(iterated.residuals.rows[1].standardised);
}

// A blunder in a chain between two junctions: the chain is one test, so one
// of its sections goes (the points stay connected) and the rest of the
// chain is left without a check, which the report says.
TEST(Iteration, OneMemberOfATiedGroupGoes) {
  const LevelingNetwork net = gathered(chainWithShortSection("0.430"));
  CheckOptions options = withSigma(1.0);
  options.iterate = true;
  const CheckOutcome outcome = checkNetwork(net, options, "chain.pc");
  EXPECT_TRUE(contains(outcome.report, "观测值不可区分，粗差在其中之一：剔除其一")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "第 2 轮：未发现可疑粗差，迭代结束")) << outcome.report;
  int removed = 0, unchecked = 0;
  for (int k : {2, 3, 4}) {
    removed += outcome.attentionText[k] == "已剔除";
    unchecked += outcome.attentionText[k] == "无检核";
  }
  EXPECT_EQ(removed, 1);
  EXPECT_EQ(unchecked, 2);
  EXPECT_FALSE(outcome.passed);
}

// The iteration never removes what would leave the network without a check
// or a point without a connection.
TEST(Iteration, StopsBeforeFZeroOrALostPoint) {
  NetworkText loop = singleLoop("-1.476");  // 20 mm in one loop: f = 1
  CheckOptions options = withSigma(1.0);
  options.iterate = true;
  const CheckOutcome outcome = checkNetwork(gathered(loop), options, "loop.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_TRUE(contains(outcome.report, "迭代停止：")) << outcome.report;
  EXPECT_FALSE(contains(outcome.report, "第 1 轮：剔除")) << outcome.report;
}

// Display columns as a terminal shows them: two for a non-ASCII character.
std::size_t columnsOf(const std::string& text) {
  std::size_t width = 0;
  for (unsigned char c : text) width += c < 0x80 ? 1 : (c & 0xC0) != 0x80 ? 2 : 0;
  return width;
}

// The display column where `marker` starts on every line of `report` that
// holds it.
std::vector<std::size_t> columnsWhere(const std::string& report, const std::string& marker) {
  std::vector<std::size_t> at;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t end = report.find("\r\n", start);
    const std::string line = report.substr(start, end - start);
    const std::size_t found = line.find(marker);
    if (found != std::string::npos) at.push_back(columnsOf(line.substr(0, found)));
    start = end + 2;
  }
  return at;
}

// Section 三 once overflowed when v had 7 or more digits.
TEST(CheckReport, ColumnsStayAlignedForAnyWidth) {
  // A 50 km blunder: v, w and W of eight digits.
  const LevelingNetwork net = gathered(singleLoop("-50001.500"));
  const std::string report = checkNetwork(net, withSigma(2.0, "三等"), "loop.pc").report;
  EXPECT_TRUE(contains(report, "+25000000.00")) << report;
  // Section 三: the last column starts at the same place in the header and
  // in every row, and no two cells run together.
  std::vector<std::size_t> names;
  for (const char* name : {"起点→终点", "A→B", "B→C", "C→A"}) {
    const std::vector<std::size_t> at = columnsWhere(report, name);
    ASSERT_EQ(at.size(), 1u) << name << "\n" << report;
    names.push_back(at[0]);
  }
  for (std::size_t at : names) EXPECT_EQ(at, names[0]) << report;
  for (const char* row : {"   1 ", "   2 ", "   3 "}) {
    const std::size_t start = report.rfind(std::string("\r\n") + row);  // section 三 comes after section 一
    ASSERT_NE(start, std::string::npos) << row;
    const std::string line = report.substr(start + 2, report.find("\r\n", start + 2) - start - 2);
    int cells = 0;
    for (std::size_t i = 0; i < line.size(); ++i) cells += line[i] != ' ' && (i == 0 || line[i - 1] == ' ');
    EXPECT_EQ(cells, 11) << "序号, v, r, w, MDB, ∇h, 影响最大的点, BNR, 点位限差, 说明, 起点→终点: " << line;
  }
  // Section 一: the route starts under its header.
  const std::vector<std::size_t> route = columnsWhere(report, "A-B-C-A");
  const std::vector<std::size_t> header = columnsWhere(report, "经过的点");
  ASSERT_EQ(route.size(), 1u);
  ASSERT_EQ(header.size(), 1u);
  EXPECT_EQ(route[0], header[0]) << report;
  EXPECT_TRUE(contains(report, "-50000000.0")) << report;
  EXPECT_FALSE(contains(report, "inf"));
  EXPECT_FALSE(contains(report, "nan"));
}

// A benchmark typed twice: the check lists both rows and fails, even when
// every loop, test and residual passes.
TEST(CheckReport, DuplicateNamesAreAFailedItem) {
  const NetworkText text =
      testing::enteredNetwork({"3", "1", "3", "1"}, {{"A", "10"}, {"B", "11"}, {"A", "10.5"}, {"P", ""}},
                              {{"A", "P", "0.500", "1"}, {"P", "B", "0.501", "1"}, {"A", "B", "1.000", "1"}});
  const CheckOutcome outcome = checkNetwork(gathered(text), withSigma(2.0, "三等"), "t.pc");
  EXPECT_FALSE(outcome.passed);
  EXPECT_TRUE(contains(outcome.report, "点名重复：点表第 1 行与第 3 行的点名都是“A”")) << outcome.report;
  EXPECT_TRUE(contains(outcome.report, "；点名重复 1 处"));
  EXPECT_FALSE(contains(outcome.report, "inf"));
}

}  // namespace
}  // namespace levelnet
