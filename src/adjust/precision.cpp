#include "adjust/precision.h"

#include <cmath>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

void assessPrecision(AdjustmentRun& run, AdjustmentReport& report) {
  const LevelingNetwork& net = run.net;
  const int n = net.observationCount;
  const int t = net.parameterCount;
  for (int k = 1; k <= n; ++k) {
    const double v = run.corrections[k];
    run.pvv = run.pvv + (v * run.weights[k]) * v;
  }
  run.unitWeightError = std::floor(std::sqrt(run.pvv / static_cast<double>(n - t)) * 1000.0 + 0.5) / 1000.0;

  report.title("精度评定:");
  report.append("  1、单位权中误差:μ=±");
  report.appendFixed(run.unitWeightError, 3);
  report.append("mm\r\n");
  const double perKilometre = run.unitWeightError / std::sqrt(net.unitWeightLength);
  report.append("  2、每公里观测高差中误差(相对中误差):1km:M(km)=±");
  report.appendFixed(perKilometre, 3);
  report.append("mm\r\n");
  report.append("  3、各所求点高程平差值的中误差:\r\n");
  run.pointErrors.assign(static_cast<std::size_t>(t) + 1, 0.0);
  for (int p = net.knownCount + 1; p <= net.knownCount + t; ++p) {
    const int i = p - net.knownCount;
    run.pointErrors[i] = run.unitWeightError * std::sqrt(run.cofactors(i, i));
    report.append("     M(");
    report.appendNumber(p);
    report.append(")=±");
    report.appendFixed(run.pointErrors[i], 3);
    report.append("mm\r\n");
  }
}

}  // namespace levelnet
