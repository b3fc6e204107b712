#include "adjust/phases.h"

namespace levelnet {

void formErrorEquations(AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  const int n = net.observationCount;
  const int known = net.knownCount;
  const std::vector<double>& h = r.approximateElevations;
  r.errorEquations.assign(static_cast<std::size_t>(n) + 1, ErrorEquation{});
  r.constantTerms.assign(static_cast<std::size_t>(n) + 1, 0.0);
  r.weights.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    const int to = net.toPoint[i];
    const int from = net.fromPoint[i];
    ErrorEquation& b = r.errorEquations[i];
    b.toParameter = to > known ? to - known : 0;
    b.fromParameter = from > known ? from - known : 0;
    r.constantTerms[i] = ((h[to] - h[from]) - net.observedDifference[i]) * 1000.0;
    r.weights[i] = net.unitWeightLength / net.routeLength[i];
  }
}

}  // namespace levelnet
