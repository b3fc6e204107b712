#include "check/network_design.h"

#include <cmath>

#include "adjust/adjustment_results.h"
#include "adjust/pipeline.h"
#include "check/network_check.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet {

DesignFindings designNetwork(const LevelingNetwork& net, const DesignOptions& options) {
  if (!(options.sigmaKm > 0.0 && std::isfinite(options.sigmaKm)))
    throw InputError("每公里高差中误差 σ 必须是大于 0 的数", Remedy::sigmaPerKm);
  DesignFindings f;
  f.toleranceCoefficient = toleranceCoefficient(options.grade, options.terrain);
  // The check's own solver and cofactors: its figures are the design's.
  const AdjustmentResults run = computeSparseCofactors(net);
  const int t = net.parameterCount, n = net.observationCount;
  f.dof = n - t;
  f.sigma0 = options.sigmaKm * std::sqrt(net.unitWeightLength);
  f.pointErrors.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 1; i <= t; ++i) {
    f.pointErrors[i] = f.sigma0 * std::sqrt(run.pointCofactors[i]);
    requireFinite(f.pointErrors[i], "精度预估未完成");
    if (f.weakestPoint == 0 || f.pointErrors[i] > f.weakestError) {
      f.weakestPoint = net.knownCount + i;
      f.weakestError = f.pointErrors[i];
    }
  }
  f.residuals = analyseResiduals(run, f.sigma0);
  const bool searchable = f.residuals.test != BlunderTest::none;
  for (int k = 1; k <= n; ++k) {
    Residual& r = f.residuals.rows[k];
    // Not measured: no correction, no statistic, nothing suspected.
    r.v = 0.0;
    r.w = 0.0;
    r.suspected = false;
    r.withinRounding = false;
    if (r.unchecked || !searchable) f.uncheckedRoutes.push_back(k);
  }
  // The check's list, with the check's rules.
  CheckFindings listed;
  listed.toleranceCoefficient = f.toleranceCoefficient;
  listed.residuals = f.residuals;
  CheckOptions checkOptions;
  checkOptions.grade = options.grade;
  checkOptions.terrain = options.terrain;
  listObservationsToLookAt(net, checkOptions, listed);
  f.attention = std::move(listed.attention);
  f.pointAccuracy = std::move(listed.pointAccuracy);
  f.attentionCount = listed.attentionCount;
  f.residuals.suspected.clear();
  f.pointLimit = options.pointLimit > 0.0 ? options.pointLimit : options.grade.empty() ? 0.0 : kWeakestPointLimitMm;
  if (f.pointLimit > 0.0) f.pointLimitMet = roundHalfUp(f.weakestError, 2) <= f.pointLimit;
  return f;
}

}  // namespace levelnet
