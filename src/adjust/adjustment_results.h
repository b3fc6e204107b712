// The results model of one adjustment: everything the phases compute, in
// the units and with the rounding the report shows. Phases fill it; they
// write no text. The report writer, the data checks and every other output
// read it.
#pragma once

#include <memory>
#include <vector>

#include "adjust/normal_matrix_inverse.h"
#include "network/leveling_network.h"

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

// n = observationCount, t = parameterCount, by point p = 1..pointCount;
// every array runs 0..n, 0..t or 0..pointCount with element 0 unused.
class SparseNormalSolver;

struct AdjustmentResults {
  explicit AdjustmentResults(LevelingNetwork network) : net(std::move(network)) {}

  LevelingNetwork net;  // as gathered from the fields and cells, never changed

  std::vector<double> approximateElevations;  // m, by point; known points keep their given elevation
  // The normal equations in their compact form: N = B^T P B and W = B^T P l
  // are formed from these (formNormalMatrix), never stored twice.
  std::vector<ErrorEquation> errorEquations;  // B, one row per observation
  std::vector<double> constantTerms;          // l, mm
  std::vector<double> weights;                // the diagonal of P: unitWeightLength / routeLength
  std::vector<double> normalConstants;        // W = B^T P l, mm
  Cofactors cofactors;                        // Q = N^-1 in full: the textbook solver only, else empty
  // The cofactors every output but the textbook report needs, from either
  // solver: Q(i, i) by parameter 1..t, and for each observation 1..n
  // Q(i, j) + Q(j, i) of its to and from parameters (0 when an end is a
  // known point).
  std::vector<double> pointCofactors;
  std::vector<double> crossCofactors;
  // The sparse path only: the condition number ||N|| ||N^-1|| in the
  // maximum-row-sum norm, exact: N is a symmetric M-matrix (positive
  // diagonal, non-positive elsewhere, every point tied to a known one), so
  // N^-1 has no negative element and ||N^-1|| is the largest element of
  // N^-1 times a vector of ones. 0 from the textbook solver.
  double normalCondition = 0.0;
  // The sparse path only: its factorisation of N, kept for the solves the
  // check makes with it (N^-1 a^T of an observation), so that they are the
  // solves of this very factor and no second one is computed. Null from the
  // textbook solver.
  std::shared_ptr<const SparseNormalSolver> sparseSolver;
  std::vector<double> parameterCorrections;  // x = -Q W, mm
  std::vector<double> adjustedElevations;    // m, by point
  std::vector<double> adjustedDifferences;   // m
  std::vector<double> corrections;           // v, mm, rounded half up to 0.1 mm
  double pvv = 0.0;                          // [pvv] from the rounded corrections, mm^2
  double unitWeightError = 0.0;              // mu, mm, rounded half up to 0.001 mm
  double errorPerKilometre = 0.0;            // mu / sqrt(unitWeightLength), mm
  std::vector<double> pointErrors;           // M of each unknown point, mm, by parameter 1..t
};

}  // namespace levelnet
