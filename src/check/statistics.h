// The global test of the variance factor, the critical values of the
// blunder tests, and the residual analysis of an adjusted network: the search
// for a blunder and the internal reliability of every observation.
#pragma once

#include <vector>

namespace levelnet {

struct AdjustmentResults;

// Levels of the tests. The blunder search is built so that on a network
// without a blunder the chance of any false alarm, over all its
// observations together, is at most kFamilyLevel, whatever its size.
inline constexpr double kGlobalTestLevel = 0.05;  // chi-square test of the variance factor
inline constexpr double kFamilyLevel = 0.05;      // all blunder tests of one network together
inline constexpr double kDetectionPower = 0.80;   // of the minimal detectable bias
// An observation tied to no other takes no part in the search when its
// redundancy number is smaller: a blunder there barely shows in the
// residuals. Observations whose corrections are perfectly correlated
// (|rho| = 1 from Q_vv: a loop, a chain between two junctions) are one tied
// group and one test, each member in it whatever its own r.
inline constexpr double kUncheckedRedundancy = 0.01;
// Corrections (mm) this small are rounding of the computation, not of the
// data: a network whose every correction is within it closes exactly.
inline constexpr double kNoiseCorrection = 1e-6;
// Pope's tau test on this few redundant observations has a high false-alarm
// rate on the geometry of small networks: without an a-priori sigma it is
// reported as unreliable and does not fail the check alone.
inline constexpr int kUnreliableTauDof = 3;

// Quantile of the chi-square distribution on `dof` (>= 1) degrees of freedom
// at probability `p` (0 < p < 1).
double chiSquareQuantile(int dof, double p);

// The quantiles of the chi-square distribution at 0.025 and 0.975.
struct ChiSquareInterval {
  double lower = 0.0;
  double upper = 0.0;
};
ChiSquareInterval chiSquareInterval(int dof);

// Šidák's level per test, 1 - (1 - familyLevel)^(1/tests): `tests` (>= 1)
// tests at this level, however they are correlated (two-sided tests of
// jointly normal statistics), give a false alarm with a chance of at most
// familyLevel.
double sidakLevel(double familyLevel, int tests);

// Critical |w| of Baarda's w-test at the two-sided level alpha0:
// z(1 - alpha0/2) of the standard normal distribution.
double normalCriticalValue(double alpha0);

// Student's t(dof, 1 - alpha0/2), dof >= 1.
double studentQuantile(int dof, double alpha0);

// Critical |tau| of Pope's tau test on f = `dof` (>= 2) degrees of freedom at
// the two-sided level alpha0:
// tau_c = sqrt(f) t / sqrt(f - 1 + t^2), t = t(f - 1, 1 - alpha0/2).
double tauCriticalValue(int dof, double alpha0);

// Baarda's non-centrality parameter lambda0 = (z(1 - alpha0/2) + z(power))^2:
// a blunder that shifts the expected w by sqrt(lambda0) is found with the
// given power by a test at the level alpha0.
double noncentralityParameter(double alpha0, double power);

// The chi-square test of [pvv] / sigma0^2 on n - t degrees of freedom at
// kGlobalTestLevel. An expected sigma0 (--sigma-km) is tested two-sided; the
// sigma0 of a grade is a limit, so only data worse than it fail: one-sided,
// upper tail.
struct GlobalTest {
  double sigma0 = 0.0;  // a-priori standard error of unit weight, mm
  double pvv = 0.0;     // from the unrounded corrections, mm^2
  int dof = 0;
  double statistic = 0.0;  // pvv / sigma0^2
  bool upperTailOnly = false;
  double lower = 0.0;  // chi-square at 0.025: the lower bound of the two-sided test
  double upper = 0.0;  // chi-square at 0.975 (two-sided) or at 0.95 (one-sided)
  bool passed = false;
  // One-sided only: the statistic lies below chi-square at 0.025, so the
  // data are significantly better than the limit.
  bool farBetter = false;
};

GlobalTest globalTest(const AdjustmentResults& run, double sigma0, bool upperTailOnly = false);

// Which test the blunder search ran.
enum class BlunderTest {
  baardaW,  // w = v / (sigma0 sqrt(qvv)) against the normal distribution
  popeTau,  // tau = v / (s sqrt(qvv)) against the tau distribution
  none,     // no test can find a blunder (too few redundant observations)
};

// One observation's residual figures.
struct Residual {
  double v = 0.0;             // correction, mm, unrounded
  double p = 0.0;             // weight
  double qvv = 0.0;           // cofactor of the correction: 1/p - a Q a^T
  double redundancy = 0.0;    // r = p qvv
  bool standardised = false;  // false where qvv is not positive (r = 0)
  double w = 0.0;             // v / (scale sqrt(qvv)): Baarda's w or Pope's tau
  bool unchecked = false;     // tied to none and r < kUncheckedRedundancy: takes no part in the search
  int group = 0;              // the test it belongs to, 1..n'; 0 where unchecked
  // The redundancy of its test: r, or for a tied group the sum of its
  // members' r (a chain of sections is checked as one observation of its
  // whole length would be).
  double groupRedundancy = 0.0;
  bool suspected = false;  // in the flagged group
  double mdb = 0.0;        // minimal detectable bias, mm; 0 where unchecked
  // External reliability, where tested: the largest change of an adjusted
  // elevation that an undetected blunder of the size of the MDB causes,
  // |p MDB Q a^T| at its largest (mm), and the point (number) it is at;
  // the bias-to-noise ratio sqrt(lambda0 (1 - r) / r).
  double externalEffect = 0.0;
  int affectedPoint = 0;
  double biasToNoise = 0.0;
  // Above the critical value, but the correction lies within what the
  // rounding of the observed differences' texts alone can cause
  // (|v| <= roundingBound, mm): no evidence of a blunder.
  bool withinRounding = false;
  double roundingBound = 0.0;  // computed only for statistics above the critical value
};

struct ResidualAnalysis {
  double s = 0.0;  // a-posteriori standard error of unit weight, mm, unrounded
  BlunderTest test = BlunderTest::none;
  // The standard error of unit weight that w and the MDB are computed with:
  // sigma0 when known (w-test), else s (tau test).
  double scale = 0.0;
  int dof = 0;                 // n - t
  int tested = 0;              // observations in a tied group or with r >= kUncheckedRedundancy
  int testGroups = 0;          // n': the distinct tests among them, each tied group counted once
  double alpha0 = 0.0;         // level per test, sidakLevel(kFamilyLevel, testGroups)
  double student = 0.0;        // tau test: t(f - 1, 1 - alpha0/2)
  double critical = 0.0;       // critical |w| or |tau|
  double lambda0 = 0.0;        // noncentralityParameter(alpha0, kDetectionPower)
  std::vector<Residual> rows;  // 1..n, element 0 unused
  // The flagged observations in ascending order: the one with the largest
  // |w| above the critical value (and outside the rounding of the data) and
  // every one tied with it; empty for none.
  std::vector<int> suspected;
  // Every observation whose test lies above the critical value and is
  // evidence (not within the rounding of the data), ascending, and how many
  // distinct tests they make.
  std::vector<int> aboveCritical;
  int testsAboveCritical = 0;
  // The resolution of the data: known when the observed differences came
  // from text. roundingS is the standard error of unit weight (mm) that
  // the rounding of the texts alone gives on average (uniform rounding
  // errors, [p r d^2/12] / f); sFromRounding when s lies within what the
  // rounding alone produces (s^2 f / roundingS^2 below chi-square at 0.975):
  // s then tells the resolution of the data, not their precision.
  bool resolutionKnown = false;
  double roundingS = 0.0;
  bool sFromRounding = false;
};

// The largest correction (mm) of observation k that the rounding of the
// observed differences alone can cause: sum_j |R_kj| d_j / 2 with the
// redundancy matrix R = Q_vv P and d_j one unit of the last decimal of the
// j-th difference's text. Needs the network's differenceDecimals.
double roundingBound(const AdjustmentResults& run, int k);

// Needs a run that has been executed (corrections, weights, Q). With an
// a-priori standard error of unit weight `sigma0` (mm, > 0) the search is
// Baarda's w-test; without one (0) it is Pope's tau test with the
// a-posteriori s, which needs n - t >= 2 (with one redundant observation
// |tau| is always 1). Both run at Šidák's level over the n' distinct tests
// (tied groups counted once) and flag the largest |w| above the critical
// value together with its tied group. MDB = scale sqrt(lambda0 / (p r)) for
// every tested observation, with its external reliability. A statistic
// above the critical value whose correction lies within the rounding of the
// data is not flagged.
ResidualAnalysis analyseResiduals(const AdjustmentResults& run, double sigma0 = 0.0);

}  // namespace levelnet
