#include "adjust/approximate_elevations.h"

#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

void approximateElevations(AdjustmentRun& run, AdjustmentReport& report) {
  LevelingNetwork& net = run.net;
  const int n = net.ObservationCount;
  const int points = net.PointCount;

  // The observations of each point in ascending order. Looking only at these
  // finds the same first observation as a scan of the whole table for every
  // point, without its unknowns x observations tests.
  std::vector<int> start(static_cast<std::size_t>(points) + 2, 0);
  for (int j = 1; j <= n; ++j) {
    ++start[net.FromPoint[j] + 1];
    if (net.ToPoint[j] != net.FromPoint[j]) ++start[net.ToPoint[j] + 1];
  }
  for (int p = 0; p <= points; ++p) start[p + 1] += start[p];
  std::vector<int> incident(static_cast<std::size_t>(start[points + 1]));
  std::vector<int> fill(start.begin(), start.end() - 1);
  for (int j = 1; j <= n; ++j) {
    incident[fill[net.FromPoint[j]]++] = j;
    if (net.ToPoint[j] != net.FromPoint[j]) incident[fill[net.ToPoint[j]]++] = j;
  }

  for (int p = net.KnownCount + 1; p <= points; ++p) {
    for (int e = start[p]; e < start[p + 1]; ++e) {
      const int j = incident[e];
      if (net.FromPoint[j] == p && net.ToPoint[j] < p) {
        net.Elevation[p] = net.Elevation[net.ToPoint[j]] - net.ObservedDiff[j];
        break;
      }
      if (net.ToPoint[j] == p && net.FromPoint[j] < p) {
        net.Elevation[p] = net.Elevation[net.FromPoint[j]] + net.ObservedDiff[j];
        break;
      }
    }
  }
  appendApproximateSection(report, net);
}

void appendApproximateSection(AdjustmentReport& report, const LevelingNetwork& net) {
  report.title("近拟坐标");
  for (int p = net.KnownCount + 1; p <= net.PointCount; ++p) {
    report.appendNumber(p);
    report.append("   ");
    report.append(net.PointName[p]);
    report.append("   ");
    report.appendNumber(net.Elevation[p]);
    report.endLine();
  }
}

}  // namespace levelnet
