#include "adjust/pipeline.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <string>

#include "adjust/elimination_tasks.h"
#include "adjust/phases.h"
#include "adjust/sparse_normal.h"
#include "network/errors.h"

namespace levelnet {

namespace {

bool allFinite(const std::vector<double>& values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// No result ever holds inf or nan: the bounds on the input keep every value
// far from the range of a double, and this makes sure of it before anything
// is written.
void requireFiniteResults(const AdjustmentResults& r) {
  bool finite = allFinite(r.approximateElevations) && allFinite(r.constantTerms) && allFinite(r.normalConstants) &&
                allFinite(r.parameterCorrections) && allFinite(r.adjustedElevations) &&
                allFinite(r.adjustedDifferences) && allFinite(r.corrections) && allFinite(r.pointErrors) &&
                allFinite(r.pointCofactors) && allFinite(r.crossCofactors) && std::isfinite(r.pvv) &&
                std::isfinite(r.unitWeightError) && std::isfinite(r.errorPerKilometre);
  const int t = r.cofactors.size();
  for (int i = 1; finite && i <= t; ++i) {
    const double* line = r.cofactors.line(i);
    for (int m = 0; m < t; ++m) finite = finite && std::isfinite(line[m]);
  }
  if (!finite) throw nonFiniteResult("平差未完成");
}

// Q(i, i) and the cross terms of every observation, from Q in full.
void keepObservedCofactors(AdjustmentResults& r) {
  const Cofactors& Q = r.cofactors;
  r.pointCofactors.assign(static_cast<std::size_t>(r.net.parameterCount) + 1, 0.0);
  for (int i = 1; i <= r.net.parameterCount; ++i) r.pointCofactors[i] = Q(i, i);
  r.crossCofactors.assign(static_cast<std::size_t>(r.net.observationCount) + 1, 0.0);
  for (int k = 1; k <= r.net.observationCount; ++k) {
    const int i = r.errorEquations[k].toParameter, j = r.errorEquations[k].fromParameter;
    if (i != 0 && j != 0) r.crossCofactors[k] = Q(i, j) + Q(j, i);
  }
}

[[noreturn]] void outOfMemory(int t) {
  throw OutOfMemoryError("内存不足：待定点 " + std::to_string(t) + " 个，法方程需要的内存超出本机可用内存");
}

}  // namespace

namespace {

// The phases every adjustment runs, with `solve` between the normal
// constants and the adjusted observations: it fills the parameter
// corrections and the cofactors the precision needs.
enum class Precision { assessed, leftOut };

template <class Solve>
AdjustmentResults adjustWith(LevelingNetwork network, Solve&& solve, Precision precision = Precision::assessed) {
  const int t = network.parameterCount;
  try {
    AdjustmentResults r(std::move(network));
    computeApproximateElevations(r);
    formErrorEquations(r);
    formNormalConstants(r);
    solve(r);
    adjustObservations(r);
    if (precision == Precision::assessed) assessPrecision(r);
    requireFiniteResults(r);
    return r;
  } catch (const std::bad_alloc&) {
    // The textbook normal matrix and its inverse take t x t numbers: a
    // network of tens of thousands of unknown points needs more memory than
    // there is.
    outOfMemory(t);
  }
}

// The sparse path: the factor of N, the solution, N's condition number and
// the selected inverse (Q on the diagonal and on every observed pair).
void solveSparse(AdjustmentResults& r) {
  const int t = r.net.parameterCount;
  auto kept = std::make_shared<SparseNormalSolver>(r);
  SparseNormalSolver& solver = *kept;
  // The solution and the condition number read only the factor, as the
  // selected inverse does; with more than one core they are computed beside
  // it (whose top, a chain, runs on one), each in its own order as before.
  auto solveAndCondition = [&] {
    const std::vector<double> solved = solver.solve(r.normalConstants);
    r.parameterCorrections.assign(static_cast<std::size_t>(t) + 1, 0.0);
    for (int i = 1; i <= t; ++i) r.parameterCorrections[i] = -solved[i];
    std::vector<double> ones(static_cast<std::size_t>(t) + 1, 1.0);
    ones[0] = 0.0;
    const std::vector<double> inverseRows = solver.solve(ones), rows = solver.multiplyAbsolute(ones);
    double inverseNorm = 0.0, norm = 0.0;
    for (int i = 1; i <= t; ++i) {
      inverseNorm = std::max(inverseNorm, inverseRows[i]);
      norm = std::max(norm, rows[i]);
    }
    r.normalCondition = norm * inverseNorm;
  };
  if (workerCount() < 2) {
    solveAndCondition();
    solver.invertSelected();
  } else {
    runBeside([&] { solver.invertSelected(); }, solveAndCondition);
  }
  r.pointCofactors.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 1; i <= t; ++i) r.pointCofactors[i] = solver.diagonalCofactor(i);
  r.crossCofactors.assign(static_cast<std::size_t>(r.net.observationCount) + 1, 0.0);
  for (int k = 1; k <= r.net.observationCount; ++k) {
    const int i = r.errorEquations[k].toParameter, j = r.errorEquations[k].fromParameter;
    if (i != 0 && j != 0) {
      const double q = solver.cofactor(i, j);
      r.crossCofactors[k] = q + q;
    }
  }
  solver.releaseSelectedInverse();
  r.sparseSolver = std::move(kept);
}

// The textbook path: N inverted in the file's order, Q kept for the report.
void solveTextbook(AdjustmentResults& r) {
  {
    AugmentedRows normal = formNormalMatrix(r);
    r.cofactors = invertNormalMatrix(normal, r.net);
  }
  keepObservedCofactors(r);
  solveNormalEquations(r);
}

}  // namespace

AdjustmentResults computeSparseAdjustment(LevelingNetwork network) {
  return adjustWith(std::move(network), solveSparse);
}

AdjustmentResults computeSparseCofactors(LevelingNetwork network) {
  return adjustWith(std::move(network), solveSparse, Precision::leftOut);
}

AdjustmentResults computeAdjustment(LevelingNetwork network) { return adjustWith(std::move(network), solveTextbook); }

}  // namespace levelnet
