// One adjustment run: the network, every working array, and the driver that
// runs the phases in order and builds the report.
#pragma once

#include <string>
#include <vector>

#include "adjust/jsffc.h"
#include "network/leveling_network.h"
#include "network/text_table.h"

namespace levelnet {

// The error equation of one observation: coefficient +1 for the parameter of
// its to point and -1 for that of its from point, where they are unknown
// points (0 = no such parameter); every other coefficient is 0.
struct ErrorEquation {
  int toParameter = 0;
  int fromParameter = 0;
  // Coefficient of parameter j (the from coefficient is written last).
  double operator[](int j) const { return j == fromParameter ? -1.0 : j == toParameter ? 1.0 : 0.0; }
};

// The state of one run, created anew by every run. n = ObservationCount,
// t = ParameterCount; arrays run 0..n or 0..t with element 0 unused.
struct AdjustmentRun {
  explicit AdjustmentRun(LevelingNetwork network) : net(std::move(network)) {}

  LevelingNetwork net;  // Elevation becomes approximate, then adjusted

  std::vector<ErrorEquation> CoefficientMatrix;  // B, one row per observation
  std::vector<double> ConstantTerm;              // l, mm
  std::vector<double> WeightMatrix;              // P, the diagonal: UnitWeightLength / RouteLength
  AugmentedRows NormalMatrix;                    // N, then reduced in place by JSFFC
  std::vector<double> NormalConstant;            // W = B^T P l, mm
  AugmentedRows ReductionMatrix;                 // R(i, j) = -a(i, j) / a(i, i)
  Cofactors CofactorMatrix;                      // Q = N^-1
  std::vector<double> ParameterCorrection;       // x = -Q W, mm
  std::vector<double> AdjustedDiff;              // m
  std::vector<double> ObservationCorrection;     // mm, rounded half up to 0.1 mm
  double PvvSum = 0.0;                           // [pvv], mm^2
  double UnitWeightError = 0.0;                  // mu, mm, rounded half up to 0.001 mm
  std::vector<double> PointError;                // mm

  // Runs every phase and returns the report.
  std::string execute();
};

// What Adjust delivers: the report, and the duplicate point names the user
// must be warned of (the report follows the first row of each).
struct AdjustmentOutcome {
  std::string report;
  std::vector<DuplicateName> duplicateNames;
};

// The engine side of Adjust: an empty known-point field gives an empty
// report and changes nothing; otherwise the fields and tables are checked
// and gathered and the whole adjustment is run; then the empty elevation
// cells receive "0". Throws InputError, with nothing changed, when the input
// cannot be adjusted (out of memory included).
AdjustmentOutcome adjustNetwork(const ParameterFields& fields, TextTable& points, const TextTable& observations);

// The report of adjustNetwork alone.
std::string runAdjustment(const ParameterFields& fields, TextTable& points, const TextTable& observations);

}  // namespace levelnet
