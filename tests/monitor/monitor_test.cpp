// Settlement monitoring: the free network against an independent
// computation (the pseudo-inverse of the full normal matrix), the congruence
// statistic against its definition, a planted benchmark movement found, the
// settlement figures, and bad project files refused with file and line.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "monitor/monitoring_project.h"
#include "monitor/monitoring_tables.h"
#include "monitor/reference_frame.h"
#include "monitor/settlement.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "session/monitoring.h"

namespace levelnet::monitor {
namespace {

struct Section {
  std::string from, to;
  double length;
};

// A network in the .pc form: known points with heights, unknown points,
// sections observed from `heights` plus `noise` (mm per sqrt(km)) written to
// 0.1 mm, gathered as Open and Adjust gather it.
LevelingNetwork networkOf(const std::vector<std::pair<std::string, double>>& known,
                          const std::vector<std::string>& unknown, const std::vector<Section>& sections,
                          const std::map<std::string, double>& heights, double noise, std::mt19937& random) {
  std::normal_distribution<double> normal(0.0, 1.0);
  std::string text = std::to_string(known.size()) + "," + std::to_string(unknown.size()) + "," +
                     std::to_string(sections.size()) + ",1\n";
  char buf[128];
  for (const auto& [name, h] : known) {
    std::snprintf(buf, sizeof buf, "%s,%.4f\n", name.c_str(), h);
    text += buf;
  }
  for (const std::string& name : unknown) text += name + ",\n";
  for (const Section& s : sections) {
    const double dh = heights.at(s.to) - heights.at(s.from) + noise * std::sqrt(s.length) * normal(random) / 1000.0;
    std::snprintf(buf, sizeof buf, "%s,%s,%.4f,%.3f\n", s.from.c_str(), s.to.c_str(), dh, s.length);
    text += buf;
  }
  const ProjectData data = parseProjectBytes(text, "test.pc");
  NetworkText net;
  applyProject(data, net.fields, net.points, net.observations);
  return gatherNetwork(net.fields, net.points, net.observations);
}

// A random connected network of `points` points, the first `refs` of them
// reference points: a random spanning tree and as many extra sections.
struct RandomNet {
  std::vector<std::string> names;
  std::vector<Section> sections;
  std::map<std::string, double> heights;
};
RandomNet randomNet(int points, std::mt19937& random) {
  RandomNet n;
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < points; ++i) {
    n.names.push_back((i < 5 ? "BM" : "P") + std::to_string(i + 1));
    n.heights[n.names.back()] = 40.0 + 10.0 * unit(random);
  }
  for (int i = 1; i < points; ++i) {
    const int j = static_cast<int>(unit(random) * i);
    n.sections.push_back(
        {n.names[static_cast<std::size_t>(j)], n.names[static_cast<std::size_t>(i)], 0.1 + unit(random)});
  }
  for (int e = 0; e < points; ++e) {
    const int a = static_cast<int>(unit(random) * points), b = static_cast<int>(unit(random) * points);
    if (a != b)
      n.sections.push_back(
          {n.names[static_cast<std::size_t>(a)], n.names[static_cast<std::size_t>(b)], 0.1 + unit(random)});
  }
  return n;
}

TEST(FreeNetwork, AgreesWithThePseudoInverseOfTheFullNormalMatrix) {
  std::mt19937 random(20240301);
  for (int trial = 0; trial < 60; ++trial) {
    const int points = 4 + trial % 25;
    const int k = 1 + trial % std::min(5, points - 1);
    const RandomNet rn = randomNet(points, random);
    std::vector<std::pair<std::string, double>> known = {{rn.names[0], rn.heights.at(rn.names[0])}};
    std::vector<std::string> unknown(rn.names.begin() + 1, rn.names.end());
    const LevelingNetwork net = networkOf(known, unknown, rn.sections, rn.heights, 1.0, random);
    std::vector<int> refs;
    std::vector<double> first;
    for (int j = 0; j < k; ++j) {
      refs.push_back(net.pointNumberOf(rn.names[static_cast<std::size_t>(j)]));
      first.push_back(rn.heights.at(rn.names[static_cast<std::size_t>(j)]) + 0.001 * j);
    }
    const FreeNetworkSolution s = freeNetworkAdjustment(net, refs, first, "test.pc");

    // Independently: heights in mm as parameters of every point, N singular.
    const int p = net.pointCount;
    Eigen::MatrixXd N = Eigen::MatrixXd::Zero(p, p);
    Eigen::VectorXd b = Eigen::VectorXd::Zero(p);
    for (int o = 1; o <= net.observationCount; ++o) {
      const int f = net.fromPoint[o] - 1, t = net.toPoint[o] - 1;
      const double w = net.unitWeightLength / net.routeLength[o];
      const double h = net.observedDifference[o] * 1000.0;
      N(t, t) += w, N(f, f) += w, N(t, f) -= w, N(f, t) -= w;
      b(t) += w * h, b(f) -= w * h;
    }
    const Eigen::MatrixXd Np = N.completeOrthogonalDecomposition().pseudoInverse();
    Eigen::VectorXd x = Np * b;
    // The datum: the reference points' corrections sum to zero.
    double shift = 0.0;
    for (int j = 0; j < k; ++j)
      shift += x(refs[static_cast<std::size_t>(j)] - 1) - first[static_cast<std::size_t>(j)] * 1000.0;
    x.array() -= shift / k;
    Eigen::MatrixXd S = Eigen::MatrixXd::Identity(p, p);
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < k; ++j) S(i, refs[static_cast<std::size_t>(j)] - 1) -= 1.0 / k;
    const Eigen::MatrixXd Qf = S * Np * S.transpose();
    double pvv = 0.0;
    for (int o = 1; o <= net.observationCount; ++o) {
      const double v = x(net.toPoint[o] - 1) - x(net.fromPoint[o] - 1) - net.observedDifference[o] * 1000.0;
      pvv += net.unitWeightLength / net.routeLength[o] * v * v;
    }
    SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(p) + " points, " + std::to_string(k) +
                 " reference points");
    for (int i = 1; i <= p; ++i) EXPECT_NEAR(s.heights[static_cast<std::size_t>(i)] * 1000.0, x(i - 1), 1e-6);
    for (int a = 0; a < k; ++a)
      for (int c = 0; c < k; ++c)
        EXPECT_NEAR(s.referenceCofactors[static_cast<std::size_t>(a)][static_cast<std::size_t>(c)],
                    Qf(refs[static_cast<std::size_t>(a)] - 1, refs[static_cast<std::size_t>(c)] - 1), 1e-9);
    EXPECT_NEAR(s.pvv, pvv, 1e-8 * (1.0 + pvv));
    EXPECT_EQ(s.redundancy, net.observationCount - (p - 1));
  }
}

TEST(Congruence, StatisticIsItsDefinition) {
  std::mt19937 random(7);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int trial = 0; trial < 40; ++trial) {
    const int k = 2 + trial % 6;
    Eigen::MatrixXd M(k, k);
    for (int i = 0; i < k; ++i)
      for (int j = 0; j < k; ++j) M(i, j) = normal(random);
    M = M * M.transpose() + Eigen::MatrixXd::Identity(k, k);
    const Eigen::MatrixXd S = Eigen::MatrixXd::Identity(k, k) - Eigen::MatrixXd::Constant(k, k, 1.0 / k);
    const Eigen::MatrixXd Q = S * M * S;
    Eigen::VectorXd d(k);
    for (int i = 0; i < k; ++i) d(i) = normal(random) * 3.0;
    Matrix q(static_cast<std::size_t>(k), std::vector<double>(static_cast<std::size_t>(k)));
    for (int i = 0; i < k; ++i)
      for (int j = 0; j < k; ++j) q[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = Q(i, j);
    std::vector<double> dv(d.data(), d.data() + k);
    const double pvv = 3.7 + trial, f = 9 + trial % 4;
    std::vector<int> all;
    for (int i = 0; i < k; ++i) all.push_back(i);
    const CongruenceTest t = congruenceTest(dv, q, all, pvv, static_cast<int>(f));
    const double omega = d.dot(Q.completeOrthogonalDecomposition().pseudoInverse() * d);
    ASSERT_TRUE(t.done);
    EXPECT_NEAR(t.omega, omega, 1e-9 * (1 + omega));
    EXPECT_NEAR(t.statistic, omega / ((k - 1) * pvv / f), 1e-9 * (1 + t.statistic));
    EXPECT_EQ(t.passed, t.statistic <= t.critical);
    // A subset: the definition on its own submatrix, moved to its datum.
    if (k >= 3) {
      std::vector<int> subset(all.begin() + 1, all.end());
      const int m = k - 1;
      const Eigen::MatrixXd Sm = Eigen::MatrixXd::Identity(m, m) - Eigen::MatrixXd::Constant(m, m, 1.0 / m);
      const Eigen::MatrixXd Qa = Sm * Q.block(1, 1, m, m) * Sm;
      const Eigen::VectorXd da = d.tail(m);
      const double omegaA = da.dot(Qa.completeOrthogonalDecomposition().pseudoInverse() * da);
      EXPECT_NEAR(congruenceTest(dv, q, subset, pvv, static_cast<int>(f)).omega, omegaA, 1e-9 * (1 + omegaA));
    }
  }
}

TEST(Congruence, CriticalValuesAreTheFTable) {
  // F(h, f) at 5 %, as printed in the tables.
  struct Row {
    int h, f;
    double value;
  } rows[] = {{1, 12, 4.747}, {2, 12, 3.885}, {3, 20, 3.098}, {2, 60, 3.150}, {4, 8, 3.838}};
  for (const Row& r : rows) EXPECT_NEAR(fQuantile95(r.h, r.f), r.value, 5e-4) << r.h << "," << r.f;
}

TEST(Congruence, NotDoneIsSaidInWords) {
  const Matrix q1 = {{0.0}};
  EXPECT_FALSE(congruenceTest({0.0}, q1, {0}, 1.0, 5).done);
  EXPECT_NE(congruenceTest({0.0}, q1, {0}, 1.0, 5).notDone.find("只有一个基准点"), std::string::npos);
  const Matrix q2 = {{0.5, -0.5}, {-0.5, 0.5}};
  EXPECT_NE(congruenceTest({1.0, -1.0}, q2, {0, 1}, 0.0, 0).notDone.find("没有多余观测"), std::string::npos);
  EXPECT_NE(congruenceTest({1.0, -1.0}, q2, {0, 1}, 0.0, 4).notDone.find("方差为零"), std::string::npos);
}

// A building: four reference points, eight monitoring points, a ring with
// ties; two epochs.
const std::vector<Section> kBuilding = {
    {"BM1", "J1", 0.12}, {"J1", "J2", 0.08},   {"J2", "J3", 0.10},   {"J3", "J4", 0.08},   {"J4", "BM2", 0.15},
    {"BM2", "J5", 0.09}, {"J5", "J6", 0.10},   {"J6", "BM3", 0.14},  {"BM3", "J7", 0.08},  {"J7", "J8", 0.09},
    {"J8", "BM4", 0.12}, {"BM4", "BM1", 0.20}, {"BM1", "BM3", 0.30}, {"BM2", "BM4", 0.28}, {"J2", "J6", 0.11},
    {"J4", "J8", 0.13},  {"BM1", "J5", 0.22}};
const std::vector<std::string> kRefs = {"BM1", "BM2", "BM3", "BM4"};
const std::vector<std::string> kMonitored = {"J1", "J2", "J3", "J4", "J5", "J6", "J7", "J8"};

std::map<std::string, double> buildingHeights() {
  std::map<std::string, double> h = {{"BM1", 45.213}, {"BM2", 46.0875}, {"BM3", 44.962}, {"BM4", 45.5}};
  for (std::size_t i = 0; i < kMonitored.size(); ++i) h[kMonitored[i]] = 45.84 + 0.001 * static_cast<double>(i);
  return h;
}

MonitoringProject buildingProject(int epochs) {
  MonitoringProject p;
  p.file = "building.mon";
  p.references = kRefs;
  p.referencesLine = 1;
  for (int i = 0; i < epochs; ++i) {
    EpochEntry e;
    e.line = 2 + i;
    e.day = 20000.0 + 30.0 * i;
    e.dateText = "day " + std::to_string(i);
    e.file = "e" + std::to_string(i + 1) + ".pc";
    p.epochs.push_back(e);
  }
  return p;
}

EpochNetwork buildingEpoch(const std::map<std::string, double>& heights, double noise, std::mt19937& random, int i) {
  const std::map<std::string, double> nominal = buildingHeights();
  std::vector<std::pair<std::string, double>> known;
  for (const std::string& r : kRefs) known.emplace_back(r, nominal.at(r));
  return {"e" + std::to_string(i + 1) + ".pc", networkOf(known, kMonitored, kBuilding, heights, noise, random)};
}

TEST(Stability, PlantedFiveSigmaMovementIsFoundAndTheEpochAdjustedOnTheOthers) {
  std::mt19937 random(11);
  const double sigma = 1.0;  // mm per sqrt(km)
  // The standard error of a benchmark's shift against the other three, from
  // the geometry alone (exact data, s = 1).
  const MonitoringProject project = buildingProject(2);
  int found = 0, trials = 40;
  for (int trial = 0; trial < trials; ++trial) {
    const std::string moved = kRefs[static_cast<std::size_t>(trial) % kRefs.size()];
    std::vector<EpochNetwork> epochs;
    epochs.push_back(buildingEpoch(buildingHeights(), sigma, random, 0));
    // The geometry of the first epoch (twice: two independent epochs).
    const FreeNetworkSolution f0 =
        freeNetworkAdjustment(epochs[0].net, {1, 2, 3, 4}, {45.213, 46.0875, 44.962, 45.5}, "e1.pc");
    Matrix twice = f0.referenceCofactors;
    for (auto& row : twice)
      for (double& v : row) v *= 2.0;
    const std::size_t j = static_cast<std::size_t>(trial) % kRefs.size();
    // The cofactor of its shift against the other three, for s = 1:
    // (S Q S^T)_jj with S = I - 1 e_others^T / 3.
    std::vector<int> others;
    for (int a = 0; a < 4; ++a)
      if (a != static_cast<int>(j)) others.push_back(a);
    double q = 0.0;
    {
      const double m = 3.0;
      double rowMean = 0.0, allMean = 0.0;
      for (int a : others) rowMean += twice[j][static_cast<std::size_t>(a)];
      rowMean /= m;
      for (int a : others)
        for (int c : others) allMean += twice[static_cast<std::size_t>(a)][static_cast<std::size_t>(c)];
      allMean /= m * m;
      q = twice[j][j] - 2.0 * rowMean + allMean;
    }
    const double shiftMm = -5.0 * sigma * std::sqrt(q);
    std::map<std::string, double> second = buildingHeights();
    second[moved] += shiftMm / 1000.0;
    epochs.push_back(buildingEpoch(second, sigma, random, 1));
    const MonitoringResults r = runMonitoring(project, epochs);
    const EpochStability& st = r.epochs[1].stability;
    if (st.againstFirst.moved.size() == 1 && st.againstFirst.moved[0] == static_cast<int>(j)) {
      ++found;
      EXPECT_EQ(st.heldReferences.size(), 3u);
      EXPECT_EQ(std::find(st.heldReferences.begin(), st.heldReferences.end(), moved), st.heldReferences.end());
      EXPECT_NE(st.note.find(moved + " 移动"), std::string::npos) << st.note;
    }
  }
  // The F test on h = 3 with a non-centrality of 25 has a power near 0.97.
  EXPECT_GE(found, trials * 85 / 100) << found << " of " << trials;
}

TEST(Stability, MovementFoundOnDataRoundedToTenthsOfAMillimetre) {
  // No noise but the 0.1 mm of the .pc: 5 mm of BM3 stand out clearly.
  std::mt19937 random(3);
  std::vector<EpochNetwork> epochs;
  epochs.push_back(buildingEpoch(buildingHeights(), 0.0, random, 0));
  std::map<std::string, double> second = buildingHeights();
  second["BM3"] -= 0.005;
  epochs.push_back(buildingEpoch(second, 0.0, random, 1));
  const MonitoringResults r = runMonitoring(buildingProject(2), epochs);
  const EpochStability& st = r.epochs[1].stability;
  ASSERT_TRUE(st.againstFirst.global.done);
  EXPECT_FALSE(st.againstFirst.global.passed);
  EXPECT_EQ(st.againstFirst.moved, std::vector<int>{2});
  EXPECT_EQ(st.heldReferences, (std::vector<std::string>{"BM1", "BM2", "BM4"}));
  EXPECT_NEAR(st.againstFirst.shifts[2].shift, -5.0, 0.3);
  ASSERT_EQ(st.againstFirst.steps.size(), 1u);
  EXPECT_TRUE(st.againstFirst.steps[0].passed);
  // BM3 is then a point of the epoch's adjustment, some 5 mm lower.
  EXPECT_NEAR((r.epochs[1].referenceHeights[2] - 44.962) * 1000.0, -5.0, 0.3);
}

TEST(Stability, AnEpochWithoutRedundancyAsAFreeNetworkIsSaidNotTested) {
  // A line from BM1 to BM2: redundant only with both held.
  std::mt19937 random(9);
  const std::vector<Section> line = {{"BM1", "J1", 0.1}, {"J1", "J2", 0.1}, {"J2", "BM2", 0.1}};
  const std::map<std::string, double> h = {{"BM1", 45.0}, {"BM2", 46.0}, {"J1", 45.3}, {"J2", 45.6}};
  MonitoringProject project = buildingProject(3);
  project.references = {"BM1", "BM2"};
  std::vector<EpochNetwork> epochs;
  for (int i = 0; i < 3; ++i)
    epochs.push_back({"e.pc", networkOf({{"BM1", 45.0}, {"BM2", 46.0}}, {"J1", "J2"}, line, h, 1.0, random)});
  const MonitoringResults r = runMonitoring(project, epochs);
  for (int i = 1; i < 3; ++i) {
    const EpochStability& st = r.epochs[static_cast<std::size_t>(i)].stability;
    EXPECT_FALSE(st.againstFirst.global.done);
    EXPECT_NE(st.againstFirst.global.notDone.find("没有多余观测"), std::string::npos);
    EXPECT_NE(st.note.find("未检验"), std::string::npos) << st.note;
    EXPECT_EQ(st.heldReferences.size(), 2u);
  }
  EXPECT_FALSE(r.epochs[0].free.available);
  EXPECT_TRUE(r.points[0].epochs[2].present);
  EXPECT_NE(monitoringText(r).find("基准点稳定性未能检验"), std::string::npos);
}

TEST(Settlement, FiguresAreDifferencesOfThePrintedHeights) {
  std::mt19937 random(5);
  MonitoringProject project = buildingProject(4);
  project.warningForAll.cumulative = 10.0;
  project.pointWarnings.push_back({"J3", {4.0, std::nullopt}, 9});
  project.epochs[3].day = project.epochs[0].day + 130.0;  // epochs at 0, 30, 60, 130 d
  std::vector<EpochNetwork> epochs;
  for (int i = 0; i < 4; ++i) {
    std::map<std::string, double> h = buildingHeights();
    h["J3"] -= 0.003 * i;    // 3 mm an epoch
    h["J6"] -= 0.00001 * i;  // 0.01 mm: not significant
    epochs.push_back(buildingEpoch(h, 0.6, random, i));
  }
  // J8 not observed in epoch 3: its sections dropped, J4-J8 kept via J7.
  {
    std::vector<Section> without;
    for (const Section& s : kBuilding)
      if (s.from != "J8" && s.to != "J8") without.push_back(s);
    without.push_back({"J7", "BM4", 0.2});
    std::vector<std::pair<std::string, double>> known;
    for (const std::string& r : kRefs) known.emplace_back(r, buildingHeights().at(r));
    std::vector<std::string> unknown(kMonitored.begin(), kMonitored.end() - 1);
    std::map<std::string, double> h = buildingHeights();
    h["J3"] -= 0.003 * 2;
    h["J6"] -= 0.00002;
    epochs[2] = {"e3.pc", networkOf(known, unknown, without, h, 0.6, random)};
  }
  const MonitoringResults r = runMonitoring(project, epochs);
  ASSERT_EQ(r.points.size(), 8u);
  for (const PointSeries& s : r.points) {
    SCOPED_TRACE(s.name);
    for (int i = 1; i < 4; ++i) {
      const PointEpoch& pe = s.epochs[static_cast<std::size_t>(i)];
      if (!pe.present) continue;
      const PointEpoch& prev = s.epochs[static_cast<std::size_t>(pe.previousEpoch)];
      // 本次 is exactly the difference of the printed heights.
      EXPECT_EQ(pe.change->text, fixedText((std::stod(pe.heightText) - std::stod(prev.heightText)) * 1000.0, 1));
      EXPECT_EQ(pe.cumulative->text,
                fixedText((std::stod(pe.heightText) - std::stod(s.epochs[0].heightText)) * 1000.0, 1));
      EXPECT_NEAR(pe.change->sigma, std::hypot(pe.heightError, prev.heightError), 1e-12);
      const double days = r.epochs[static_cast<std::size_t>(i)].entry.day -
                          r.epochs[static_cast<std::size_t>(pe.previousEpoch)].entry.day;
      EXPECT_NEAR(pe.rate->value, roundHalfUp(pe.change->value / days, 3), 1e-12);
      EXPECT_EQ(pe.change->significant, std::fabs(pe.change->value) > 2.0 * pe.change->sigma);
    }
  }
  const PointSeries& j3 = r.points[2];
  const PointSeries& j8 = r.points[7];
  EXPECT_FALSE(j8.epochs[2].present);
  EXPECT_EQ(j8.epochs[3].previousEpoch, 1);  // against the last epoch it was observed in
  EXPECT_TRUE(j3.epochs[3].cumulative->significant);
  EXPECT_NEAR(j3.epochs[3].cumulative->value, -9.0, 0.6);
  // J3's own warning value 4 mm: 预警 once |累计| reaches it, 注意 from 70 %.
  EXPECT_EQ(j3.epochs[1].level, std::fabs(j3.epochs[1].cumulative->value) >= 4.0   ? WarningLevel::warning
                                : std::fabs(j3.epochs[1].cumulative->value) >= 2.8 ? WarningLevel::attention
                                                                                   : WarningLevel::none);
  EXPECT_EQ(j3.currentLevel, WarningLevel::warning);
  EXPECT_TRUE(r.anyWarning());
  // The others' 10 mm are far: no level at all.
  for (std::size_t p = 0; p < r.points.size(); ++p) {
    if (p != 2) {
      EXPECT_EQ(r.points[p].currentLevel, WarningLevel::none) << r.points[p].name;
    }
  }
  // Stability over the last 100 days: from epoch 2 (30 d) to 130 d.
  EXPECT_EQ(j3.hundredDaysFrom, 1);
  EXPECT_EQ(j3.stability, "未稳定");
  EXPECT_EQ(r.points[5].stability, "稳定");
  EXPECT_EQ(j8.hundredDaysFrom, 1);
  // Every format holds the figures; the tables line up with the model.
  const std::string text = monitoringText(r);
  EXPECT_NE(text.find("未测"), std::string::npos);
  EXPECT_NE(text.find(j3.epochs[3].cumulative->text), std::string::npos);
  const std::string csv = monitoringCsv(r);
  EXPECT_NE(csv.find("沉降观测成果表\r\n"), std::string::npos);
  // Its fields are quoted as the 成果表's are: a tab at an end as a blank is.
  MonitoringResults tabbed = r;
  tabbed.points[0].name = "\t" + tabbed.points[0].name;
  EXPECT_NE(monitoringCsv(tabbed).find("\"" + tabbed.points[0].name + "\""), std::string::npos);
  EXPECT_NE(monitoringJson(r).find("\"name\":\"J3\""), std::string::npos);
  // With 监测点 given, the others are adjusted but only named.
  project.monitoredPoints = {"J3", "J8"};
  const MonitoringResults listed = runMonitoring(project, epochs);
  ASSERT_EQ(listed.points.size(), 2u);
  EXPECT_EQ(listed.points[0].epochs[3].cumulative->text, j3.epochs[3].cumulative->text);
  ASSERT_FALSE(listed.notes.empty());
  EXPECT_NE(listed.notes.back().find("6 个点不在“监测点”中"), std::string::npos) << listed.notes.back();
}

// Bad project files: refused with the file, the line and the text.
TEST(ProjectFile, BadFilesAreRefusedWithFileAndLine) {
  const std::string head = "基准点 = BM1, BM2, BM3\n";
  struct Case {
    const char* what;
    std::string text;
    int line;
    const char* message;
  } cases[] = {
      {"repeated date", head + "期 = 2024-03-01, a.pc\n期 = 2024-03-01, b.pc\n", 3, "与第 2 行的观测期相同"},
      {"out of order", head + "期 = 2024-03-02, a.pc\n期 = 2024-03-01, b.pc\n", 3, "观测期应按时间先后排列"},
      {"bad date", head + "期 = 2024-02-30, a.pc\n", 2, "日期“2024-02-30”不对"},
      {"bad time", head + "期 = 2024-02-03 25:00, a.pc\n", 2, "不对"},
      {"no file", head + "期 = 2024-02-03\n", 2, "观测期应写成"},
      {"file twice", head + "期 = 2024-02-03, a.pc\n期 = 2024-02-04, a.pc\n", 3, "已在第 2 行用过"},
      {"unknown key", head + "周期 = 3\n", 2, "不认识的键“周期”"},
      {"no key", head + "2024-02-03 a.pc\n", 2, "应写成“键 = 值”"},
      {"near-duplicate references", "基准点 = BM1, bm1\n", 1, "只差空格或大小写"},
      {"reference twice", "基准点 = BM1, BM1\n", 1, "列出了两次"},
      {"no references", "期 = 2024-02-03, a.pc\n", 1, "至少需要一个基准点"},
      {"no epochs", head, 1, "没有观测期"},
      {"bad warning", head + "预警值 = 30\n期 = 2024-02-03, a.pc\n", 2, "预警值应写成"},
      {"negative warning", head + "预警值 = 累计 -3\n", 2, "应是大于 0 的数"},
      {"attention over 100 %", head + "注意比例 = 120%\n", 2, "注意比例应在 0 与 100% 之间"},
      {"monitored reference", head + "监测点 = J1, BM2\n期 = 2024-02-03, a.pc\n", 2, "既是基准点又是监测点"},
      {"open quote", head + "期 = 2024-02-03, \"a.pc\n", 2, "引号没有结束"},
      {"not UTF-8 nor GBK", *utf8ToGbk(head) + "名称 = \xFF\xFE\n", 2, "不是 GBK 编码的文字"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      parseMonitoringProject(c.text, "dir/p.mon");
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find("“dir/p.mon”第 " + std::to_string(c.line) + " 行："), std::string::npos) << m;
      EXPECT_NE(m.find(c.message), std::string::npos) << m;
    }
  }
}

TEST(ProjectFile, GoodFileIsReadInEitherEncoding) {
  const std::string text =
      "# 注释\n名称 = 1 号楼\r\n基准点 = BM1，BM2, BM3\n预警值 = 累计 30, 速率 0.2\n预警值 J5 = 累计 20\n"
      "注意比例 = 80%\n稳定速率 = 0.02 mm/d\n荷载单位 = 层\n"
      "期 = 2024-03-01 08:30, e1.pc, 3, 首次观测\n期 = 2024/03/16, \"sub/e 2.pc\", 主体封顶, 雨后，补测\n";
  for (bool gbk : {false, true}) {
    const std::string bytes = gbk ? *utf8ToGbk(text) : text;
    const MonitoringProject p = parseMonitoringProject(bytes, "site/p.mon");
    EXPECT_EQ(p.encoding, gbk ? FileEncoding::gbk : FileEncoding::utf8);
    EXPECT_EQ(p.name, "1 号楼");
    EXPECT_EQ(p.references, (std::vector<std::string>{"BM1", "BM2", "BM3"}));
    ASSERT_EQ(p.epochs.size(), 2u);
    EXPECT_EQ(p.epochs[0].path, "site/e1.pc");
    EXPECT_EQ(p.epochs[1].path, "site/sub/e 2.pc");
    EXPECT_EQ(p.epochs[0].load, 3.0);
    EXPECT_FALSE(p.epochs[1].load);
    EXPECT_EQ(p.epochs[1].stage, "主体封顶");
    EXPECT_EQ(p.epochs[1].note, "雨后，补测");
    EXPECT_NEAR(p.epochs[1].day - p.epochs[0].day, 15.0 - 8.5 / 24.0, 1e-9);
    EXPECT_DOUBLE_EQ(p.settings.attentionFraction, 0.8);
    EXPECT_DOUBLE_EQ(p.settings.stableRate, 0.02);
    EXPECT_EQ(warningValuesOf(p, "J5").cumulative, 20.0);
    EXPECT_EQ(warningValuesOf(p, "J5").rate, 0.2);
    EXPECT_EQ(warningValuesOf(p, "J6").cumulative, 30.0);
  }
}

// Epochs that cannot be matched are refused, naming the epoch's file and the
// project line.
class ProjectFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("levelnet-monitor-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name, std::ios::binary) << text; }
  std::string refusal(const std::string& project) {
    write("p.mon", project);
    try {
      const session::MonitoringInput input = session::openMonitoringProject((dir_ / "p.mon").string());
      session::runMonitoring(input);
    } catch (const Error& e) {
      return e.what();
    }
    return "accepted";
  }
  std::filesystem::path dir_;
};

const char kEpoch[] =
    "2,2,4,1\nBM1,10\nBM2,12\nJ1,\nJ2,\nBM1,J1,1.003,2\nJ1,J2,0.498,1\nJ2,BM2,0.505,2\nBM2,J1,-0.990,1\n";

TEST_F(ProjectFolder, UnmatchableEpochsAreRefused) {
  write("a.pc", kEpoch);
  write("b.pc", kEpoch);
  const std::string head = "基准点 = BM1, BM2\n期 = 2024-03-01, a.pc\n";
  struct Case {
    const char* what;
    std::string epochB;
    std::string projectTail;
    std::vector<std::string> message;
  } cases[] = {
      {"missing epoch file", "", "期 = 2024-03-02, missing.pc\n", {"第 3 行", "missing.pc", "无法"}},
      {"reference absent",
       "2,2,4,1\nBM1,10\nBM3,12\nJ1,\nJ2,\nBM1,J1,1,2\nJ1,J2,0.5,1\nJ2,BM3,0.5,2\nBM3,J1,-1,1\n",
       "期 = 2024-03-02, b.pc\n",
       {"第 2 期的平差文件“b.pc”", "第 3 行", "没有基准点“BM2”"}},
      {"case differs",
       "2,2,4,1\nBM1,10\nBM2,12\nj1,\nJ2,\nBM1,j1,1,2\nj1,J2,0.5,1\nJ2,BM2,0.5,2\nBM2,j1,-1,1\n",
       "期 = 2024-03-02, b.pc\n",
       {"“j1”", "“J1”", "只差空格或大小写", "b.pc", "a.pc"}},
      {"blank differs",
       "2,2,4,1\nBM1,10\nBM2,12\n\"J 1\",\nJ2,\nBM1,\"J 1\",1,2\n\"J 1\",J2,0.5,1\nJ2,BM2,0.5,2\nBM2,\"J 1\",-1,1\n",
       "期 = 2024-03-02, b.pc\n",
       {"“J 1”", "只差空格或大小写"}},
      {"duplicate in an epoch",
       "2,3,4,1\nBM1,10\nBM2,12\nJ1,\nJ2,\nJ1,\nBM1,J1,1,2\nJ1,J2,0.5,1\nJ2,BM2,0.5,2\nBM2,J1,-1,1\n",
       "期 = 2024-03-02, b.pc\n",
       {"b.pc", "“J1”", "重复"}},
      {"monitored point in no epoch",
       "",
       "监测点 = J1, J9\n期 = 2024-03-02, b.pc\n",
       {"第 3 行", "监测点“J9”不在任何一期"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write("b.pc", c.epochB.empty() ? kEpoch : c.epochB);
    const std::string m = refusal(head + c.projectTail);
    for (const std::string& part : c.message) EXPECT_NE(m.find(part), std::string::npos) << m;
  }
  // The first epoch must give the reference points' heights.
  write("c.pc", "1,3,4,1\nBM1,10\nBM2,\nJ1,\nJ2,\nBM1,J1,1,2\nJ1,J2,0.5,1\nJ2,BM2,0.5,2\nBM2,J1,-1,1\n");
  const std::string m = refusal("基准点 = BM1, BM2\n期 = 2024-03-01, c.pc\n");
  EXPECT_NE(m.find("基准点“BM2”是待定点"), std::string::npos) << m;
}

}  // namespace
}  // namespace levelnet::monitor

namespace levelnet::monitor {
namespace {

// Epochs added and removed in the file itself: its other lines, comments,
// encoding and line ends kept; an edit that would not read is refused.
TEST(ProjectEdit, EpochsAddedInDateOrderAndRemovedKeepTheRest) {
  const std::string crlf =
      "# 注释\r\n基准点 = BM1, BM2\r\n期 = 2024-03-01, a.pc\r\n期 = 2024-04-01, c.pc, 3\r\n# 末尾\r\n";
  const std::string added = session::projectWithEpochAdded(crlf, "p.mon", "2024-03-15 08:00, b.pc, 2, 雨后");
  EXPECT_EQ(added,
            "# 注释\r\n基准点 = BM1, BM2\r\n期 = 2024-03-01, a.pc\r\n期 = 2024-03-15 08:00, b.pc, 2, 雨后\r\n"
            "期 = 2024-04-01, c.pc, 3\r\n# 末尾\r\n");
  const std::string last = session::projectWithEpochAdded(crlf, "p.mon", "2024-05-01, d.pc");
  EXPECT_EQ(last,
            "# 注释\r\n基准点 = BM1, BM2\r\n期 = 2024-03-01, a.pc\r\n期 = 2024-04-01, c.pc, 3\r\n"
            "期 = 2024-05-01, d.pc\r\n# 末尾\r\n");
  EXPECT_EQ(
      session::projectWithEpochRemoved(added, "p.mon", 0),
      "# 注释\r\n基准点 = BM1, BM2\r\n期 = 2024-03-15 08:00, b.pc, 2, 雨后\r\n期 = 2024-04-01, c.pc, 3\r\n# 末尾\r\n");
  // A GBK file stays GBK; no final line end is kept as it was.
  const std::string gbk = *utf8ToGbk("基准点 = BM1\n期 = 2024-03-01, a.pc");
  const std::string gbkAdded = session::projectWithEpochAdded(gbk, "p.mon", "2024-03-02, 第二期.pc");
  EXPECT_EQ(gbkAdded, *utf8ToGbk("基准点 = BM1\n期 = 2024-03-01, a.pc\n期 = 2024-03-02, 第二期.pc\n"));
  EXPECT_EQ(parseMonitoringProject(gbkAdded, "p.mon").epochs[1].file, "第二期.pc");
  // Refused: the same date, a file used twice, a bad date, the last epoch, a character GBK lacks.
  for (const char* bad : {"2024-03-01, x.pc", "2024-03-20, a.pc", "2024-13-01, x.pc", "2024-03-20"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(session::projectWithEpochAdded(crlf, "p.mon", bad), InputError);
  }
  EXPECT_THROW(session::projectWithEpochAdded(gbk, "p.mon", "2024-03-02, 😀.pc"), InputError);
  EXPECT_THROW(session::projectWithEpochRemoved(gbk, "p.mon", 0), InputError);
  EXPECT_THROW(session::projectWithEpochRemoved(crlf, "p.mon", 2), InputError);
}

}  // namespace
}  // namespace levelnet::monitor
