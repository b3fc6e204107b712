#include "adjust/error_equations.h"

#include "adjust/adjustment_run.h"

namespace levelnet {

void formErrorEquations(AdjustmentRun& run, AdjustmentReport& report) {
  const LevelingNetwork& net = run.net;
  const int n = net.observationCount;
  const int t = net.parameterCount;
  const int known = net.knownCount;
  run.errorEquations.assign(static_cast<std::size_t>(n) + 1, ErrorEquation{});
  run.constantTerms.assign(static_cast<std::size_t>(n) + 1, 0.0);
  run.weights.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    const int to = net.toPoint[i];
    const int from = net.fromPoint[i];
    ErrorEquation& b = run.errorEquations[i];
    b.toParameter = to > known ? to - known : 0;
    b.fromParameter = from > known ? from - known : 0;
    run.constantTerms[i] = ((net.elevation[to] - net.elevation[from]) - net.observedDifference[i]) * 1000.0;
    run.weights[i] = net.unitWeightLength / net.routeLength[i];
  }

  report.title("由观测值组成误差方程");
  for (int i = 1; i <= n; ++i) {
    const ErrorEquation& b = run.errorEquations[i];
    appendErrorEquationLine(report, t, [&b](int j) { return b[j]; }, run.constantTerms[i]);
  }
}

}  // namespace levelnet
