// The compact engine against the plain dense computation, and the adjusted
// values against an independent least-squares solution.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/pipeline.h"
#include "network/project_file.h"
#include "support/dense_reference.h"
#include "support/network_generator.h"

namespace levelnet {
namespace {

using testing::denseAdjustment;
using testing::DenseRun;

// Same bits; the two zeros count as equal (no sum of ours may differ from the
// plain one except in the sign of a zero, which no report shows).
bool sameBits(double a, double b) {
  if (a == 0.0 && b == 0.0) return true;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string reportOf(const AdjustmentResults& results) {
  StringSink sink;
  writeReport(results, sink);
  return sink.text;
}

#define EXPECT_SAME_BITS(a, b, what) \
  EXPECT_TRUE(sameBits((a), (b))) << what << ": " << std::hexfloat << (a) << " vs " << (b) << std::defaultfloat

void compare(const AdjustmentResults& run, const DenseRun& d, const std::string& report, const std::string& name) {
  const int n = run.net.observationCount, t = run.net.parameterCount;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= t; ++j) EXPECT_SAME_BITS(run.errorEquations[i][j], d.B(i, j), name << " B" << i << "," << j);
    EXPECT_SAME_BITS(run.constantTerms[i], d.l[i], name << " l" << i);
    EXPECT_SAME_BITS(run.weights[i], d.P(i, i), name << " P" << i);
    EXPECT_SAME_BITS(run.adjustedDifferences[i], d.adjustedDiff[i], name << " adjusted difference " << i);
    EXPECT_SAME_BITS(run.corrections[i], d.correction[i], name << " v" << i);
  }
  for (int i = 1; i <= t; ++i) {
    EXPECT_SAME_BITS(run.normalConstants[i], d.W[i], name << " W" << i);
    EXPECT_SAME_BITS(run.parameterCorrections[i], d.x[i], name << " x" << i);
    EXPECT_SAME_BITS(run.pointErrors[i], d.pointError[i], name << " M" << i);
    for (int m = 1; m <= t; ++m) EXPECT_SAME_BITS(run.cofactors(m, i), d.Q(m, i), name << " Q" << m << "," << i);
  }
  for (int p = 1; p <= run.net.pointCount; ++p)
    EXPECT_SAME_BITS(run.adjustedElevations[p], d.net.elevation[p], name << " H" << p);
  EXPECT_SAME_BITS(run.pvv, d.pvv, name << " [pvv]");
  EXPECT_SAME_BITS(run.unitWeightError, d.mu, name << " mu");
  EXPECT_EQ(report, d.report) << name;
}

TEST(DenseEquivalence, RandomNetworksGiveTheSameBitsAsTheDenseMethod) {
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    NetworkText text = testing::randomNetwork(seed, seed % 3 == 0 ? 40 : 12);
    LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations);
    const AdjustmentResults run = computeAdjustment(net);
    const std::string report = reportOf(run);
    compare(run, denseAdjustment(net), report, "seed " + std::to_string(seed));
    if (::testing::Test::HasFailure()) break;  // one network's worth of detail is enough
  }
}

TEST(DenseEquivalence, GridNetworksGiveTheSameBitsAsTheDenseMethod) {
  for (auto [rows, cols] : {std::pair{1, 1}, {2, 3}, {5, 4}, {7, 9}}) {
    NetworkText text = testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows * 100 + cols));
    LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations);
    const AdjustmentResults run = computeAdjustment(net);
    const std::string report = reportOf(run);
    compare(run, denseAdjustment(net), report, "grid " + std::to_string(rows) + "x" + std::to_string(cols));
  }
}

// Least squares on absolute elevations: minimise sum p (H(to) - H(from) - h)^2
// by a Cholesky factorisation of the normal matrix, written here from scratch
// and independent of the engine's linearisation and solver.
struct Solution {
  std::vector<double> elevation;  // by point number
  double sigma0 = 0;              // mm, unrounded
};

Solution choleskySolve(const LevelingNetwork& net) {
  const int K = net.knownCount, t = net.parameterCount, n = net.observationCount;
  std::vector<std::vector<double>> N(t, std::vector<double>(t, 0.0));
  std::vector<double> u(t, 0.0);
  for (int k = 1; k <= n; ++k) {
    const double p = net.unitWeightLength / net.routeLength[k];
    const int a = net.toPoint[k] > K ? net.toPoint[k] - K - 1 : -1;
    const int b = net.fromPoint[k] > K ? net.fromPoint[k] - K - 1 : -1;
    // Right side: the observed difference moved past the known elevations.
    double rhs = net.observedDifference[k];
    if (a < 0) rhs -= net.elevation[net.toPoint[k]];
    if (b < 0) rhs += net.elevation[net.fromPoint[k]];
    if (a >= 0) {
      N[a][a] += p;
      u[a] += p * rhs;
    }
    if (b >= 0) {
      N[b][b] += p;
      u[b] -= p * rhs;
    }
    if (a >= 0 && b >= 0) {
      N[a][b] -= p;
      N[b][a] -= p;
    }
  }
  std::vector<std::vector<double>> L(t, std::vector<double>(t, 0.0));
  for (int i = 0; i < t; ++i)
    for (int j = 0; j <= i; ++j) {
      double s = N[i][j];
      for (int k = 0; k < j; ++k) s -= L[i][k] * L[j][k];
      L[i][j] = i == j ? std::sqrt(s) : s / L[j][j];
    }
  std::vector<double> y(t), x(t);
  for (int i = 0; i < t; ++i) {
    double s = u[i];
    for (int k = 0; k < i; ++k) s -= L[i][k] * y[k];
    y[i] = s / L[i][i];
  }
  for (int i = t - 1; i >= 0; --i) {
    double s = y[i];
    for (int k = i + 1; k < t; ++k) s -= L[k][i] * x[k];
    x[i] = s / L[i][i];
  }
  Solution sol;
  sol.elevation = net.elevation;
  for (int i = 0; i < t; ++i) sol.elevation[K + 1 + i] = x[i];
  double pvv = 0;
  for (int k = 1; k <= n; ++k) {
    const double v =
        (sol.elevation[net.toPoint[k]] - sol.elevation[net.fromPoint[k]] - net.observedDifference[k]) * 1000;
    pvv += net.unitWeightLength / net.routeLength[k] * v * v;
  }
  sol.sigma0 = std::sqrt(pvv / (n - t));
  return sol;
}

TEST(IndependentLeastSquares, AdjustedElevationsAndUnitWeightErrorAgree) {
  NetworkText city;
  applyProject(readProjectFile(std::string(LEVELNET_EXAMPLES_DIR) + "/city_network.pc"), city.fields, city.points,
               city.observations);
  std::vector<NetworkText> networks;
  networks.push_back(city);
  networks.push_back(testing::gridNetwork(6, 8, 11));
  for (const NetworkText& text : networks) {
    LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations);
    const Solution expected = choleskySolve(net);
    const AdjustmentResults run = computeAdjustment(net);
    for (int p = 1; p <= net.pointCount; ++p)
      EXPECT_NEAR(run.adjustedElevations[p], expected.elevation[p], 1e-9) << net.pointName[p];
    // mu comes from corrections rounded to 0.1 mm and is itself rounded to
    // 0.001 mm, so it agrees to about the rounding of the corrections.
    EXPECT_NEAR(run.unitWeightError, expected.sigma0, 0.05 + 0.0005) << "mu";
  }
}

}  // namespace
}  // namespace levelnet
