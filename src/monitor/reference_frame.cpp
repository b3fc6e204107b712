#include "monitor/reference_frame.h"

#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <cmath>
#include <limits>

#include "adjust/pipeline.h"
#include "adjust/sparse_normal.h"
#include "network/errors.h"

namespace levelnet::monitor {

namespace {

std::string inQuotes(const std::string& text) { return "“" + text + "”"; }

// The points that no chain of observations ties to a known point of `net`.
std::vector<int> untiedPoints(const LevelingNetwork& net) {
  std::vector<std::vector<int>> neighbours(static_cast<std::size_t>(net.pointCount) + 1);
  for (int k = 1; k <= net.observationCount; ++k) {
    neighbours[net.fromPoint[k]].push_back(net.toPoint[k]);
    neighbours[net.toPoint[k]].push_back(net.fromPoint[k]);
  }
  std::vector<char> reached(static_cast<std::size_t>(net.pointCount) + 1, 0);
  std::vector<int> queue;
  for (int p = 1; p <= net.knownCount; ++p) {
    reached[p] = 1;
    queue.push_back(p);
  }
  for (std::size_t i = 0; i < queue.size(); ++i)
    for (int q : neighbours[queue[i]])
      if (!reached[q]) {
        reached[q] = 1;
        queue.push_back(q);
      }
  std::vector<int> untied;
  for (int p = 1; p <= net.pointCount; ++p)
    if (!reached[p]) untied.push_back(p);
  return untied;
}

// Q' = S Q S^T for the datum of `subset`: S = I - 1 e_A^T / |A|.
Matrix toDatum(const Matrix& Q, const std::vector<int>& subset) {
  const std::size_t k = Q.size();
  const double m = static_cast<double>(subset.size());
  std::vector<double> rowMean(k, 0.0);  // (Q e_A)_i / |A|
  for (std::size_t i = 0; i < k; ++i) {
    double sum = 0.0;
    for (int j : subset) sum += Q[i][static_cast<std::size_t>(j)];
    rowMean[i] = sum / m;
  }
  double allMean = 0.0;
  for (int i : subset) allMean += rowMean[static_cast<std::size_t>(i)];
  allMean /= m;
  Matrix out(k, std::vector<double>(k, 0.0));
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j) out[i][j] = Q[i][j] - rowMean[i] - rowMean[j] + allMean;
  return out;
}

std::vector<double> shiftToDatum(const std::vector<double>& d, const std::vector<int>& subset) {
  double mean = 0.0;
  for (int i : subset) mean += d[static_cast<std::size_t>(i)];
  mean /= static_cast<double>(subset.size());
  std::vector<double> out(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) out[i] = d[i] - mean;
  return out;
}

}  // namespace

LevelingNetwork withKnownPoints(const LevelingNetwork& net, const std::vector<int>& known,
                                const std::vector<double>& heights, const std::string& file) {
  LevelingNetwork out;
  const int points = net.pointCount;
  std::vector<int> newNumber(static_cast<std::size_t>(points) + 1, 0);
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(points));
  for (int p : known) {
    newNumber[p] = static_cast<int>(order.size()) + 1;
    order.push_back(p);
  }
  for (int p = 1; p <= points; ++p)
    if (newNumber[p] == 0) {
      newNumber[p] = static_cast<int>(order.size()) + 1;
      order.push_back(p);
    }
  out.knownCount = static_cast<int>(known.size());
  out.pointCount = points;
  out.unknownCount = points - out.knownCount;
  out.parameterCount = out.unknownCount;
  out.observationCount = net.observationCount;
  out.unitWeightLength = net.unitWeightLength;
  out.pointName.assign(static_cast<std::size_t>(points) + 1, std::string());
  out.elevation.assign(static_cast<std::size_t>(points) + 1, 0.0);
  for (std::size_t i = 0; i < order.size(); ++i) {
    out.pointName[i + 1] = net.pointName[static_cast<std::size_t>(order[i])];
    out.elevation[i + 1] = i < known.size() ? heights[i] : 0.0;
  }
  const std::size_t n = static_cast<std::size_t>(net.observationCount) + 1;
  out.fromPoint.assign(n, 0);
  out.toPoint.assign(n, 0);
  out.observedDifference = net.observedDifference;
  out.routeLength = net.routeLength;
  for (int k = 1; k <= net.observationCount; ++k) {
    out.fromPoint[k] = newNumber[net.fromPoint[k]];
    out.toPoint[k] = newNumber[net.toPoint[k]];
  }
  out.indexNames();
  const std::vector<int> untied = untiedPoints(out);
  if (!untied.empty()) {
    std::string names;
    for (std::size_t i = 0; i < untied.size() && i < 5; ++i)
      names += (i ? "、" : "") + inQuotes(out.pointName[static_cast<std::size_t>(untied[i])]);
    if (untied.size() > 5) names += " 等 " + std::to_string(untied.size()) + " 个点";
    throw InputError("平差文件" + inQuotes(file) + "：" + names + "与基准点之间没有观测值相连，无法平差");
  }
  return out;
}

FreeNetworkSolution freeNetworkAdjustment(const LevelingNetwork& net, const std::vector<int>& references,
                                          const std::vector<double>& firstHeights, const std::string& file) {
  FreeNetworkSolution s;
  const int k = static_cast<int>(references.size());
  s.redundancy = net.observationCount - (net.pointCount - 1);
  if (s.redundancy < 1) {
    // Every point must still be tied to a benchmark for the epoch's own
    // adjustment; that is checked there.
    s.available = false;
    s.referenceHeights = firstHeights;
    s.referenceCofactors.assign(references.size(), std::vector<double>(references.size(), 0.0));
    return s;
  }
  // One reference point held: a minimal constraint.
  const LevelingNetwork minimal = withKnownPoints(net, {references[0]}, {firstHeights[0]}, file);
  const AdjustmentResults r = computeSparseAdjustment(minimal);
  // Point number of `net` -> parameter of `minimal` (0 for the held point).
  std::vector<int> parameterOf(static_cast<std::size_t>(net.pointCount) + 1, 0);
  for (int p = 2; p <= minimal.pointCount; ++p)
    parameterOf[static_cast<std::size_t>(net.pointNumberOf(minimal.pointName[static_cast<std::size_t>(p)]))] = p - 1;
  // Names are unique in an epoch (the monitoring refuses duplicates), so the
  // name index maps back one to one.

  double pvv = 0.0;
  for (int i = 1; i <= minimal.observationCount; ++i) {
    const ErrorEquation& e = r.errorEquations[static_cast<std::size_t>(i)];
    double v = r.constantTerms[static_cast<std::size_t>(i)];
    if (e.toParameter) v += r.parameterCorrections[static_cast<std::size_t>(e.toParameter)];
    if (e.fromParameter) v -= r.parameterCorrections[static_cast<std::size_t>(e.fromParameter)];
    pvv += r.weights[static_cast<std::size_t>(i)] * v * v;
  }
  s.pvv = pvv;

  // Minimal-constraint heights by point number of `net`.
  std::vector<double> x(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  for (int p = 1; p <= net.pointCount; ++p) {
    const int q = minimal.pointNumberOf(net.pointName[static_cast<std::size_t>(p)]);
    x[static_cast<std::size_t>(p)] = r.adjustedElevations[static_cast<std::size_t>(q)];
  }
  // Cofactors of the reference points: columns of N^-1 for each reference
  // parameter (the held one has none).
  Matrix Q(static_cast<std::size_t>(k), std::vector<double>(static_cast<std::size_t>(k), 0.0));
  if (k > 1) {
    const SparseNormalSolver solver(r);
    for (int j = 1; j < k; ++j) {
      std::vector<double> e(static_cast<std::size_t>(solver.size()) + 1, 0.0);
      e[static_cast<std::size_t>(parameterOf[static_cast<std::size_t>(references[static_cast<std::size_t>(j)])])] = 1.0;
      const std::vector<double> column = solver.solve(e);
      for (int i = 1; i < k; ++i)
        Q[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = column[static_cast<std::size_t>(
            parameterOf[static_cast<std::size_t>(references[static_cast<std::size_t>(i)])])];
    }
    // Symmetric by construction in exact arithmetic; make it so in double.
    for (int i = 1; i < k; ++i)
      for (int j = 1; j < i; ++j) {
        const double mean = (Q[i][j] + Q[j][i]) / 2.0;
        Q[i][j] = Q[j][i] = mean;
      }
  }
  // The datum "sum of the reference points' corrections is zero".
  double shift = 0.0;
  for (int j = 0; j < k; ++j)
    shift += x[static_cast<std::size_t>(references[static_cast<std::size_t>(j)])] -
             firstHeights[static_cast<std::size_t>(j)];
  shift /= k;
  s.heights.assign(x.size(), 0.0);
  for (std::size_t p = 1; p < x.size(); ++p) s.heights[p] = x[p] - shift;
  std::vector<int> all(static_cast<std::size_t>(k));
  for (int j = 0; j < k; ++j) all[static_cast<std::size_t>(j)] = j;
  s.referenceCofactors = toDatum(Q, all);
  for (int j = 0; j < k; ++j)
    s.referenceHeights.push_back(s.heights[static_cast<std::size_t>(references[static_cast<std::size_t>(j)])]);
  for (double h : s.heights) requireFinite(h, "自由网平差未完成");
  requireFinite(s.pvv, "自由网平差未完成");
  return s;
}

Matrix pseudoInverseOnesNull(const Matrix& M) {
  const Eigen::Index m = static_cast<Eigen::Index>(M.size());
  const double u2 = 1.0 / static_cast<double>(m);
  Eigen::MatrixXd A(m, m);
  for (Eigen::Index i = 0; i < m; ++i)
    for (Eigen::Index j = 0; j < m; ++j) A(i, j) = M[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] + u2;
  const Eigen::LDLT<Eigen::MatrixXd> ldlt(A);
  if (ldlt.info() != Eigen::Success || !ldlt.isPositive())
    throw AdjustmentError("基准点的协因数阵不正定，无法做稳定性检验");
  const Eigen::MatrixXd inverse = ldlt.solve(Eigen::MatrixXd::Identity(m, m));
  Matrix out(M.size(), std::vector<double>(M.size(), 0.0));
  for (Eigen::Index i = 0; i < m; ++i)
    for (Eigen::Index j = 0; j < m; ++j)
      out[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = inverse(i, j) - u2;
  return out;
}

double fQuantile95(int h, int f) {
  return boost::math::quantile(boost::math::complement(boost::math::fisher_f(h, f), 0.05));
}

CongruenceTest congruenceTest(const std::vector<double>& d, const Matrix& Qdd, const std::vector<int>& subset,
                              double pvv, int f) {
  CongruenceTest t;
  t.h = static_cast<int>(subset.size()) - 1;
  t.f = f;
  if (t.h < 1) {
    t.notDone = "只有一个基准点，无法检验其稳定性";
    return t;
  }
  if (f < 1) {
    t.notDone = "两期都没有多余观测，无法估计方差";
    return t;
  }
  t.pooledVariance = pvv / f;
  if (!(t.pooledVariance > 0.0)) {
    t.notDone = "两期的改正数都为零，方差为零，无法检验";
    return t;
  }
  const Matrix datum = toDatum(Qdd, subset);
  const std::vector<double> shifted = shiftToDatum(d, subset);
  Matrix sub(subset.size(), std::vector<double>(subset.size(), 0.0));
  for (std::size_t i = 0; i < subset.size(); ++i)
    for (std::size_t j = 0; j < subset.size(); ++j)
      sub[i][j] = datum[static_cast<std::size_t>(subset[i])][static_cast<std::size_t>(subset[j])];
  const Matrix P = pseudoInverseOnesNull(sub);
  double omega = 0.0;
  for (std::size_t i = 0; i < subset.size(); ++i)
    for (std::size_t j = 0; j < subset.size(); ++j)
      omega += shifted[static_cast<std::size_t>(subset[i])] * P[i][j] * shifted[static_cast<std::size_t>(subset[j])];
  t.omega = std::max(omega, 0.0);
  t.statistic = t.omega / (t.h * t.pooledVariance);
  t.critical = fQuantile95(t.h, t.f);
  requireFinite(t.statistic, "基准点稳定性检验未完成");
  t.done = true;
  t.passed = t.statistic <= t.critical;
  return t;
}

StabilityVerdict localiseMovement(const std::vector<double>& d, const Matrix& Qdd, double pvv, int f) {
  StabilityVerdict v;
  std::vector<int> remaining(d.size());
  for (std::size_t i = 0; i < d.size(); ++i) remaining[i] = static_cast<int>(i);
  v.global = congruenceTest(d, Qdd, remaining, pvv, f);
  CongruenceTest current = v.global;
  while (current.done && !current.passed) {
    if (remaining.size() <= 2) {
      v.undetermined = true;
      break;
    }
    double best = std::numeric_limits<double>::infinity();
    std::size_t bestAt = 0;
    CongruenceTest bestTest;
    for (std::size_t i = 0; i < remaining.size(); ++i) {
      std::vector<int> without = remaining;
      without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
      const CongruenceTest t = congruenceTest(d, Qdd, without, pvv, f);
      if (t.omega < best) {
        best = t.omega;
        bestAt = i;
        bestTest = t;
      }
    }
    v.moved.push_back(remaining[bestAt]);
    remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(bestAt));
    v.steps.push_back(bestTest);
    current = bestTest;
  }
  // Undetermined: the frame keeps every point (which moved cannot be told).
  if (v.undetermined) {
    v.moved.clear();
    v.steps.clear();
    remaining.resize(d.size());
    for (std::size_t i = 0; i < d.size(); ++i) remaining[i] = static_cast<int>(i);
  }
  v.stable = remaining;
  const Matrix datum = toDatum(Qdd, remaining);
  const std::vector<double> shifted = shiftToDatum(d, remaining);
  const double s2 = f > 0 ? pvv / f : 0.0;
  for (std::size_t i = 0; i < d.size(); ++i)
    v.shifts.push_back({static_cast<int>(i), shifted[i], std::sqrt(std::max(0.0, datum[i][i] * s2))});
  return v;
}

}  // namespace levelnet::monitor
