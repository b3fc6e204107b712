// The reference frame of an epoch: the free-network (拟稳) adjustment on the
// reference benchmarks, the global congruence test of their heights between
// two epochs, and the localisation of the benchmark(s) that moved.
//
// The free network is computed with the adjustment pipeline itself: the
// epoch is adjusted with one reference point held at its first-epoch height
// (a minimal constraint, which leaves the corrections, [pvv] and f of the
// free network), and the solution is then moved to the datum "sum of the
// reference points' height corrections is zero" by the S-transformation
// x_f = x - 1 mean_R(x - H1), Q_f = S Q S^T with S = I - 1 e_R^T / k. Only
// the cofactors of the reference points are needed, k - 1 solves with the
// factor of N.
#pragma once

#include <string>
#include <vector>

#include "network/leveling_network.h"

namespace levelnet::monitor {

// A small symmetric matrix, row by row.
using Matrix = std::vector<std::vector<double>>;

struct FreeNetworkSolution {
  // Every point of the epoch, by point number of the network given (1..);
  // heights in m in the free datum.
  std::vector<double> heights;
  // The reference points in the order given: heights (m) and their
  // cofactor matrix in the free datum (mm² per unit-weight variance).
  std::vector<double> referenceHeights;
  Matrix referenceCofactors;
  double pvv = 0.0;    // mm², from the unrounded corrections
  int redundancy = 0;  // f = n - (points - 1)
  // False when the epoch has no redundant observation as a free network:
  // then nothing above but `redundancy` holds, and the benchmarks of the
  // epoch cannot be tested (the epoch is still adjusted on them).
  bool available = true;
};

// The network with `known` (point numbers of `net`) as its known points at
// `heights` (m), in that order, and every other point unknown in its order.
// Throws InputError naming `file` when a point is tied to none of them.
LevelingNetwork withKnownPoints(const LevelingNetwork& net, const std::vector<int>& known,
                                const std::vector<double>& heights, const std::string& file);

// The free-network adjustment of `net` on the reference points `references`
// (point numbers of `net`, at least one) with their first-epoch heights.
// Without a redundant observation as a free network the solution is not
// available (see above). Throws InputError naming `file` when a point is
// tied to no reference point, AdjustmentError as the pipeline.
FreeNetworkSolution freeNetworkAdjustment(const LevelingNetwork& net, const std::vector<int>& references,
                                          const std::vector<double>& firstHeights, const std::string& file);

// The global congruence test of the reference points `subset` (indices into
// d) between two epochs: d the differences of their free-network heights
// (mm), Qdd the sum of the two epochs' cofactor matrices, pvv and f the sums
// of both epochs'. Omega = d_A' Q_A'^+ d_A' after moving both to the datum
// of the subset, T = Omega / (h s²), h = |A| - 1, s² = pvv / f, against
// F(h, f) at 5 %.
struct CongruenceTest {
  bool done = false;
  std::string notDone;  // why it could not be done
  double omega = 0.0;   // mm²
  int h = 0;
  int f = 0;
  double pooledVariance = 0.0;  // mm²
  double statistic = 0.0;
  double critical = 0.0;
  bool passed = true;
};
CongruenceTest congruenceTest(const std::vector<double>& d, const Matrix& Qdd, const std::vector<int>& subset,
                              double pvv, int f);

// The upper 5 % point of F(h, f).
double fQuantile95(int h, int f);

// The moved reference points found by the mean-gap method: while the test of
// the remaining points fails and more than two remain, the point whose
// removal lowers Omega most is taken out. Shifts are against the datum of the
// stable points.
struct ReferenceShift {
  int index = 0;       // into d
  double shift = 0.0;  // mm
  double sigma = 0.0;  // mm
};
struct StabilityVerdict {
  CongruenceTest global;               // all reference points
  std::vector<CongruenceTest> steps;   // after each removal
  std::vector<int> stable;             // indices of the points the frame keeps
  std::vector<int> moved;              // indices found moved, in order of removal
  std::vector<ReferenceShift> shifts;  // every reference point against the stable ones
  bool undetermined = false;           // the last two still disagree: which moved cannot be told
};
StabilityVerdict localiseMovement(const std::vector<double>& d, const Matrix& Qdd, double pvv, int f);

// The pseudo-inverse of a symmetric positive semi-definite matrix whose null
// space is spanned by the vector of ones: (M + u u^T)^-1 - u u^T, u = 1/sqrt(m).
Matrix pseudoInverseOnesNull(const Matrix& M);

}  // namespace levelnet::monitor
