#include "adjust/adjusted_values.h"

#include <cmath>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

void adjustObservations(AdjustmentRun& run, AdjustmentReport& report) {
  LevelingNetwork& net = run.net;
  const int known = net.knownCount;
  for (int p = known + 1; p <= known + net.parameterCount; ++p)
    net.elevation[p] = net.elevation[p] + run.parameterCorrections[p - known] / 1000.0;

  report.title("序号   点号   最或然值(m) ");
  for (int p = 1; p <= net.pointCount; ++p) {
    report.append("  ");
    report.appendNumber(p);
    report.append(" ");
    report.appendFormatN(net.pointName[p]);
    report.append("     ");
    report.appendFormatNFixed(net.elevation[p], 4);
    report.endLine();
  }

  const int n = net.observationCount;
  run.adjustedDifferences.assign(static_cast<std::size_t>(n) + 1, 0.0);
  run.corrections.assign(static_cast<std::size_t>(n) + 1, 0.0);
  report.title("序号  观测值(m)  改正数(mm)  平差值(m)");
  for (int k = 1; k <= n; ++k) {
    run.adjustedDifferences[k] = net.elevation[net.toPoint[k]] - net.elevation[net.fromPoint[k]];
    const double correction = run.adjustedDifferences[k] - net.observedDifference[k];
    run.corrections[k] = std::floor(correction * 10000.0 + 0.5) / 10.0;
    report.append("  ");
    report.appendNumber(k);
    report.append("    ");
    report.appendFormatNFixed(net.observedDifference[k], 3);
    report.append("   ");
    report.appendFormatNFixed(run.corrections[k], 1);
    report.append("       ");
    report.appendFormatNFixed(run.adjustedDifferences[k], 4);
    report.endLine();
  }
}

}  // namespace levelnet
