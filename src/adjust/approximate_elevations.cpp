#include <vector>

#include "adjust/phases.h"

namespace levelnet {

void computeApproximateElevations(AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  const int n = net.observationCount;
  const int points = net.pointCount;
  r.approximateElevations = net.elevation;

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

  std::vector<double>& h = r.approximateElevations;
  for (int p = net.knownCount + 1; p <= points; ++p) {
    for (int e = start[p]; e < start[p + 1]; ++e) {
      const int j = incident[e];
      if (net.fromPoint[j] == p && net.toPoint[j] < p) {
        h[p] = h[net.toPoint[j]] - net.observedDifference[j];
        break;
      }
      if (net.toPoint[j] == p && net.fromPoint[j] < p) {
        h[p] = h[net.fromPoint[j]] + net.observedDifference[j];
        break;
      }
    }
  }
}

}  // namespace levelnet
