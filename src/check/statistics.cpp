#include "check/statistics.h"

#include <boost/math/distributions/chi_squared.hpp>
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

}  // namespace

ChiSquareInterval chiSquareInterval(int dof) {
  const boost::math::chi_squared distribution(dof);
  return {boost::math::quantile(distribution, 0.025), boost::math::quantile(distribution, 0.975)};
}

GlobalTest globalTest(const AdjustmentResults& run, double sigma0) {
  GlobalTest g;
  g.sigma0 = sigma0;
  g.pvv = unroundedPvv(run);
  g.dof = run.net.observationCount - run.net.parameterCount;
  g.statistic = g.pvv / (sigma0 * sigma0);
  const ChiSquareInterval interval = chiSquareInterval(g.dof);
  g.lower = interval.lower;
  g.upper = interval.upper;
  g.passed = g.statistic >= g.lower && g.statistic <= g.upper;
  return g;
}

ResidualAnalysis analyseResiduals(const AdjustmentResults& run, double sigma0) {
  const int n = run.net.observationCount;
  ResidualAnalysis a;
  a.s = std::sqrt(unroundedPvv(run) / (n - run.net.parameterCount));
  a.aPriori = sigma0 > 0.0;
  a.scale = a.aPriori ? sigma0 : a.s;
  a.rows.assign(static_cast<std::size_t>(n) + 1, Residual{});
  const Cofactors& Q = run.cofactors;
  double largest = 0.0;
  for (int k = 1; k <= n; ++k) {
    Residual& r = a.rows[k];
    r.v = unroundedCorrection(run, k);
    r.p = run.weights[k];
    // a Q a^T with a = +1 at the to point's parameter, -1 at the from point's.
    const int i = run.errorEquations[k].toParameter, j = run.errorEquations[k].fromParameter;
    double aqa = 0.0;
    if (i != 0) aqa += Q(i, i);
    if (j != 0) aqa += Q(j, j);
    if (i != 0 && j != 0) aqa -= Q(i, j) + Q(j, i);
    r.qvv = 1.0 / r.p - aqa;
    r.redundancy = r.p * r.qvv;
    r.unchecked = r.redundancy < kUncheckedRedundancy;
    // A cofactor that rounding leaves at (or just below) zero has no
    // standardised residual.
    r.standardised = r.redundancy > 1e-9 && a.scale > 0.0;
    if (r.standardised) r.w = r.v / (a.scale * std::sqrt(r.qvv));
    if (r.standardised && !r.unchecked && std::fabs(r.w) > kBlunderLimit && std::fabs(r.w) > largest) {
      largest = std::fabs(r.w);
      a.suspected = k;
    }
  }
  if (a.suspected != 0) a.rows[a.suspected].suspected = true;
  return a;
}

}  // namespace levelnet
