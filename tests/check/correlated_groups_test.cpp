// The tied groups of the blunder search: the search that decides most pairs
// by a cycle of the network gives the groups, numbers and all, of the
// search that computes rho for every candidate pair, on grids, on random
// networks and on networks of long chains with widely different lengths
// (where the cycles are long and the ties many), from either solver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "adjust/pipeline.h"
#include "adjust/sparse_normal.h"
#include "check/correlated_groups.h"
#include "check/statistics.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "support/network_generator.h"
#include "support/network_text.h"

namespace levelnet {
namespace {

// Every candidate pair's rho, in the order the search visits them.
std::vector<int> groupsFromEveryPair(const AdjustmentResults& run, const std::vector<Residual>& rows) {
  const int n = static_cast<int>(rows.size()) - 1;
  std::vector<int> group(rows.size(), 0);
  std::vector<int> order;
  for (int k = 1; k <= n; ++k)
    if (rows[k].standardised) order.push_back(k);
  auto key = [&](int k) { return rows[k].p * rows[k].p * rows[k].qvv; };
  std::sort(order.begin(), order.end(), [&](int a, int b) { return key(a) < key(b); });
  const SparseNormalSolver solver(run);
  double condition = -1.0;
  const int t = run.net.parameterCount;
  int groups = 0;
  for (std::size_t begin = 0; begin < order.size();) {
    std::size_t end = begin + 1;
    while (end < order.size() && key(order[end]) - key(order[end - 1]) <= 1e-3 * key(order[end])) ++end;
    if (end - begin >= 2) {
      if (condition < 0.0) {
        std::vector<double> ones(static_cast<std::size_t>(t) + 1, 1.0);
        ones[0] = 0.0;
        const std::vector<double> inverseRows = solver.solve(ones), norms = solver.multiplyAbsolute(ones);
        double inverseNorm = 0.0, norm = 0.0;
        for (int i = 1; i <= t; ++i) {
          inverseNorm = std::max(inverseNorm, inverseRows[i]);
          norm = std::max(norm, norms[i]);
        }
        condition = norm * inverseNorm;
      }
      for (std::size_t x = begin; x < end; ++x) {
        const int j = order[x];
        if (group[j] != 0) continue;
        const ErrorEquation& aj = run.errorEquations[j];
        std::vector<double> column(static_cast<std::size_t>(t) + 1, 0.0);
        if (aj.toParameter != 0) column[aj.toParameter] += 1.0;
        if (aj.fromParameter != 0) column[aj.fromParameter] -= 1.0;
        const std::vector<double> qa = solver.solve(column);
        for (std::size_t y = x + 1; y < end; ++y) {
          const int i = order[y];
          if (group[i] != 0) continue;
          const ErrorEquation& ai = run.errorEquations[i];
          double aqa = 0.0;
          if (ai.toParameter != 0) aqa += qa[ai.toParameter];
          if (ai.fromParameter != 0) aqa -= qa[ai.fromParameter];
          const double rho = -aqa / std::sqrt(rows[i].qvv * rows[j].qvv);
          const double eps = std::numeric_limits<double>::epsilon();
          const double tolerance = std::clamp(
              1e3 * eps * std::max(condition, 1.0) / std::min(rows[i].redundancy, rows[j].redundancy), 1e-10, 1e-4);
          if (std::fabs(rho) >= 1.0 - tolerance) {
            if (group[j] == 0) group[j] = ++groups;
            group[i] = group[j];
          }
        }
      }
    }
    begin = end;
  }
  return group;
}

// Junctions joined by chains of 1 to `longest` sections, lengths spread
// over `spread` decades, one to three known points among the junctions.
NetworkText chainNetwork(std::uint32_t seed, int junctions, int longest, double spread) {
  std::mt19937 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int known = uniform(1, 3);
  std::vector<std::vector<std::string>> points;
  for (int i = 1; i <= junctions; ++i) points.push_back({"J" + std::to_string(i), i <= known ? "100.000" : ""});
  std::vector<std::vector<std::string>> obs;
  auto addChain = [&](int a, int b) {
    const int sections = uniform(1, longest);
    std::string from = "J" + std::to_string(a);
    for (int s = 1; s <= sections; ++s) {
      std::string to = "J" + std::to_string(b);
      if (s < sections) {
        to = "C" + std::to_string(points.size() + 1);
        points.push_back({to, ""});
      }
      const double length = 0.05 * std::pow(10.0, spread * unit(rng));
      obs.push_back({from, to, fixedText(10.0 * unit(rng) - 5.0, 3), fixedText(length, 3)});
      from = to;
    }
  };
  for (int j = 2; j <= junctions; ++j) addChain(uniform(1, j - 1), j);  // every junction tied
  const int extra = uniform(1, junctions);
  for (int e = 0; e < extra; ++e) {
    const int a = uniform(1, junctions), b = uniform(1, junctions);
    if (a != b) addChain(a, b);
  }
  // Known points first, as the header counts them.
  std::stable_partition(points.begin(), points.end(), [](const auto& p) { return !p[1].empty(); });
  ParameterFields fields{std::to_string(known), std::to_string(points.size() - known), std::to_string(obs.size()), "1"};
  return testing::enteredNetwork(fields, points, obs);
}

LevelingNetwork gathered(const NetworkText& text) { return gatherNetwork(text.fields, text.points, text.observations); }

// The groups of both searches on a network, from the sparse path's results
// and from the textbook solver's; returns how many groups there were.
int expectSameGroups(const LevelingNetwork& net, const std::string& what) {
  int groups = 0;
  for (bool sparse : {true, false}) {
    if (!sparse && net.parameterCount > 2000) continue;
    const AdjustmentResults run = sparse ? computeSparseAdjustment(net) : computeAdjustment(net);
    const std::vector<Residual> rows = analyseResiduals(run, 1.0).rows;
    const std::vector<int> expected = groupsFromEveryPair(run, rows);
    std::vector<int> found;
    for (int workers : {1, 2, 3}) {
      found = perfectlyCorrelatedGroups(run, rows, workers);
      EXPECT_EQ(found, expected) << what << (sparse ? " (sparse)" : " (textbook)") << ", " << workers << " threads";
    }
    groups = std::max(groups, *std::max_element(found.begin(), found.end()));
  }
  return groups;
}

TEST(TiedGroups, TheSameAsFromEveryPair) {
  int withTies = 0;
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const NetworkText text = testing::randomNetwork(seed, 40);
    LevelingNetwork net;
    try {
      net = gathered(text);
    } catch (const InputError&) {
      continue;
    }
    if (expectSameGroups(net, "random " + std::to_string(seed)) > 0) ++withTies;
  }
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    const double spread = seed % 4 == 0 ? 4.0 : 1.5;  // up to 10^4 between the lengths
    if (expectSameGroups(gathered(chainNetwork(seed, 6 + static_cast<int>(seed % 20), 1 + seed % 7, spread)),
                         "chains " + std::to_string(seed)) > 0)
      ++withTies;
  }
  EXPECT_GT(withTies, 40);  // the ties are there to be found
  // Long chains of equal sections: their keys fall into one run, their
  // cycles are long (the pass in key order decides them).
  for (std::uint32_t seed = 1; seed <= 4; ++seed)
    EXPECT_GT(expectSameGroups(gathered(chainNetwork(seed, 10, 15, 0.0)), "long chains " + std::to_string(seed)), 0);
  expectSameGroups(gathered(testing::gridNetwork(12, 15, 3)), "grid 12 x 15");
  expectSameGroups(gathered(testing::gridNetwork(1, 40, 5)), "grid 1 x 40");
}

}  // namespace
}  // namespace levelnet
