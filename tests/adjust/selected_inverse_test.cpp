// The selected inverse of the sparse path: the cofactors it gives (Q(i, i)
// and Q(i, j) of every observed pair) are bit for bit those of the Takahashi
// equations taken one row of the factor at a time, the plain order that
// fixes the printed digits, on grids and random networks; and its solution
// is Eigen's own simplicial factor's, with one thread or several.
#include <gtest/gtest.h>

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#include <cstdlib>
#include <cstring>
#include <string>

#include "adjust/phases.h"
#include "adjust/pipeline.h"
#include "network/errors.h"
#include "support/network_generator.h"

namespace levelnet {
namespace {

using SparseMatrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Q(i, i) by parameter and Q(i, j) + Q(j, i) by observation, from the plain
// recurrence on the factor of N formed as the sparse path forms it.
struct PlainCofactors {
  std::vector<double> point, cross, solution;
};

PlainCofactors plainSelectedInverse(const AdjustmentResults& r) {
  const int t = r.net.parameterCount;
  std::vector<Eigen::Triplet<double, int>> terms;
  forEachNormalTerm(r, [&terms](int i, int j, double term) { terms.emplace_back(j - 1, i - 1, term); });
  SparseMatrix lower(t, t);
  lower.setFromTriplets(terms.begin(), terms.end());
  Eigen::SimplicialLDLT<SparseMatrix, Eigen::Lower, Eigen::AMDOrdering<int>> ldlt(lower);
  const SparseMatrix& L = ldlt.matrixL().nestedExpression();
  const Eigen::VectorXd& d = ldlt.vectorD();
  const int* start = L.outerIndexPtr();
  const int* row = L.innerIndexPtr();
  const double* value = L.valuePtr();
  std::vector<double> below(static_cast<std::size_t>(start[t]), 0.0), diagonal(static_cast<std::size_t>(t), 0.0);
  for (int j = t - 1; j >= 0; --j) {
    const int begin = start[j], count = start[j + 1] - begin;
    std::vector<double> sum(static_cast<std::size_t>(count), 0.0);
    for (int b = 0; b < count; ++b) {
      const int k = row[begin + b];
      const double lkj = value[begin + b];
      sum[b] += diagonal[k] * lkj;
      int p = start[k];
      for (int a = b + 1; a < count; ++a) {
        const int i = row[begin + a];
        while (row[p] < i) ++p;
        sum[a] += below[p] * lkj;
        sum[b] += below[p] * value[begin + a];
      }
    }
    double diag = 1.0 / d[j];
    for (int a = 0; a < count; ++a) {
      below[begin + a] = -sum[a];
      diag += value[begin + a] * sum[a];
    }
    diagonal[j] = diag;
  }
  const auto& position = ldlt.permutationP().indices();
  auto at = [&](int i, int j) {
    const int a = position[i - 1], b = position[j - 1];
    const int column = std::min(a, b), target = std::max(a, b);
    for (int p = start[column]; p < start[column + 1]; ++p)
      if (row[p] == target) return below[p];
    ADD_FAILURE() << "off the pattern";
    return 0.0;
  };
  PlainCofactors c;
  Eigen::VectorXd constants(t);
  for (int i = 0; i < t; ++i) constants[i] = r.normalConstants[i + 1];
  const Eigen::VectorXd x = ldlt.solve(constants);
  c.solution.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 1; i <= t; ++i) c.solution[i] = -x[i - 1];
  c.point.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 1; i <= t; ++i) c.point[i] = diagonal[position[i - 1]];
  c.cross.assign(static_cast<std::size_t>(r.net.observationCount) + 1, 0.0);
  for (int k = 1; k <= r.net.observationCount; ++k) {
    const int i = r.errorEquations[k].toParameter, j = r.errorEquations[k].fromParameter;
    if (i != 0 && j != 0) c.cross[k] = at(i, j) + at(i, j);
  }
  return c;
}

void expectPlainBits(const LevelingNetwork& net, const std::string& what) {
  const AdjustmentResults r = computeSparseAdjustment(net);
  const PlainCofactors plain = plainSelectedInverse(r);
  int differing = 0;
  for (int i = 1; i <= net.parameterCount; ++i) differing += !sameBits(r.pointCofactors[i], plain.point[i]);
  for (int k = 1; k <= net.observationCount; ++k) differing += !sameBits(r.crossCofactors[k], plain.cross[k]);
  for (int i = 1; i <= net.parameterCount; ++i) differing += !sameBits(r.parameterCorrections[i], plain.solution[i]);
  EXPECT_EQ(differing, 0) << what;
}

// The factorisation and the selected inverse split the elimination tree
// among LEVELNET_THREADS workers.
void useWorkers(const char* count) {
#ifdef _WIN32
  _putenv_s("LEVELNET_THREADS", count);
#else
  setenv("LEVELNET_THREADS", count, 1);
#endif
}

TEST(SelectedInverse, BitForBitThePlainRecurrenceOnEveryNumberOfThreads) {
  for (const char* workers : {"1", "2", "3", "8"}) {
    useWorkers(workers);
    const std::string threads = std::string(" on ") + workers + " threads";
    int checked = 0;
    for (std::uint32_t seed = 1; seed <= 80; ++seed) {
      const NetworkText text = testing::randomNetwork(seed, 60);
      LevelingNetwork net;
      try {
        net = gatherNetwork(text.fields, text.points, text.observations);
      } catch (const InputError&) {
        continue;
      }
      expectPlainBits(net, "random " + std::to_string(seed) + threads);
      ++checked;
    }
    EXPECT_GT(checked, 60);
    for (auto [rows, cols] : {std::pair{1, 30}, std::pair{7, 9}, std::pair{40, 40}, std::pair{20, 120}}) {
      const NetworkText text = testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows * cols));
      expectPlainBits(gatherNetwork(text.fields, text.points, text.observations),
                      "grid " + std::to_string(rows) + " x " + std::to_string(cols) + threads);
    }
  }
  useWorkers("0");
}

}  // namespace
}  // namespace levelnet
