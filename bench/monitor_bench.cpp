// Settlement monitoring, measured (not part of the test suite):
//
//   build/bench/levelnet_monitor_bench --monte-carlo [--pairs N] [--seed S]
//       N pairs of stable epochs (no benchmark moves): how often the
//       congruence test of the reference points fails (the false alarm rate,
//       5 % by design), and how often a benchmark moved by 5 sigma of its
//       shift is found.
//   build/bench/levelnet_monitor_bench --write DIR [--epochs E] [--rows R] [--cols C]
//       a project of E epochs of an R x C grid (four reference points at
//       the corners) in DIR, to time `levelnet monitor DIR/project.mon`.
//
// The networks: grids of points levelled to their right and lower
// neighbours over 0.05 to 0.2 km, four benchmarks tied to the corners,
// observed differences true + N(0, (1 mm)^2 L/km) written to 0.1 mm as a .pc
// file holds them.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "monitor/settlement.h"
#include "network/number_text.h"

namespace {

using namespace levelnet;
using namespace levelnet::monitor;

struct Grid {
  int rows, cols;
  std::vector<std::string> names;  // references first
  std::vector<std::pair<int, int>> sections;
  std::vector<double> lengths;
  std::vector<double> heights;  // m, true, by index
};

Grid makeGrid(int rows, int cols, std::mt19937& rng) {
  Grid g{rows, cols, {}, {}, {}, {}};
  std::uniform_real_distribution<double> length(0.05, 0.2), height(44.0, 46.0);
  for (const char* r : {"BM1", "BM2", "BM3", "BM4"}) g.names.emplace_back(r);
  for (int i = 0; i < rows * cols; ++i) g.names.push_back("J" + std::to_string(i + 1));
  for (std::size_t i = 0; i < g.names.size(); ++i) g.heights.push_back(height(rng));
  auto at = [&](int r, int c) { return 4 + r * cols + c; };
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      if (c + 1 < cols) g.sections.emplace_back(at(r, c), at(r, c + 1));
      if (r + 1 < rows) g.sections.emplace_back(at(r, c), at(r + 1, c));
    }
  const int corners[4] = {at(0, 0), at(0, cols - 1), at(rows - 1, 0), at(rows - 1, cols - 1)};
  for (int b = 0; b < 4; ++b) {
    g.sections.emplace_back(b, corners[b]);
    g.sections.emplace_back(corners[b], b);  // levelled there and back
  }
  // The benchmarks also tied to one another, as a reference network is.
  for (int b = 0; b < 4; ++b) g.sections.emplace_back(b, (b + 1) % 4);
  for (std::size_t s = 0; s < g.sections.size(); ++s) g.lengths.push_back(length(rng));
  return g;
}

// One epoch: the benchmarks known at their nominal heights, `truth` levelled.
LevelingNetwork epochNetwork(const Grid& g, const std::vector<double>& truth, std::mt19937& rng) {
  std::normal_distribution<double> gauss(0.0, 1.0);
  LevelingNetwork n;
  n.knownCount = 4;
  n.pointCount = static_cast<int>(g.names.size());
  n.unknownCount = n.parameterCount = n.pointCount - 4;
  n.observationCount = static_cast<int>(g.sections.size());
  n.unitWeightLength = 1.0;
  n.pointName.push_back("");
  n.elevation.push_back(0.0);
  for (std::size_t i = 0; i < g.names.size(); ++i) {
    n.pointName.push_back(g.names[i]);
    n.elevation.push_back(i < 4 ? roundHalfUp(g.heights[i], 4) : 0.0);
  }
  n.fromPoint.push_back(0);
  n.toPoint.push_back(0);
  n.observedDifference.push_back(0.0);
  n.routeLength.push_back(0.0);
  for (std::size_t s = 0; s < g.sections.size(); ++s) {
    const auto [a, b] = g.sections[s];
    const double dh = truth[static_cast<std::size_t>(b)] - truth[static_cast<std::size_t>(a)] +
                      std::sqrt(g.lengths[s]) * gauss(rng) / 1000.0;
    n.fromPoint.push_back(a + 1);
    n.toPoint.push_back(b + 1);
    n.observedDifference.push_back(roundHalfUp(dh, 4));
    n.routeLength.push_back(roundHalfUp(g.lengths[s], 3));
  }
  n.indexNames();
  return n;
}

MonitoringProject projectOf(int epochs) {
  MonitoringProject p;
  p.file = "simulated.mon";
  p.references = {"BM1", "BM2", "BM3", "BM4"};
  for (int i = 0; i < epochs; ++i) {
    EpochEntry e;
    e.line = i + 2;
    e.day = 19800.0 + 30.0 * i;
    e.dateText = "epoch " + std::to_string(i + 1);
    e.file = "e" + std::to_string(i + 1) + ".pc";
    p.epochs.push_back(e);
  }
  return p;
}

int monteCarlo(int pairs, unsigned seed) {
  std::mt19937 rng(seed);
  int falseAlarms = 0, found = 0, foundElsewhere = 0, tested = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int trial = 0; trial < pairs; ++trial) {
    const int rows = 3 + static_cast<int>(rng() % 6), cols = 3 + static_cast<int>(rng() % 8);
    const Grid g = makeGrid(rows, cols, rng);
    const MonitoringProject project = projectOf(2);
    std::vector<EpochNetwork> epochs = {{"e1.pc", epochNetwork(g, g.heights, rng)},
                                        {"e2.pc", epochNetwork(g, g.heights, rng)}};
    const MonitoringResults stable = runMonitoring(project, epochs);
    const CongruenceTest& t = stable.epochs[1].stability.againstFirst.global;
    if (!t.done) continue;
    ++tested;
    if (!t.passed) ++falseAlarms;
    // The same geometry with one benchmark moved by 5 sigma of its shift
    // against the other three (from the cofactors, with the true sigma).
    const std::size_t j = rng() % 4;
    const Matrix& Q = stable.epochs[0].free.referenceCofactors;
    double rowMean = 0.0, allMean = 0.0;
    std::vector<std::size_t> others;
    for (std::size_t a = 0; a < 4; ++a)
      if (a != j) others.push_back(a);
    for (std::size_t a : others) rowMean += 2.0 * Q[j][a] / 3.0;
    for (std::size_t a : others)
      for (std::size_t c : others) allMean += 2.0 * Q[a][c] / 9.0;
    const double sigmaShift = std::sqrt(2.0 * Q[j][j] - 2.0 * rowMean + allMean);
    std::vector<double> moved = g.heights;
    moved[j] -= 5.0 * sigmaShift / 1000.0;
    epochs[1] = {"e2.pc", epochNetwork(g, moved, rng)};
    const MonitoringResults shifted = runMonitoring(project, epochs);
    const StabilityVerdict& v = shifted.epochs[1].stability.againstFirst;
    if (v.moved.size() == 1 && v.moved[0] == static_cast<int>(j))
      ++found;
    else if (!v.moved.empty())
      ++foundElsewhere;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("pairs of stable epochs tested: %d (seed %u), %.1f s\n", tested, seed, seconds);
  std::printf("false alarms (congruence test failed, no benchmark moved): %d = %.1f %%\n", falseAlarms,
              100.0 * falseAlarms / tested);
  std::printf("one benchmark moved by 5 sigma: found %d = %.1f %%, another named %d, missed %d\n", found,
              100.0 * found / tested, foundElsewhere, tested - found - foundElsewhere);
  return 0;
}

std::string pcText(const LevelingNetwork& n) {
  std::string s = "4," + std::to_string(n.unknownCount) + "," + std::to_string(n.observationCount) + ",1\r\n";
  for (int p = 1; p <= n.pointCount; ++p)
    s += n.pointName[static_cast<std::size_t>(p)] + "," +
         (p <= 4 ? fixedText(n.elevation[static_cast<std::size_t>(p)], 4) : "") + "\r\n";
  for (int o = 1; o <= n.observationCount; ++o)
    s += n.pointName[static_cast<std::size_t>(n.fromPoint[o])] + "," +
         n.pointName[static_cast<std::size_t>(n.toPoint[o])] + "," + fixedText(n.observedDifference[o], 4) + "," +
         numberText(n.routeLength[o]) + "\r\n";
  return s;
}

int writeProject(const std::string& dir, int epochs, int rows, int cols) {
  std::mt19937 rng(20240301);
  const Grid g = makeGrid(rows, cols, rng);
  std::filesystem::create_directories(dir);
  std::string project = "基准点 = BM1, BM2, BM3, BM4\n预警值 = 累计 30, 速率 0.5\n";
  std::uniform_real_distribution<double> rate(0.0, 0.1);  // mm/d
  std::vector<double> rates;
  for (std::size_t i = 0; i < g.names.size(); ++i) rates.push_back(i < 4 ? 0.0 : rate(rng));
  for (int e = 0; e < epochs; ++e) {
    std::vector<double> truth = g.heights;
    for (std::size_t i = 4; i < truth.size(); ++i) truth[i] -= rates[i] * 10.0 * e / 1000.0 * std::exp(-e / 30.0);
    const std::string name = "e" + std::to_string(e + 1) + ".pc";
    std::ofstream(std::filesystem::path(dir) / name, std::ios::binary) << pcText(epochNetwork(g, truth, rng));
    char date[32];
    const int day = 1 + e * 6;  // every six days from 2024-01-01 (months of 28 days suffice)
    std::snprintf(date, sizeof date, "2024-%02d-%02d", 1 + (day - 1) / 28, 1 + (day - 1) % 28);
    project += "期 = " + std::string(date) + ", " + name + "\n";
  }
  std::ofstream(std::filesystem::path(dir) / "project.mon", std::ios::binary) << project;
  std::printf("%s/project.mon: %d epochs of %zu points, %zu sections\n", dir.c_str(), epochs, g.names.size(),
              g.sections.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode, dir;
  int pairs = 200, epochs = 50, rows = 40, cols = 50;
  unsigned seed = 20240613;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--monte-carlo")
      mode = a;
    else if (a == "--write")
      mode = a, dir = next();
    else if (a == "--pairs")
      pairs = std::atoi(next().c_str());
    else if (a == "--seed")
      seed = static_cast<unsigned>(std::atol(next().c_str()));
    else if (a == "--epochs")
      epochs = std::atoi(next().c_str());
    else if (a == "--rows")
      rows = std::atoi(next().c_str());
    else if (a == "--cols")
      cols = std::atoi(next().c_str());
    else
      mode = "?";
  }
  if (mode == "--monte-carlo" && pairs > 0) return monteCarlo(pairs, seed);
  if (mode == "--write" && !dir.empty() && epochs > 0 && epochs <= 56 && rows > 1 && cols > 1)
    return writeProject(dir, epochs, rows, cols);
  std::fprintf(stderr,
               "usage: %s --monte-carlo [--pairs N] [--seed S] | --write DIR [--epochs E] [--rows R] [--cols C]\n",
               argv[0]);
  return 2;
}
