// One adjustment run: the network, every working array, and the driver that
// runs the phases in order and builds the report.
#pragma once

#include <string>
#include <vector>

#include "adjust/normal_matrix_inverse.h"
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

// The state of one run, created anew by every run. n = observationCount,
// t = parameterCount; arrays run 0..n or 0..t with element 0 unused.
struct AdjustmentRun {
  explicit AdjustmentRun(LevelingNetwork network) : net(std::move(network)) {}

  LevelingNetwork net;  // elevation becomes approximate, then adjusted

  std::vector<ErrorEquation> errorEquations;  // B, one row per observation
  std::vector<double> constantTerms;              // l, mm
  std::vector<double> weights;              // P, the diagonal: unitWeightLength / routeLength
  AugmentedRows normalMatrix;                    // N, then reduced in place by invertNormalMatrix
  std::vector<double> normalConstants;            // W = B^T P l, mm
  AugmentedRows reductionMatrix;                 // R(i, j) = -a(i, j) / a(i, i)
  Cofactors cofactors;                      // Q = N^-1
  std::vector<double> parameterCorrections;       // x = -Q W, mm
  std::vector<double> adjustedDifferences;              // m
  std::vector<double> corrections;     // mm, rounded half up to 0.1 mm
  double pvv = 0.0;                           // [pvv], mm^2
  double unitWeightError = 0.0;                  // mu, mm, rounded half up to 0.001 mm
  std::vector<double> pointErrors;                // mm

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
