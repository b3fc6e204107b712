// The normal-equation solver: inverts the normal matrix N by reducing the
// augmented matrix [N | -I] row by row (Gauss's reduction relying on the
// symmetry of N, no pivoting) and back-substituting once per column of -I.
#pragma once

#include <cstddef>
#include <utility>

#include "adjust/large_array.h"

namespace levelnet {

struct LevelingNetwork;

// Rows 1..t of a t x 2t augmented matrix, holding only what the solver can
// read or make non-zero. Row i keeps columns i..t (the diagonal and the
// upper triangle of N; nothing left of the diagonal is ever read) followed by
// columns t+1..t+i of the right half: row i of -I reduced by rows 1..i-1
// has zeros in columns t+m for m > i, so those are not stored. Every row is
// t + 1 values long and the rows lie in one contiguous block.
class AugmentedRows {
 public:
  AugmentedRows() = default;
  explicit AugmentedRows(int t) : t_(t), data_(static_cast<std::size_t>(t) * (static_cast<std::size_t>(t) + 1)) {}

  int size() const { return t_; }
  // Element (i, j) for i <= j <= t.
  double& left(int i, int j) { return row(i)[j - i]; }
  double left(int i, int j) const { return row(i)[j - i]; }
  // Element (i, t + m) for 1 <= m <= i.
  double& right(int i, int m) { return row(i)[t_ - i + m]; }
  double right(int i, int m) const { return row(i)[t_ - i + m]; }

  double* row(int i) { return data_.data() + static_cast<std::size_t>(i - 1) * (static_cast<std::size_t>(t_) + 1); }
  const double* row(int i) const {
    return data_.data() + static_cast<std::size_t>(i - 1) * (static_cast<std::size_t>(t_) + 1);
  }
  // Gives the memory back.
  void release() { data_.release(); }
  // Hands the block over (the solver keeps Q in it).
  ZeroedArray take() { return std::move(data_); }

 private:
  int t_ = 0;
  ZeroedArray data_;
};

// Q = N^-1, t x t. Element (m, i) is element (i, m) of the inverse. Stored
// so that for fixed i the elements (1..t, i) are contiguous: the back
// substitution then forms a whole line of Q at once. The lines lie `stride`
// values apart in one block; the solver leaves them in the block of the
// augmented rows it reduced (stride t + 1), so N and Q never need memory of
// their own at the same time.
class Cofactors {
 public:
  Cofactors() = default;
  explicit Cofactors(int t)
      : t_(t), stride_(static_cast<std::size_t>(t)), data_(static_cast<std::size_t>(t) * static_cast<std::size_t>(t)) {}
  // Takes over `data`, t lines of `stride` >= t values each.
  Cofactors(int t, std::size_t stride, ZeroedArray data) : t_(t), stride_(stride), data_(std::move(data)) {}
  int size() const { return t_; }
  double operator()(int m, int i) const { return line(i)[m - 1]; }
  double& operator()(int m, int i) { return line(i)[m - 1]; }
  // Elements (1..t, i): index m - 1.
  double* line(int i) { return data_.data() + static_cast<std::size_t>(i - 1) * stride_; }
  const double* line(int i) const { return data_.data() + static_cast<std::size_t>(i - 1) * stride_; }

 private:
  int t_ = 0;
  std::size_t stride_ = 0;
  ZeroedArray data_;
};

// Inverts N (the diagonal and upper triangle of `normal`, whose memory the
// reduction uses up and then holds Q) and returns Q. Each element gets exactly
// the operations, in exactly the order, of the plain row-by-row algorithm;
// terms that are exactly zero are skipped, which changes no sum. Throws
// InputError, naming the point of `net` reached, when a pivot is not a
// positive normal number (the normal equations then have no unique
// solution).
Cofactors invertNormalMatrix(AugmentedRows& normal, const LevelingNetwork& net);

}  // namespace levelnet
