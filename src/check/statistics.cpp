#include "check/statistics.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>

#include "adjust/adjustment_results.h"

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

// The number of distinct tests among the tested observations: those whose
// |w| agree to kTieTolerance are one test, however many they are.
int tiedGroupCount(const std::vector<Residual>& rows) {
  std::vector<double> magnitudes;
  for (std::size_t k = 1; k < rows.size(); ++k)
    if (!rows[k].unchecked) magnitudes.push_back(std::fabs(rows[k].w));
  std::sort(magnitudes.begin(), magnitudes.end());
  int groups = 0;
  for (std::size_t i = 0; i < magnitudes.size(); ++i)
    if (i == 0 || magnitudes[i - 1] < magnitudes[i] * (1 - kTieTolerance)) ++groups;
  return groups;
}

}  // namespace

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
  a.s = std::sqrt(unroundedPvv(run) / a.dof);
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
    r.unchecked = r.redundancy < kUncheckedRedundancy;
    // A cofactor that rounding leaves at (or just below) zero has no
    // standardised residual. With s = 0 every correction is 0, and so is tau.
    r.standardised = r.redundancy > 1e-9;
    if (r.standardised) r.w = a.scale > 0.0 ? r.v / (a.scale * std::sqrt(r.qvv)) : 0.0;
    if (!r.unchecked) ++a.tested;
  }

  // With one redundant observation every |tau| is 1: the tau test cannot
  // tell anything. With sigma0 one redundant observation is enough.
  if (a.tested == 0 || (!aPriori && a.dof < 2)) return a;
  a.test = aPriori ? BlunderTest::baardaW : BlunderTest::popeTau;
  a.testGroups = tiedGroupCount(a.rows);
  a.alpha0 = sidakLevel(kFamilyLevel, a.testGroups);
  if (aPriori) {
    a.critical = normalCriticalValue(a.alpha0);
  } else {
    a.student = studentQuantile(a.dof - 1, a.alpha0);
    a.critical = tauCriticalValue(a.dof, a.alpha0);
  }
  a.lambda0 = noncentralityParameter(a.alpha0, kDetectionPower);

  double largest = 0.0;
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    if (r.unchecked) continue;
    r.mdb = a.scale * std::sqrt(a.lambda0 / (r.p * r.redundancy));
    largest = std::max(largest, std::fabs(r.w));
  }
  if (largest > a.critical) {
    for (int k = 1; k <= n; ++k) {
      Residual& r = a.rows[k];
      if (!r.unchecked && std::fabs(r.w) >= largest * (1 - kTieTolerance)) {
        r.suspected = true;
        a.suspected.push_back(k);
      }
    }
  }
  return a;
}

}  // namespace levelnet
