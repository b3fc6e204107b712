// The global test of the variance factor and the residual analysis of an
// adjusted network.
#pragma once

#include <vector>

namespace levelnet {

struct AdjustmentResults;

// Two-sided chi-square test at 95 % of [pvv] / sigma0^2 on `dof` degrees
// of freedom.
struct GlobalTest {
  double sigma0 = 0.0;  // a-priori standard error of unit weight, mm
  double pvv = 0.0;     // from the unrounded corrections, mm^2
  int dof = 0;
  double statistic = 0.0;  // pvv / sigma0^2
  double lower = 0.0;      // chi-square quantile at 0.025
  double upper = 0.0;      // and at 0.975
  bool passed = false;
};

// The quantiles of the chi-square distribution at 0.025 and 0.975.
struct ChiSquareInterval {
  double lower = 0.0;
  double upper = 0.0;
};
ChiSquareInterval chiSquareInterval(int dof);

GlobalTest globalTest(const AdjustmentResults& run, double sigma0);

// One observation's residual figures.
struct Residual {
  double v = 0.0;             // correction, mm, unrounded
  double p = 0.0;             // weight
  double qvv = 0.0;           // cofactor of the correction: 1/p - a Q a^T
  double redundancy = 0.0;    // r = p qvv
  bool standardised = false;  // false where qvv is not positive (r = 0)
  double w = 0.0;             // v / (scale sqrt(qvv))
  bool unchecked = false;     // r < 0.01: a blunder here cannot be seen
  bool suspected = false;     // the largest |w| above 3.29
};

struct ResidualAnalysis {
  double s = 0.0;      // a-posteriori standard error of unit weight, mm, unrounded
  double scale = 0.0;  // the standard error w is divided by: sigma0 when known, else s
  bool aPriori = false;
  std::vector<Residual> rows;  // 1..n, element 0 unused
  int suspected = 0;           // observation number, 0 for none
};

inline constexpr double kBlunderLimit = 3.29;
inline constexpr double kUncheckedRedundancy = 0.01;

// Needs a run that has been executed (corrections, weights, Q). With an
// a-priori standard error of unit weight `sigma0` (mm, > 0) the standardised
// residuals are Baarda's w = v / (sigma0 sqrt(qvv)); without one (0) they use
// s, and then |w| can never exceed sqrt(n - t): with few redundant
// observations no blunder can be flagged that way.
ResidualAnalysis analyseResiduals(const AdjustmentResults& run, double sigma0 = 0.0);

}  // namespace levelnet
