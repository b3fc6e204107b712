#include "adjust/error_equations.h"

#include "adjust/adjustment_run.h"

namespace levelnet {

void formErrorEquations(AdjustmentRun& run, AdjustmentReport& report) {
  const LevelingNetwork& net = run.net;
  const int n = net.ObservationCount;
  const int t = net.ParameterCount;
  const int known = net.KnownCount;
  run.CoefficientMatrix.assign(static_cast<std::size_t>(n) + 1, ErrorEquation{});
  run.ConstantTerm.assign(static_cast<std::size_t>(n) + 1, 0.0);
  run.WeightMatrix.assign(static_cast<std::size_t>(n) + 1, 0.0);
  for (int i = 1; i <= n; ++i) {
    const int to = net.ToPoint[i];
    const int from = net.FromPoint[i];
    ErrorEquation& b = run.CoefficientMatrix[i];
    b.toParameter = to > known ? to - known : 0;
    b.fromParameter = from > known ? from - known : 0;
    run.ConstantTerm[i] = ((net.Elevation[to] - net.Elevation[from]) - net.ObservedDiff[i]) * 1000.0;
    run.WeightMatrix[i] = net.UnitWeightLength / net.RouteLength[i];
  }

  report.title("由观测值组成误差方程");
  for (int i = 1; i <= n; ++i) {
    const ErrorEquation& b = run.CoefficientMatrix[i];
    appendErrorEquationLine(report, t, [&b](int j) { return b[j]; }, run.ConstantTerm[i]);
  }
}

}  // namespace levelnet
