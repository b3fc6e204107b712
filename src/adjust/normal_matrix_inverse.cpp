#include "adjust/normal_matrix_inverse.h"

#include <cmath>
#include <vector>

#include "network/input_error.h"
#include "network/leveling_network.h"

namespace levelnet {

namespace {

[[noreturn]] void noUniqueSolution(int i, const LevelingNetwork& net) {
  throw InputError("法方程没有唯一解：约化到第 " + std::to_string(i) + " 个未知数（待定点“" +
                   net.pointName[net.knownCount + i] + "”）时主元为零或不是有限数");
}

// The last column j in from..t with values[j - base] != 0, or from - 1.
int lastNonZero(const double* values, int base, int from, int t) {
  int j = t;
  while (j >= from && values[j - base] == 0.0) --j;
  return j;
}

}  // namespace

// The plain algorithm, for the record of what each element receives:
//   A(i, t + i) = -1;  R(1, j) = -A(1, j) / A(1, 1);
//   for i = 2..t, j = i..2t: for k = i-1 down to 1: A(i, j) += R(k, i) * A(k, j);
//                            then R(i, j) = -A(i, j) / A(i, i)
//   Q = 0; for m = 1..t, i = t down to 1: for j = t down to i+1: Q(m, i) += Q(m, j) * R(i, j);
//                                         then Q(m, i) += R(i, t + m)
// Below, the loops are interchanged so that the innermost loop runs along a
// row (for every element the terms still come in the same order), and terms
// with a factor that is exactly zero are skipped: adding a zero product does
// not change a sum. The inner loops then stream over contiguous memory and
// the compiler may vectorise them; no fused multiply-add is allowed, so each
// element gets exactly one multiplication and one addition per term.
Cofactors invertNormalMatrix(AugmentedRows& normal, const LevelingNetwork& net) {
  const int t = net.parameterCount;
  AugmentedRows& A = normal;
  AugmentedRows R(t);  // R(i, j) = -a(i, j) / a(i, i)

  for (int i = 1; i <= t; ++i) A.right(i, i) = -1.0;

  // hiA[k]: last column (of 1..t) where the reduced row k of A is non-zero.
  std::vector<int> hiA(static_cast<std::size_t>(t) + 1, 0);
  for (int i = 1; i <= t; ++i) {
    double* ai = A.row(i);
    for (int k = i - 1; k >= 1; --k) {
      const double r = R.left(k, i);
      if (r == 0.0) continue;
      const double* ak = A.row(k);
      // Columns i..t: A(i, j) at ai[j - i], A(k, j) at ak[j - k].
      double* __restrict dst = ai;
      const double* __restrict src = ak + (i - k);
      const int leftCount = hiA[k] - i + 1;
      for (int c = 0; c < leftCount; ++c) dst[c] = dst[c] + r * src[c];
      // Columns t+1..t+k (row k of the right half is zero beyond t+k).
      double* __restrict dstRight = ai + (t - i + 1);
      const double* __restrict srcRight = ak + (t - k + 1);
      for (int m = 0; m < k; ++m) dstRight[m] = dstRight[m] + r * srcRight[m];
    }
    const double pivot = ai[0];
    // A positive definite matrix has positive pivots; a subnormal one has
    // lost its digits, and dividing by it would overflow.
    if (!std::isnormal(pivot) || pivot < 0.0) noUniqueSolution(i, net);
    double* __restrict ri = R.row(i);
    for (int c = 0; c <= t; ++c) ri[c] = -ai[c] / pivot;
    hiA[i] = lastNonZero(ai, i, i, t);
  }
  A.release();  // nothing reads the reduced rows after this

  Cofactors Q(t);
  for (int i = t; i >= 1; --i) {
    double* __restrict qi = Q.line(i);  // Q(1..t, i)
    const double* ri = R.row(i);
    for (int j = lastNonZero(ri, i, i + 1, t); j >= i + 1; --j) {
      const double r = ri[j - i];
      if (r == 0.0) continue;
      const double* __restrict qj = Q.line(j);
      for (int m = 0; m < t; ++m) qi[m] = qi[m] + qj[m] * r;
    }
    // R(i, t + m) is zero for m > i.
    const double* rightPart = ri + (t - i + 1);
    for (int m = 0; m < i; ++m) qi[m] = qi[m] + rightPart[m];
  }
  R.release();
  return Q;
}

}  // namespace levelnet
