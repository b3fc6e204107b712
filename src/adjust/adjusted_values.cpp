#include <cmath>

#include "adjust/phases.h"

namespace levelnet {

void adjustObservations(AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  const int known = net.knownCount;
  r.adjustedElevations = r.approximateElevations;
  std::vector<double>& h = r.adjustedElevations;
  for (int p = known + 1; p <= known + net.parameterCount; ++p)
    h[p] = h[p] + r.parameterCorrections[p - known] / 1000.0;

  const int n = net.observationCount;
  r.adjustedDifferences.assign(static_cast<std::size_t>(n) + 1, 0.0);
  r.corrections.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int k = 1; k <= n; ++k) {
    r.adjustedDifferences[k] = h[net.toPoint[k]] - h[net.fromPoint[k]];
    const double correction = r.adjustedDifferences[k] - net.observedDifference[k];
    r.corrections[k] = std::floor(correction * 10000.0 + 0.5) / 10.0;
  }
}

}  // namespace levelnet
