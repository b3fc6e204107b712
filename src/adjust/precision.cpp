#include <cmath>

#include "adjust/phases.h"

namespace levelnet {

void assessPrecision(AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  const int n = net.observationCount;
  const int t = net.parameterCount;
  r.pvv = 0.0;
  for (int k = 1; k <= n; ++k) {
    const double v = r.corrections[k];
    r.pvv = r.pvv + (v * r.weights[k]) * v;
  }
  r.unitWeightError = std::floor(std::sqrt(r.pvv / static_cast<double>(n - t)) * 1000.0 + 0.5) / 1000.0;
  r.errorPerKilometre = r.unitWeightError / std::sqrt(net.unitWeightLength);
  r.pointErrors.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int i = 1; i <= t; ++i) r.pointErrors[i] = r.unitWeightError * std::sqrt(r.pointCofactors[i]);
}

}  // namespace levelnet
