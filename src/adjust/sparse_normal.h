// The normal equations of a large network through a sparse factorisation:
// N = P^T L D L^T P in a fill-reducing order (approximate minimum degree),
// the solution of N x = b, and the selected inverse: the elements of
// Q = N^-1 on the pattern of the factor (every diagonal element and every
// pair of unknown points an observation joins) by the Takahashi equations,
// without forming Q. Time and memory grow with the factor's non-zeros (about
// t log t on a network that lies in the plane), not with t^2.
//
// The numbers are those of another order of operations than the textbook
// solver's: equal to them in exact arithmetic, within rounding error in
// double. results_mode.h tells when that changes a printed digit.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace levelnet {

struct AdjustmentResults;

class SparseNormalSolver {
 public:
  // Factorises N = B^T P B of the results' error equations and weights.
  // Throws InputError when a pivot is not a positive normal number (the
  // normal equations then have no unique solution), or when memory runs out.
  explicit SparseNormalSolver(const AdjustmentResults& r);
  ~SparseNormalSolver();
  SparseNormalSolver(const SparseNormalSolver&) = delete;
  SparseNormalSolver& operator=(const SparseNormalSolver&) = delete;

  int size() const;
  // N^-1 b for b(1..t) (element 0 unused, as is the result's).
  std::vector<double> solve(const std::vector<double>& b) const;
  // N v for v(1..t), with N formed as the solver has it.
  std::vector<double> multiply(const std::vector<double>& v) const;
  // |N| v: N with every element made non-negative.
  std::vector<double> multiplyAbsolute(const std::vector<double>& v) const;

  // Forms the selected inverse; the cofactors below need it.
  void invertSelected();
  // Q(i, i), 1 <= i <= t.
  double diagonalCofactor(int i) const;
  // Q(i, j) for i != j joined by an observation (any pair on the factor's
  // pattern).
  double cofactor(int i, int j) const;
  // Gives the selected inverse's memory back; the factor and the solves
  // stay.
  void releaseSelectedInverse();

  // Non-zeros of the factor L below its diagonal.
  std::size_t factorNonZeros() const;

 private:
  struct Factor;
  std::unique_ptr<Factor> factor_;
};

}  // namespace levelnet
