#include "adjust/adjusted_values.h"

#include <cmath>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

void adjustObservations(AdjustmentRun& run, AdjustmentReport& report) {
  LevelingNetwork& net = run.net;
  const int known = net.KnownCount;
  for (int p = known + 1; p <= known + net.ParameterCount; ++p)
    net.Elevation[p] = net.Elevation[p] + run.ParameterCorrection[p - known] / 1000.0;

  report.title("序号   点号   最或然值(m) ");
  for (int p = 1; p <= net.PointCount; ++p) {
    report.append("  ");
    report.appendNumber(p);
    report.append(" ");
    report.appendFormatN(net.PointName[p]);
    report.append("     ");
    report.appendFormatNFixed(net.Elevation[p], 4);
    report.endLine();
  }

  const int n = net.ObservationCount;
  run.AdjustedDiff.assign(static_cast<std::size_t>(n) + 1, 0.0);
  run.ObservationCorrection.assign(static_cast<std::size_t>(n) + 1, 0.0);
  report.title("序号  观测值(m)  改正数(mm)  平差值(m)");
  for (int k = 1; k <= n; ++k) {
    run.AdjustedDiff[k] = net.Elevation[net.ToPoint[k]] - net.Elevation[net.FromPoint[k]];
    const double correction = run.AdjustedDiff[k] - net.ObservedDiff[k];
    run.ObservationCorrection[k] = std::floor(correction * 10000.0 + 0.5) / 10.0;
    report.append("  ");
    report.appendNumber(k);
    report.append("    ");
    report.appendFormatNFixed(net.ObservedDiff[k], 3);
    report.append("   ");
    report.appendFormatNFixed(run.ObservationCorrection[k], 1);
    report.append("       ");
    report.appendFormatNFixed(run.AdjustedDiff[k], 4);
    report.endLine();
  }
}

}  // namespace levelnet
