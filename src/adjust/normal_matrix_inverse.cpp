#include "adjust/normal_matrix_inverse.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "network/errors.h"
#include "network/leveling_network.h"

namespace levelnet {

namespace {

[[noreturn]] void noUniqueSolution(int i, const LevelingNetwork& net) {
  throw AdjustmentError("法方程没有唯一解：约化到第 " + std::to_string(i) + " 个未知数（待定点“" +
                        net.pointName[net.knownCount + i] + "”）时主元为零或不是有限数");
}

// The last column j in from..t with values[j - base] != 0, or from - 1.
int lastNonZero(const double* values, int base, int from, int t) {
  int j = t;
  while (j >= from && values[j - base] == 0.0) --j;
  return j;
}

// Columns of the right half (and elements of the lines of Q) formed together:
// their part of the rows the reduction and the back substitution reach
// from one row stays in the cache.
constexpr int kColumnBand = 256;

// One term of a row update: r times the first `length` values of `source`.
struct RowTerm {
  const double* source;
  double r;
  int length;
};

// Adds the terms to `target` in their order: element c receives
// r * source[c] of every term whose length exceeds c, one multiplication and
// one addition each, in the order of `terms`. Four terms go through the
// target at once (each element still gets them one after the other), so
// the target is read and written once per four terms instead of once per
// term.
// The machine's wider vector units are used where it has them; the
// operations on each element, and so the results, are the same with every
// width. Not under ThreadSanitizer: the clones' resolver runs while the
// program is relocated, before the sanitizer's run time is set up.
#if defined(__x86_64__) && defined(__linux__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(__SANITIZE_THREAD__)
#define LEVELNET_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define LEVELNET_VECTOR_CLONES
#endif

LEVELNET_VECTOR_CLONES void addTerms(double* __restrict target, const std::vector<RowTerm>& terms) {
  const std::size_t count = terms.size();
  std::size_t g = 0;
  for (; g + 4 <= count; g += 4) {
    const RowTerm* group = terms.data() + g;
    const int common = std::min(std::min(group[0].length, group[1].length), std::min(group[2].length, group[3].length));
    const double* __restrict s0 = group[0].source;
    const double* __restrict s1 = group[1].source;
    const double* __restrict s2 = group[2].source;
    const double* __restrict s3 = group[3].source;
    const double r0 = group[0].r, r1 = group[1].r, r2 = group[2].r, r3 = group[3].r;
    for (int m = 0; m < common; ++m) target[m] = (((target[m] + r0 * s0[m]) + r1 * s1[m]) + r2 * s2[m]) + r3 * s3[m];
    // Beyond the shortest, each term alone, still in their order.
    for (int q = 0; q < 4; ++q) {
      const double* __restrict sq = group[q].source;
      const double rq = group[q].r;
      for (int m = common; m < group[q].length; ++m) target[m] = target[m] + rq * sq[m];
    }
  }
  for (; g < count; ++g) {
    const double* __restrict sq = terms[g].source;
    const double rq = terms[g].r;
    for (int m = 0; m < terms[g].length; ++m) target[m] = target[m] + rq * sq[m];
  }
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
//
// The order of the work:
// 1. The left half (columns 1..t) is reduced first: its elements and the
//    factors R(k, i) = -A(k, i) / A(k, k) depend on nothing in the right
//    half. The non-zero factors are kept in a list (one per non-zero of the
//    reduced upper triangle); R itself is never stored, each R(i, j) is the
//    very number the plain algorithm stores.
// 2. Column t + m of the right half depends only on the factors and on
//    column t + m above it, and element m of every line of Q only on the
//    factors and on column t + m. So the right half and Q are
//    formed a band of columns at a time (kColumnBand of them): the reduction
//    down the rows, then the back substitution up the rows, with the band's
//    part of the rows touched lately still in the cache.
// 3. Line i of Q takes the place of row i of the reduced matrix: row i's
//    factors are in the list, and of its right half only columns of this
//    band or earlier ones are overwritten, which no later step reads. The
//    solver needs t x (t + 1) numbers in all, N's block.
Cofactors invertNormalMatrix(AugmentedRows& normal, const LevelingNetwork& net) {
  const int t = net.parameterCount;
  AugmentedRows& A = normal;
  const std::size_t stride = static_cast<std::size_t>(t) + 1;

  // first[j]: the first row with a non-zero in column j of N. The reduction
  // never makes an element above it non-zero (a row k adds to column j only
  // where its own element in column j is non-zero), so rows before it need
  // not be looked at.
  std::vector<int> first(stride, 0);
  for (int j = 1; j <= t; ++j) first[j] = j;
  for (int k = 1; k <= t; ++k) {
    const double* ak = A.row(k);
    for (int j = k + 1; j <= t; ++j)
      if (ak[j - k] != 0.0 && first[j] > k) first[j] = k;
  }

  // 1. The left half. For row i: the rows k that reduce it, k descending,
  // with R(k, i), in downStart[i]..downStart[i + 1].
  std::vector<double> pivots(stride, 0.0);
  std::vector<int> hiA(stride, 0);  // last column (of 1..t) where the reduced row is non-zero
  std::vector<std::size_t> downStart(stride + 1, 0);
  std::vector<int> downRow;
  std::vector<double> downFactor;
  std::vector<RowTerm> terms;
  for (int i = 1; i <= t; ++i) {
    double* ai = A.row(i);
    terms.clear();
    downStart[i] = downRow.size();
    for (int k = i - 1; k >= first[i]; --k) {
      const double r = -A.left(k, i) / pivots[k];  // R(k, i)
      if (r == 0.0) continue;
      downRow.push_back(k);
      downFactor.push_back(r);
      // Columns i..hiA[k]: A(i, j) at ai[j - i], A(k, j) at ak[j - k].
      terms.push_back({A.row(k) + (i - k), r, hiA[k] - i + 1});
    }
    addTerms(ai, terms);
    const double pivot = ai[0];
    // A positive definite matrix has positive pivots; a subnormal one has
    // lost its digits, and dividing by it would overflow.
    if (!std::isnormal(pivot) || pivot < 0.0) noUniqueSolution(i, net);
    pivots[i] = pivot;
    hiA[i] = lastNonZero(ai, i, i, t);
  }
  downStart[static_cast<std::size_t>(t) + 1] = downRow.size();
  // For row i: the columns j > i of the back substitution, j descending,
  // with R(i, j), in upStart[i]..upStart[i + 1].
  std::vector<std::size_t> upStart(stride + 1, 0);
  std::vector<int> upColumn;
  std::vector<double> upFactor;
  for (int i = 1; i <= t; ++i) {
    const double* ai = A.row(i);
    upStart[i] = upColumn.size();
    for (int j = hiA[i]; j >= i + 1; --j) {
      const double r = -ai[j - i] / pivots[i];  // R(i, j)
      if (r == 0.0) continue;
      upColumn.push_back(j);
      upFactor.push_back(r);
    }
  }
  upStart[static_cast<std::size_t>(t) + 1] = upColumn.size();

  // Right half: A(i, t + m) at rightOf(i)[m - 1], for m <= i.
  auto rightOf = [&](int i) { return A.row(i) + (t - i + 1); };
  for (int i = 1; i <= t; ++i) rightOf(i)[i - 1] = -1.0;

  std::vector<double> band(kColumnBand);
  for (int b0 = 0; b0 < t; b0 += kColumnBand) {
    const int b1 = std::min(t, b0 + kColumnBand);  // columns t + m for m - 1 in b0..b1-1
    // 2. The right half's reduction in this band, rows b0 + 1..t (rows
    // above have no element in it).
    for (int i = b0 + 1; i <= t; ++i) {
      terms.clear();
      for (std::size_t e = downStart[i]; e < downStart[i + 1]; ++e) {
        const int k = downRow[e];
        const int length = std::min(k, b1) - b0;  // row k of the right half is zero beyond t + k
        if (length > 0) terms.push_back({rightOf(k) + b0, downFactor[e], length});
      }
      addTerms(rightOf(i) + b0, terms);
    }
    // 3. The back substitution in this band: element m of lines t..1.
    const int width = b1 - b0;
    for (int i = t; i >= 1; --i) {
      std::fill(band.begin(), band.begin() + width, 0.0);
      double* __restrict qi = band.data();  // Q(b0 + 1..b1, i)
      terms.clear();
      for (std::size_t e = upStart[i]; e < upStart[i + 1]; ++e)
        terms.push_back({A.row(upColumn[e]) + b0, upFactor[e], width});  // line j of Q, in the place of row j
      addTerms(qi, terms);
      // R(i, t + m) is zero for m > i.
      const double pivot = pivots[i];
      const double* __restrict rightPart = rightOf(i) + b0;
      const int present = std::min(i, b1) - b0;
      for (int m = 0; m < present; ++m) qi[m] = qi[m] + -rightPart[m] / pivot;
      std::copy(band.begin(), band.begin() + width, A.row(i) + b0);
    }
  }
  return Cofactors(t, stride, A.take());
}

}  // namespace levelnet
