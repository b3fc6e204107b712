// The adjustment computed the plain way, with every matrix held dense and
// every product and sum written out as the textbook loops give them: the
// n x n weight matrix, B^T P as a full product, N as a full product, the
// solver on the full t x 2t augmented matrix. Slow and large on purpose:
// tests and benchmarks compare the engine with it, bit for bit.
#pragma once

#include <string>
#include <vector>

#include "network/leveling_network.h"

namespace levelnet::testing {

struct DenseMatrix {
  DenseMatrix() = default;
  DenseMatrix(int rows, int cols) : cols_(cols + 1), data_(static_cast<std::size_t>(rows + 1) * (cols + 1), 0.0) {}
  double& operator()(int r, int c) { return data_[static_cast<std::size_t>(r) * cols_ + c]; }
  double operator()(int r, int c) const { return data_[static_cast<std::size_t>(r) * cols_ + c]; }

 private:
  std::size_t cols_ = 0;
  std::vector<double> data_;
};

// Every array of a run, indexed from 0 with row and column 0 unused.
struct DenseRun {
  LevelingNetwork net;
  DenseMatrix B, P, BTP, N, A, R, Q;  // N as formed; A the solver's working copy
  std::vector<double> l, W, x, adjustedDiff, correction, pointError;
  double pvv = 0.0, mu = 0.0;
  std::string report;
};

// Runs the whole adjustment of a gathered network the plain way.
DenseRun denseAdjustment(LevelingNetwork net);

}  // namespace levelnet::testing
