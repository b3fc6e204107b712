// Normal equations N x + W = 0 from the error equations; report section 3
// "由误差方程组成法方程".
#pragma once

namespace levelnet {

struct AdjustmentRun;
class AdjustmentReport;

// N = B^T P B and W = B^T P l (mm). Each element is the sum, in ascending
// observation order, of the products (B(k, i) x P(k)) x B(k, j) and
// (B(k, i) x P(k)) x l(k); the products of observations that do not touch
// parameter i or j are exactly zero and add nothing, so only the (at most
// two) parameters of each observation are visited. N goes into the diagonal
// and upper triangle of run.normalMatrix (it is symmetric, exactly: its
// products only change sign by factors of +-1). Appends section 3.
void formNormalEquations(AdjustmentRun& run, AdjustmentReport& report);

// One line of sections 3 and 4: for each of the t values of `row` (index 0
// is column 1), two blanks, the value in "0.0000" right-aligned in 6, two
// blanks. The caller appends the tail and the line end.
void appendMatrixRow(AdjustmentReport& report, const double* row, int t);

}  // namespace levelnet
