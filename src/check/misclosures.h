// Misclosures of an independent set of closed loops and of routes between
// two known points, found from the observation graph.
#pragma once

#include <vector>

#include "network/leveling_network.h"

namespace levelnet {

// One loop or route. A route runs from one known point to another; a loop
// comes back to the point it started from.
struct Misclosure {
  bool route = false;
  std::vector<int> points;    // point numbers in the order passed
  double lengthKm = 0.0;      // sum of the route lengths
  double misclosureMm = 0.0;  // observed sum minus what the known elevations require
};

// A fundamental cycle basis of the observation graph with all known points
// joined through a common datum (their given elevations): the spanning tree
// holds the shortest routes (by length) from the known points, and every
// observation outside it closes one loop, or one route between two known
// points when its cycle passes through the datum. There are n - t of them,
// in observation order. Reads the gathered network (no adjustment needed).
std::vector<Misclosure> findMisclosures(const LevelingNetwork& net);

// The total standard error of leveling per km that the leveling standards
// compute from N misclosures: M_W = sqrt([WW/L] / N), W in mm and L in km,
// so M_W is in mm (per sqrt km). Each W/sqrt(L) has the standard error per
// km as its standard deviation, whichever loops are taken. 0 for none.
double totalErrorPerKm(const std::vector<Misclosure>& misclosures);

// The standards apply M_W from this many misclosures on.
inline constexpr int kTotalErrorMinimumCount = 20;

}  // namespace levelnet
