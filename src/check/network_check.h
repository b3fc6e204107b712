// The data checks a surveyor runs before trusting an adjustment: misclosures
// against the tolerances of the leveling grade, the chi-square test of the
// variance factor, and the search for a blunder in the residuals.
#pragma once

#include <string>

#include "network/leveling_network.h"

namespace levelnet {

struct CheckOptions {
  std::string grade;    // "", "二等", "三等", "四等" or "等外"
  std::string terrain;  // "", "平原" or "山区" (for 三等 and 四等; plains when empty)
  bool sigmaGiven = false;
  double sigmaKm = 0.0;  // a-priori standard error per km, mm
};

// Tolerance coefficient c of +-c sqrt(L) mm (L in km) for a grade and
// terrain; 0 for no grade. Throws InputError for an unknown grade or terrain.
double toleranceCoefficient(const std::string& grade, const std::string& terrain);

// Whether a misclosure (mm) lies within +-coefficient sqrt(L) mm. The
// misclosure is compared as the report shows it, to 0.1 mm.
bool withinTolerance(double misclosureMm, double lengthKm, double coefficient);

// The a-priori standard error per km of a grade (mm): 二等 2.0, 三等 6.0, 四等
// 10.0; 0 where the grade has none (等外, no grade).
double defaultSigmaKm(const std::string& grade);

struct CheckOutcome {
  std::string report;  // UTF-8, lines end in "\r\n"
  bool passed = true;  // every tolerance and test passed, no blunder suspected
};

// Checks a gathered network (the same network Adjust would run). Throws
// InputError for bad options or a network the adjustment refuses.
CheckOutcome checkNetwork(const LevelingNetwork& net, const CheckOptions& options, const std::string& fileName);

}  // namespace levelnet
