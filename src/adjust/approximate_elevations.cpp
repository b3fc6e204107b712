#include "adjust/approximate_elevations.h"

#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

void approximateElevations(AdjustmentRun& run, AdjustmentReport& report) {
  LevelingNetwork& net = run.net;
  const int n = net.observationCount;
  const int points = net.pointCount;

  // The observations of each point in ascending order. Looking only at these
  // finds the same first observation as a scan of the whole table for every
  // point, without its unknowns x observations tests.
  std::vector<int> start(static_cast<std::size_t>(points) + 2, 0);
  for (int j = 1; j <= n; ++j) {
    ++start[net.fromPoint[j] + 1];
    if (net.toPoint[j] != net.fromPoint[j]) ++start[net.toPoint[j] + 1];
  }
  for (int p = 0; p <= points; ++p) start[p + 1] += start[p];
  std::vector<int> incident(static_cast<std::size_t>(start[points + 1]));
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int j = 1; j <= n; ++j) {
    incident[fill[net.fromPoint[j]]++] = j;
    if (net.toPoint[j] != net.fromPoint[j]) incident[fill[net.toPoint[j]]++] = j;
  }

  for (int p = net.knownCount + 1; p <= points; ++p) {
    for (int e = start[p]; e < start[p + 1]; ++e) {
      const int j = incident[e];
      if (net.fromPoint[j] == p && net.toPoint[j] < p) {
        net.elevation[p] = net.elevation[net.toPoint[j]] - net.observedDifference[j];
        break;
      }
      if (net.toPoint[j] == p && net.fromPoint[j] < p) {
        net.elevation[p] = net.elevation[net.fromPoint[j]] + net.observedDifference[j];
        break;
      }
    }
  }
  appendApproximateSection(report, net);
}

void appendApproximateSection(AdjustmentReport& report, const LevelingNetwork& net) {
  report.title("近拟坐标");
  for (int p = net.knownCount + 1; p <= net.pointCount; ++p) {
    report.appendNumber(p);
    report.append("   ");
    report.append(net.pointName[p]);
    report.append("   ");
    report.appendNumber(net.elevation[p]);
    report.endLine();
  }
}

}  // namespace levelnet
