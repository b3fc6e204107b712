#include "adjust/adjustment_results.h"

#include <cmath>
#include <new>
#include <string>

#include "adjust/phases.h"
#include "network/input_error.h"

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
                std::isfinite(r.pvv) && std::isfinite(r.unitWeightError) && std::isfinite(r.errorPerKilometre);
  const int t = r.cofactors.size();
  for (int i = 1; finite && i <= t; ++i) {
    const double* line = r.cofactors.line(i);
    for (int m = 0; m < t; ++m) finite = finite && std::isfinite(line[m]);
  }
  if (!finite) throw nonFiniteResult("平差未完成");
}

}  // namespace

AdjustmentResults computeAdjustment(LevelingNetwork network) {
  const int t = network.parameterCount;
  try {
    AdjustmentResults r(std::move(network));
    computeApproximateElevations(r);
    formErrorEquations(r);
    formNormalConstants(r);
    {
      AugmentedRows normal = formNormalMatrix(r);
      r.cofactors = invertNormalMatrix(normal, r.net);
    }
    solveNormalEquations(r);
    adjustObservations(r);
    assessPrecision(r);
    requireFiniteResults(r);
    return r;
  } catch (const std::bad_alloc&) {
    // The normal matrix and its inverse take t x t numbers each: a network of
    // tens of thousands of unknown points needs more memory than there is.
    throw InputError("内存不足：待定点 " + std::to_string(t) + " 个，法方程需要的内存超出本机可用内存");
  }
}

}  // namespace levelnet
