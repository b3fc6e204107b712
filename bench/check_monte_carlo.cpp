// How often `levelnet check` is right, measured on simulated networks:
// false blunder alarms on clean data, failed grade tests on data far better
// than the grade, the share of planted blunders found in the right place, how
// short the list of observations to look at is, and iterative data snooping
// on two blunders at once.
//
//   build/bench/levelnet_check_montecarlo [--networks N] [--seed S]
//
// Each network is a grid of junctions whose edges are leveling lines of one
// to three sections (so chains of tied observations occur), with two to four
// benchmarks tied in, 10 to 2000 points (log-uniform: most are small), section
// lengths 0.3 to 3 km, and observed differences true + N(0, sigma^2 L)
// written to 0.1 mm as a field book holds them. sigma is a quarter of the
// standard error a randomly chosen grade allows (二等 0.5, 三等 1.5, 四等
// 2.5 mm/sqrt km). The figures go into the README.
#include <algorithm>
#include <boost/math/distributions/binomial.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "adjust/adjustment_results.h"
#include "adjust/pipeline.h"
#include "check/misclosures.h"
#include "check/network_check.h"
#include "check/statistics.h"
#include "network/number_text.h"

namespace {

using namespace levelnet;

const char* const kGrades[] = {"二等", "三等", "四等"};
const double kBlunderSizes[] = {5.0, 8.0, 15.0};  // in standard errors of the observation
constexpr int kBlunderSizeCount = 3;
constexpr double kBlunderRedundancy = 0.3;  // blunders go into observations with at least this r

struct SimulatedNetwork {
  NetworkText text;
  std::string grade;
  double sigmaKm = 0.0;  // of the noise, mm per sqrt km
};

SimulatedNetwork simulatedNetwork(std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0), height(40.0, 60.0), length(0.3, 3.0);
  std::normal_distribution<double> gauss(0.0, 1.0);
  SimulatedNetwork s;
  const int g = std::uniform_int_distribution<int>(0, 2)(rng);
  s.grade = kGrades[g];
  s.sigmaKm = gradeErrorLimitKm(s.grade) / 4;

  // About 2.1 points per junction once the edges are split into sections;
  // at least 8 junctions and 2 benchmarks make the 10 points of the smallest.
  const double points = std::exp(std::log(10.0) + unit(rng) * (std::log(2000.0) - std::log(10.0)));
  const double junctions = std::max(8.0, points / 2.1);
  const double aspect = 1.0 + 2.0 * unit(rng);
  const int rows = std::max(2, static_cast<int>(std::lround(std::sqrt(junctions / aspect))));
  const int cols = std::max(2, static_cast<int>(std::lround(junctions / rows)));
  const int known = std::uniform_int_distribution<int>(2, 4)(rng);

  struct Section {
    int from, to;
    double length;
  };
  std::vector<double> truth(static_cast<std::size_t>(known) + 1);
  for (double& h : truth) h = height(rng);
  const int firstJunction = known + 1;
  for (int j = 0; j < rows * cols; ++j) truth.push_back(height(rng));
  std::vector<Section> sections;
  // A leveling line from a to b of one to three sections.
  auto line = [&](int a, int b) {
    const double u = unit(rng);
    const int count = u < 0.6 ? 1 : u < 0.85 ? 2 : 3;
    int from = a;
    for (int i = 1; i <= count; ++i) {
      int to = b;
      if (i < count) {
        to = static_cast<int>(truth.size());
        truth.push_back(height(rng));
      }
      sections.push_back({from, to, length(rng)});
      from = to;
    }
  };
  auto junction = [&](int r, int c) { return firstJunction + r * cols + c; };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      if (c + 1 < cols) line(junction(r, c), junction(r, c + 1));
      if (r + 1 < rows) line(junction(r, c), junction(r + 1, c));
    }
  std::vector<int> tied;
  while (static_cast<int>(tied.size()) < known) {
    const int j = std::uniform_int_distribution<int>(0, rows * cols - 1)(rng);
    if (std::find(tied.begin(), tied.end(), j) == tied.end()) tied.push_back(j);
  }
  for (int b = 1; b <= known; ++b) line(b, firstJunction + tied[b - 1]);

  const int pointCount = static_cast<int>(truth.size()) - 1;
  const int observations = static_cast<int>(sections.size());
  s.text.fields = {std::to_string(known), std::to_string(pointCount - known), std::to_string(observations), "1"};
  s.text.points.setRows(pointCount + 1);
  for (int p = 1; p <= pointCount; ++p) {
    s.text.points.setText(p, 0, std::to_string(p));
    s.text.points.setText(p, 1, (p <= known ? "BM" : "P") + std::to_string(p));
    if (p <= known) s.text.points.setText(p, 2, fixedText(truth[p], 4));
  }
  s.text.observations.setRows(observations + 1);
  for (int k = 1; k <= observations; ++k) {
    Section o = sections[k - 1];
    if (unit(rng) < 0.5) std::swap(o.from, o.to);
    const double noise = s.sigmaKm * std::sqrt(o.length) * gauss(rng) / 1000.0;
    s.text.observations.setText(k, 0, std::to_string(k));
    s.text.observations.setText(k, 1, s.text.points.text(o.from, 1));
    s.text.observations.setText(k, 2, s.text.points.text(o.to, 1));
    s.text.observations.setText(k, 3, fixedText(truth[o.to] - truth[o.from] + noise, 4));
    s.text.observations.setText(k, 4, fixedText(o.length, 1));
  }
  return s;
}

enum class Found { right, wrong, missed, untested };

Found judge(const ResidualAnalysis& a, int blundered) {
  if (a.test == BlunderTest::none) return Found::untested;
  if (a.suspected.empty()) return Found::missed;
  return std::find(a.suspected.begin(), a.suspected.end(), blundered) != a.suspected.end() ? Found::right
                                                                                           : Found::wrong;
}

struct NetworkResult {
  int points = 0;
  int redundancy = 0;
  bool falseAlarmW = false, falseAlarmTau = false, tauRan = false;
  bool chiFailed = false, chiFailedTwoSided = false, totalErrorJudged = false, totalErrorFailed = false;
  bool toleranceFailed = false;
  bool blunderPlanted = false;
  Found w[kBlunderSizeCount] = {}, tau[kBlunderSizeCount] = {};
  bool wTied[kBlunderSizeCount] = {};
  // The list of observations to look at (--grade --sigma-km), as a share of
  // n, and its part for external reliability beyond the point accuracy.
  double listedShare = 0.0, beyondShare = 0.0;
  // --iterate: anything removed from clean data; two 8 sigma blunders in
  // different tests, both removed, and nothing else removed.
  bool iterationFalseAlarm = false;
  bool twoPlanted = false, bothFound = false, oneFound = false, removedOther = false, bothAlone = false;
};

int removedCount(const CheckOutcome& outcome) {
  return static_cast<int>(std::count(outcome.attentionText.begin(), outcome.attentionText.end(), "已剔除"));
}

NetworkResult simulate(std::uint32_t seed) {
  const SimulatedNetwork s = simulatedNetwork(seed);
  const LevelingNetwork net = gatherNetwork(s.text.fields, s.text.points, s.text.observations);
  const std::vector<Misclosure> misclosures = findMisclosures(net);
  const AdjustmentResults run = computeAdjustment(net);
  NetworkResult result;
  result.points = net.pointCount;
  result.redundancy = net.observationCount - net.parameterCount;

  CheckOptions known;
  known.sigmaGiven = true;
  known.sigmaKm = s.sigmaKm;
  const CheckFindings withSigma = assessNetwork(run, misclosures, known);
  result.falseAlarmW = !withSigma.residuals.suspected.empty();
  const CheckFindings withoutSigma = assessNetwork(run, misclosures, CheckOptions{});
  result.tauRan = withoutSigma.residuals.test != BlunderTest::none;
  result.falseAlarmTau = !withoutSigma.residuals.suspected.empty();

  CheckOptions grade;
  grade.grade = s.grade;
  const CheckFindings graded = assessNetwork(run, misclosures, grade);
  result.chiFailed = !graded.global.passed;
  result.chiFailedTwoSided = graded.global.statistic < graded.global.lower ||
                             graded.global.statistic > chiSquareQuantile(graded.global.dof, 0.975);
  result.totalErrorJudged = graded.totalErrorJudged;
  result.totalErrorFailed = !graded.totalErrorPassed;
  result.toleranceFailed = !graded.failedMisclosures.empty();

  CheckOptions listing = known;
  listing.grade = s.grade;
  const CheckFindings listed = assessNetwork(run, misclosures, listing);
  int beyond = 0;
  for (int k = 1; k <= net.observationCount; ++k) beyond += (listed.attention[k] & kBeyondPointAccuracy) != 0;
  result.listedShare = static_cast<double>(listed.attentionCount) / net.observationCount;
  result.beyondShare = static_cast<double>(beyond) / net.observationCount;
  CheckOptions iterating = known;
  iterating.iterate = true;
  result.iterationFalseAlarm = removedCount(checkNetwork(net, iterating, "")) > 0;

  std::vector<int> candidates;
  for (int k = 1; k <= net.observationCount; ++k)
    if (withSigma.residuals.rows[k].redundancy >= kBlunderRedundancy) candidates.push_back(k);
  if (candidates.empty()) return result;
  std::mt19937 rng(seed ^ 0x9e3779b9u);
  const int k = candidates[std::uniform_int_distribution<std::size_t>(0, candidates.size() - 1)(rng)];
  const double sign = std::uniform_int_distribution<int>(0, 1)(rng) ? 1.0 : -1.0;
  result.blunderPlanted = true;
  const double sigma0 = s.sigmaKm * std::sqrt(net.unitWeightLength);
  for (int b = 0; b < kBlunderSizeCount; ++b) {
    LevelingNetwork blundered = net;
    blundered.observedDifference[k] += sign * kBlunderSizes[b] * s.sigmaKm * std::sqrt(net.routeLength[k]) / 1000.0;
    const AdjustmentResults bad = computeAdjustment(blundered);
    const ResidualAnalysis w = analyseResiduals(bad, sigma0);
    result.w[b] = judge(w, k);
    result.wTied[b] = w.suspected.size() > 1;
    result.tau[b] = judge(analyseResiduals(bad, 0.0), k);
  }

  // A second blunder of 8 sigma in another test, with no point in common
  // (so in another loop), the first also 8 sigma.
  std::vector<int> others;
  for (int j : candidates)
    if (withSigma.residuals.rows[j].group != withSigma.residuals.rows[k].group &&
        net.fromPoint[j] != net.fromPoint[k] && net.fromPoint[j] != net.toPoint[k] &&
        net.toPoint[j] != net.fromPoint[k] && net.toPoint[j] != net.toPoint[k])
      others.push_back(j);
  if (others.empty()) return result;
  const int j = others[std::uniform_int_distribution<std::size_t>(0, others.size() - 1)(rng)];
  const double secondSign = std::uniform_int_distribution<int>(0, 1)(rng) ? 1.0 : -1.0;
  LevelingNetwork two = net;
  two.observedDifference[k] += sign * 8.0 * s.sigmaKm * std::sqrt(net.routeLength[k]) / 1000.0;
  two.observedDifference[j] += secondSign * 8.0 * s.sigmaKm * std::sqrt(net.routeLength[j]) / 1000.0;
  const CheckOutcome iterated = checkNetwork(two, iterating, "");
  result.twoPlanted = true;
  // Found: the blunder's observation, or one of its tied group, removed.
  auto removedFrom = [&](int blundered) {
    for (int m = 1; m <= net.observationCount; ++m)
      if (iterated.attentionText[m] == "已剔除" &&
          withSigma.residuals.rows[m].group == withSigma.residuals.rows[blundered].group)
        return true;
    return false;
  };
  const bool first = removedFrom(k), second = removedFrom(j);
  result.bothFound = first && second;
  result.oneFound = first != second;
  // A tied group removed with a blunder is not counted as another removal.
  int removedElsewhere = 0;
  for (int m = 1; m <= net.observationCount; ++m)
    if (iterated.attentionText[m] == "已剔除" &&
        withSigma.residuals.rows[m].group != withSigma.residuals.rows[k].group &&
        withSigma.residuals.rows[m].group != withSigma.residuals.rows[j].group)
      ++removedElsewhere;
  result.removedOther = removedElsewhere > 0;
  // The ceiling: each of the two found when it is the only blunder.
  LevelingNetwork onlySecond = net;
  onlySecond.observedDifference[j] = two.observedDifference[j];
  result.bothAlone =
      result.w[1] == Found::right && judge(analyseResiduals(computeAdjustment(onlySecond), sigma0), j) == Found::right;
  return result;
}

// The counts of a binomial(n, p) variable that fall outside the central 95 %
// with a chance of at most 5 %.
void binomialBand(int n, double p, int& low, int& high) {
  const boost::math::binomial_distribution<double> distribution(n, p);
  low = static_cast<int>(boost::math::quantile(distribution, 0.025));
  high = static_cast<int>(boost::math::quantile(boost::math::complement(distribution, 0.025)));
}

double percent(int part, int whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

void falseAlarmLine(const char* name, int alarms, int runs) {
  int low = 0, high = 0;
  binomialBand(runs, kFamilyLevel, low, high);
  std::printf("  %-26s %4d / %4d = %5.1f %%   binomial 95 %% band around %.0f %%: %d..%d  %s\n", name, alarms, runs,
              percent(alarms, runs), 100 * kFamilyLevel, low, high,
              alarms >= low && alarms <= high ? "within"
              : alarms < low                  ? "BELOW"
                                              : "ABOVE");
}

}  // namespace

int main(int argc, char** argv) {
  int networks = 500;
  std::uint32_t seed = 20240613;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--networks")
      networks = std::atoi(argv[i + 1]);
    else if (option == "--seed")
      seed = static_cast<std::uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
  }
  if (networks < 1) {
    std::fprintf(stderr, "usage: levelnet_check_montecarlo [--networks N] [--seed S]\n");
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  std::vector<NetworkResult> results(static_cast<std::size_t>(networks));
  // Two workers, each taking every other network: the figures do not depend
  // on the number of workers.
  const unsigned workers = std::max(1u, std::min(2u, std::thread::hardware_concurrency()));
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w)
    threads.emplace_back([&, w] {
      for (int i = static_cast<int>(w); i < networks; i += static_cast<int>(workers))
        results[i] = simulate(seed + static_cast<std::uint32_t>(i));
    });
  for (std::thread& t : threads) t.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // Size classes by number of points.
  const int bounds[] = {10, 50, 200, 1000, 1000000};
  const char* const classNames[] = {"10-49", "50-199", "200-999", ">=1000"};
  auto classOf = [&](int points) {
    int c = 0;
    while (c < 3 && points >= bounds[c + 1]) ++c;
    return c;
  };

  int minPoints = 1 << 30, maxPoints = 0;
  std::vector<int> sizes;
  int alarmsW = 0, alarmsTau = 0, tauRuns = 0;
  int classRuns[4] = {}, classAlarmsW[4] = {}, classAlarmsTau[4] = {}, classTauRuns[4] = {};
  int chiFailed = 0, chiFailedTwoSided = 0, judged = 0, totalErrorFailed = 0, toleranceFailed = 0;
  int planted = 0;
  int found[2][kBlunderSizeCount][4] = {};  // test (w, tau), size, Found
  int foundByClass[2][4] = {}, plantedByClass[2][4] = {};
  int tiedFinds = 0;
  int iterationAlarms = 0, twoPlanted = 0, bothFound = 0, oneFound = 0, removedOther = 0, bothAlone = 0;
  std::vector<double> listedShares, beyondShares;
  for (const NetworkResult& r : results) {
    iterationAlarms += r.iterationFalseAlarm;
    listedShares.push_back(r.listedShare);
    beyondShares.push_back(r.beyondShare);
    if (r.twoPlanted) {
      ++twoPlanted;
      bothFound += r.bothFound;
      oneFound += r.oneFound;
      removedOther += r.removedOther;
      bothAlone += r.bothAlone;
    }
    minPoints = std::min(minPoints, r.points);
    maxPoints = std::max(maxPoints, r.points);
    sizes.push_back(r.points);
    const int c = classOf(r.points);
    ++classRuns[c];
    alarmsW += r.falseAlarmW;
    classAlarmsW[c] += r.falseAlarmW;
    if (r.tauRan) {
      ++tauRuns;
      ++classTauRuns[c];
      alarmsTau += r.falseAlarmTau;
      classAlarmsTau[c] += r.falseAlarmTau;
    }
    chiFailed += r.chiFailed;
    chiFailedTwoSided += r.chiFailedTwoSided;
    judged += r.totalErrorJudged;
    totalErrorFailed += r.totalErrorFailed;
    toleranceFailed += r.toleranceFailed;
    if (!r.blunderPlanted) continue;
    ++planted;
    ++plantedByClass[0][c];
    plantedByClass[1][c] += r.tau[1] != Found::untested;
    for (int b = 0; b < kBlunderSizeCount; ++b) {
      ++found[0][b][static_cast<int>(r.w[b])];
      ++found[1][b][static_cast<int>(r.tau[b])];
      if (r.w[b] == Found::right && r.wTied[b]) ++tiedFinds;
    }
    foundByClass[0][c] += r.w[1] == Found::right;
    foundByClass[1][c] += r.tau[1] == Found::right;
  }
  std::sort(sizes.begin(), sizes.end());

  std::printf("levelnet check: Monte Carlo on %d simulated networks (seed %u), %.1f s on %u threads\n", networks, seed,
              seconds, workers);
  std::printf("points per network: %d..%d, median %d; per class:", minPoints, maxPoints, sizes[sizes.size() / 2]);
  for (int c = 0; c < 4; ++c) std::printf(" %s: %d", classNames[c], classRuns[c]);
  std::printf("\n\n");

  std::printf("False blunder alarms on clean networks (family-wise level %.0f %%, Šidák):\n", 100 * kFamilyLevel);
  falseAlarmLine("w-test, a-priori sigma", alarmsW, networks);
  falseAlarmLine("tau test, no a-priori sigma", alarmsTau, tauRuns);
  std::printf("  by size (w / tau):");
  for (int c = 0; c < 4; ++c)
    std::printf("  %s: %d/%d, %d/%d", classNames[c], classAlarmsW[c], classRuns[c], classAlarmsTau[c], classTauRuns[c]);
  std::printf("\n  tau test not possible (n - t = 1): %d networks\n\n", networks - tauRuns);

  std::printf("Grade tests on data at a quarter of the grade's standard error (--grade alone):\n");
  std::printf("  one-sided chi-square test failed:   %d / %d\n", chiFailed, networks);
  std::printf("  M_W above the limit:                %d / %d judged (N >= %d)\n", totalErrorFailed, judged,
              kTotalErrorMinimumCount);
  std::printf("  a misclosure beyond its tolerance:  %d / %d\n", toleranceFailed, networks);
  std::printf("  (a two-sided test would have failed %d / %d)\n\n", chiFailedTwoSided, networks);

  std::printf("Single planted blunders in an observation with r >= %.1f (%d networks):\n", kBlunderRedundancy, planted);
  std::printf("  %-8s  %-32s  %-32s\n", "size", "w-test: found / elsewhere / missed",
              "tau test: found / elsewhere / missed");
  for (int b = 0; b < kBlunderSizeCount; ++b) {
    const int tauPlanted = planted - found[1][b][static_cast<int>(Found::untested)];
    std::printf("  %4.0f σ_L  %5.1f %% / %4.1f %% / %5.1f %%          %5.1f %% / %4.1f %% / %5.1f %%\n",
                kBlunderSizes[b], percent(found[0][b][0], planted), percent(found[0][b][1], planted),
                percent(found[0][b][2], planted), percent(found[1][b][0], tauPlanted),
                percent(found[1][b][1], tauPlanted), percent(found[1][b][2], tauPlanted));
  }
  std::printf("  8 σ_L found, by size (w / tau):");
  for (int c = 0; c < 4; ++c)
    std::printf("  %s: %.0f %% / %.0f %%", classNames[c], percent(foundByClass[0][c], plantedByClass[0][c]),
                percent(foundByClass[1][c], plantedByClass[1][c]));
  std::printf("\n  found as one of a tied group (w-test, all sizes): %d\n", tiedFinds);
  std::printf("  goal: 8 σ_L found in >= 90 %% of cases\n\n");

  std::printf("Iterative data snooping (--iterate, w-test):\n");
  falseAlarmLine("clean networks, any removal", iterationAlarms, networks);
  std::printf(
      "  two 8 σ_L blunders in different loops (%d networks): both removed %.1f %%, one %.1f %%, "
      "something else removed as well %.1f %%   goal: both >= 80 %%\n"
      "  each of the two found when planted alone (the w-test's power, the ceiling): %.1f %%\n\n",
      twoPlanted, percent(bothFound, twoPlanted), percent(oneFound, twoPlanted), percent(removedOther, twoPlanted),
      percent(bothAlone, twoPlanted));
  std::sort(listedShares.begin(), listedShares.end());
  std::sort(beyondShares.begin(), beyondShares.end());
  auto quantile = [](const std::vector<double>& v, double q) {
    return 100 * v[static_cast<std::size_t>(q * (v.size() - 1))];
  };
  std::printf("Observations to look at (--grade --sigma-km, sigma a quarter of the grade's), share of n:\n");
  std::printf("  listed: median %.1f %%, 90th percentile %.1f %%, largest %.1f %%\n", quantile(listedShares, 0.5),
              quantile(listedShares, 0.9), quantile(listedShares, 1.0));
  std::printf("  of them 影响超限: median %.1f %%, 90th percentile %.1f %%, largest %.1f %%\n",
              quantile(beyondShares, 0.5), quantile(beyondShares, 0.9), quantile(beyondShares, 1.0));
  return 0;
}
