#include "check/statistics.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <limits>
#include <memory>

#include "adjust/adjustment_results.h"
#include "adjust/sparse_normal.h"
#include "check/correlated_groups.h"

namespace levelnet {

namespace {

// Correction of observation k in mm, without the report's rounding.
double unroundedCorrection(const AdjustmentResults& run, int k) {
  return (run.adjustedDifferences[k] - run.net.observedDifference[k]) * 1000.0;
}

double unroundedPvv(const AdjustmentResults& run) {
  double pvv = 0.0;
  for (int k = 1; k <= run.net.observationCount; ++k) {
    const double v = unroundedCorrection(run, k);
    pvv += v * run.weights[k] * v;
  }
  return pvv;
}

// The upper alpha quantile, from the complement: for the small levels of a
// large network, 1 - alpha would lose the digits that matter.
double upperNormalQuantile(double alpha) {
  return boost::math::quantile(boost::math::complement(boost::math::normal(), alpha));
}

// One unit of the last decimal of observation k's text, mm.
double resolutionMm(const LevelingNetwork& net, int k) { return 1000.0 * std::pow(10.0, -net.differenceDecimals[k]); }

// sum_j |R_kj| d_j / 2, R = Q_vv P: R_kj = (delta_kj / p_k - a_k Q a_j^T) p_j.
double roundingBoundWith(const AdjustmentResults& run, const SparseNormalSolver* solver, int k) {
  const LevelingNetwork& net = run.net;
  const int t = net.parameterCount;
  const ErrorEquation& ak = run.errorEquations[k];
  std::vector<double> column(static_cast<std::size_t>(t) + 1, 0.0);
  if (ak.toParameter != 0) column[ak.toParameter] += 1.0;
  if (ak.fromParameter != 0) column[ak.fromParameter] -= 1.0;
  const std::vector<double> qa = solver ? solver->solve(column) : column;
  double bound = 0.0;
  for (int j = 1; j <= net.observationCount; ++j) {
    const ErrorEquation& aj = run.errorEquations[j];
    double aqa = 0.0;
    if (aj.toParameter != 0) aqa += qa[aj.toParameter];
    if (aj.fromParameter != 0) aqa -= qa[aj.fromParameter];
    const double qvv = (j == k ? 1.0 / run.weights[k] : 0.0) - aqa;
    bound += std::fabs(qvv * run.weights[j]) * resolutionMm(net, j) / 2;
  }
  return bound;
}

// At most this many statistics above the critical value, the largest first,
// are weighed against the rounding of the data (a solve each); beyond them
// a network is far from closing within its resolution anyway.
constexpr int kMaxRoundingBounds = 100;

}  // namespace

double roundingBound(const AdjustmentResults& run, int k) {
  if (run.net.parameterCount == 0) return roundingBoundWith(run, nullptr, k);
  return roundingBoundWith(run, solverOf(run).get(), k);
}

double chiSquareQuantile(int dof, double p) { return boost::math::quantile(boost::math::chi_squared(dof), p); }

ChiSquareInterval chiSquareInterval(int dof) {
  return {chiSquareQuantile(dof, kGlobalTestLevel / 2), chiSquareQuantile(dof, 1 - kGlobalTestLevel / 2)};
}

double sidakLevel(double familyLevel, int tests) {
  // 1 - (1 - a)^(1/n) through log1p and expm1: exact to the last digits
  // even where (1 - a)^(1/n) lies within 1e-6 of 1.
  return -std::expm1(std::log1p(-familyLevel) / tests);
}

double normalCriticalValue(double alpha0) { return upperNormalQuantile(alpha0 / 2); }

double studentQuantile(int dof, double alpha0) {
  return boost::math::quantile(boost::math::complement(boost::math::students_t(dof), alpha0 / 2));
}

double tauCriticalValue(int dof, double alpha0) {
  const double t = studentQuantile(dof - 1, alpha0);
  const double f = dof;
  return std::sqrt(f) * t / std::sqrt(f - 1 + t * t);
}

double noncentralityParameter(double alpha0, double power) {
  const double shift = normalCriticalValue(alpha0) + upperNormalQuantile(1 - power);
  return shift * shift;
}

GlobalTest globalTest(const AdjustmentResults& run, double sigma0, bool upperTailOnly) {
  GlobalTest g;
  g.sigma0 = sigma0;
  g.pvv = unroundedPvv(run);
  g.dof = run.net.observationCount - run.net.parameterCount;
  g.statistic = g.pvv / (sigma0 * sigma0);
  g.upperTailOnly = upperTailOnly;
  g.lower = chiSquareQuantile(g.dof, kGlobalTestLevel / 2);
  if (upperTailOnly) {
    g.upper = chiSquareQuantile(g.dof, 1 - kGlobalTestLevel);
    g.passed = g.statistic <= g.upper;
    g.farBetter = g.statistic < g.lower;
  } else {
    g.upper = chiSquareQuantile(g.dof, 1 - kGlobalTestLevel / 2);
    g.passed = g.statistic >= g.lower && g.statistic <= g.upper;
  }
  return g;
}

ResidualAnalysis analyseResiduals(const AdjustmentResults& run, double sigma0) {
  const int n = run.net.observationCount;
  ResidualAnalysis a;
  a.dof = n - run.net.parameterCount;
  // Without a redundant observation (a planned network) there is no s.
  a.s = a.dof > 0 ? std::sqrt(unroundedPvv(run) / a.dof) : 0.0;
  const bool aPriori = sigma0 > 0.0;
  a.scale = aPriori ? sigma0 : a.s;
  a.rows.assign(static_cast<std::size_t>(n) + 1, Residual{});
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    r.v = unroundedCorrection(run, k);
    r.p = run.weights[k];
    // a Q a^T with a = +1 at the to point's parameter, -1 at the from point's.
    const int i = run.errorEquations[k].toParameter, j = run.errorEquations[k].fromParameter;
    double aqa = 0.0;
    if (i != 0) aqa += run.pointCofactors[i];
    if (j != 0) aqa += run.pointCofactors[j];
    if (i != 0 && j != 0) aqa -= run.crossCofactors[k];
    r.qvv = 1.0 / r.p - aqa;
    r.redundancy = r.p * r.qvv;
    // A cofactor that rounding leaves at (or just below) zero has no
    // standardised residual. With s = 0 every correction is 0, and so is tau.
    r.standardised = r.redundancy > 1e-9;
    if (r.standardised) r.w = a.scale > 0.0 ? r.v / (a.scale * std::sqrt(r.qvv)) : 0.0;
  }
  // A tied group is one test whatever the redundancy of each member: a
  // blunder in its shortest section shows in the whole group's residuals.
  // Only an observation tied to no other needs r >= kUncheckedRedundancy.
  const std::vector<int> tiedGroup = perfectlyCorrelatedGroups(run, a.rows);
  int groupCount = 0;
  for (int k = 1; k <= n; ++k) groupCount = std::max(groupCount, tiedGroup[k]);
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    r.unchecked = tiedGroup[k] == 0 && r.redundancy < kUncheckedRedundancy;
    r.group = tiedGroup[k] != 0 ? tiedGroup[k] : (r.unchecked ? 0 : ++groupCount);
    if (!r.unchecked) ++a.tested;
  }

  // With one redundant observation every |tau| is 1: the tau test cannot
  // tell anything. With sigma0 one redundant observation is enough.
  if (a.tested == 0 || (!aPriori && a.dof < 2)) return a;
  a.test = aPriori ? BlunderTest::baardaW : BlunderTest::popeTau;
  a.testGroups = groupCount;
  a.alpha0 = sidakLevel(kFamilyLevel, a.testGroups);
  if (aPriori) {
    a.critical = normalCriticalValue(a.alpha0);
  } else {
    a.student = studentQuantile(a.dof - 1, a.alpha0);
    a.critical = tauCriticalValue(a.dof, a.alpha0);
  }
  a.lambda0 = noncentralityParameter(a.alpha0, kDetectionPower);

  // Each group's statistic is that of its member with the largest
  // redundancy, whose qvv carries the least rounding error.
  std::vector<int> representative(static_cast<std::size_t>(groupCount) + 1, 0);
  std::vector<double> groupRedundancy(static_cast<std::size_t>(groupCount) + 1, 0.0);
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    if (r.unchecked) continue;
    r.mdb = a.scale * std::sqrt(a.lambda0 / (r.p * r.redundancy));
    groupRedundancy[r.group] += r.redundancy;
    int& best = representative[r.group];
    if (best == 0 || r.redundancy > a.rows[best].redundancy) best = k;
  }
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    r.groupRedundancy = r.unchecked ? r.redundancy : groupRedundancy[r.group];
    if (r.unchecked) continue;
    // Q a^T (the blunder's effect on the elevations, per unit of p times the
    // blunder) solves N u = e_to - e_from: away from the two ends every
    // unknown point's u is a weighted mean of its neighbours' and of the
    // known points' 0, so |u| is largest at one of the ends.
    const ErrorEquation& e = run.errorEquations[k];
    const double qtt = e.toParameter != 0 ? run.pointCofactors[e.toParameter] : 0.0;
    const double qff = e.fromParameter != 0 ? run.pointCofactors[e.fromParameter] : 0.0;
    // crossCofactors holds Q(i, j) + Q(j, i).
    const double qtf = e.toParameter != 0 && e.fromParameter != 0 ? run.crossCofactors[k] / 2 : 0.0;
    const double atTo = std::fabs(qtt - qtf), atFrom = std::fabs(qtf - qff);
    const double size = r.p * r.mdb;
    if (e.toParameter != 0 && atTo >= atFrom) {
      r.externalEffect = size * atTo;
      r.affectedPoint = run.net.toPoint[k];
    } else if (e.fromParameter != 0) {
      r.externalEffect = size * atFrom;
      r.affectedPoint = run.net.fromPoint[k];
    }
    r.biasToNoise = std::sqrt(a.lambda0 * std::max(0.0, 1.0 - r.redundancy) / r.redundancy);
  }

  // The resolution of the data: what rounding the texts alone does to s.
  a.resolutionKnown = static_cast<int>(run.net.differenceDecimals.size()) == n + 1;
  if (a.resolutionKnown) {
    double sum = 0.0;
    for (int k = 1; k <= n; ++k) {
      const double d = resolutionMm(run.net, k);
      sum += a.rows[k].p * a.rows[k].redundancy * d * d / 12;
    }
    a.roundingS = std::sqrt(sum / a.dof);
    a.sFromRounding = a.s * a.s * a.dof <= a.roundingS * a.roundingS * chiSquareQuantile(a.dof, 0.975);
  }

  // Corrections that are all floating-point noise (the data close exactly)
  // are no evidence of a blunder, however their ratios come out.
  bool onlyNoise = true;
  for (int k = 1; k <= n; ++k) onlyNoise = onlyNoise && std::fabs(a.rows[k].v) <= kNoiseCorrection;
  if (onlyNoise) return a;

  // The tests above the critical value, the largest first; one whose
  // correction the rounding of the data can explain is no evidence.
  std::vector<int> above;
  for (int g = 1; g <= groupCount; ++g)
    if (std::fabs(a.rows[representative[g]].w) > a.critical) above.push_back(g);
  std::stable_sort(above.begin(), above.end(), [&](int x, int y) {
    return std::fabs(a.rows[representative[x]].w) > std::fabs(a.rows[representative[y]].w);
  });
  std::shared_ptr<const SparseNormalSolver> solver;
  std::vector<char> evidence(static_cast<std::size_t>(groupCount) + 1, 0);
  int flagged = 0, weighed = 0;
  for (int g : above) {
    const int k = representative[g];
    bool rounding = false;
    double bound = 0.0;
    if (a.resolutionKnown && weighed < kMaxRoundingBounds) {
      if (!solver && run.net.parameterCount > 0) solver = solverOf(run);
      bound = roundingBoundWith(run, solver.get(), k);
      ++weighed;
      rounding = std::fabs(a.rows[k].v) <= bound * (1 + 1e-9);
    }
    for (int m = 1; m <= n; ++m)
      if (a.rows[m].group == g) {
        a.rows[m].withinRounding = rounding;
        a.rows[m].roundingBound = bound * std::fabs(a.rows[m].v / a.rows[k].v);
      }
    if (rounding) continue;
    evidence[g] = 1;
    ++a.testsAboveCritical;
    if (flagged == 0) flagged = g;
  }
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    if (r.group == 0 || !evidence[r.group]) continue;
    a.aboveCritical.push_back(k);
    if (r.group == flagged) {
      r.suspected = true;
      a.suspected.push_back(k);
    }
  }
  return a;
}

}  // namespace levelnet
