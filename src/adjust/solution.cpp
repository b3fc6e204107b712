#include "adjust/solution.h"

#include <algorithm>
#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/normal_equations.h"
#include "adjust/report_format.h"

namespace levelnet {

namespace {
// Rows of Q gathered at once for printing (Q is stored by columns).
constexpr int kRowBlock = 64;
}  // namespace

void solveNormalEquations(AdjustmentRun& run, AdjustmentReport& report) {
  const int t = run.net.parameterCount;
  const Cofactors& Q = run.cofactors;
  const std::vector<double>& W = run.normalConstants;
  run.parameterCorrections.assign(static_cast<std::size_t>(t) + 1, 0.0);
  double* __restrict x = run.parameterCorrections.data() + 1;
  // j outside, i inside: every x(i) still takes its terms in ascending j.
  for (int j = 1; j <= t; ++j) {
    const double w = W[j];
    const double* __restrict q = Q.line(j);  // Q(i, j) at q[i - 1]
    for (int i = 0; i < t; ++i) x[i] = x[i] - q[i] * w;
  }

  report.title("解算法方程  ");
  std::vector<double> block(static_cast<std::size_t>(kRowBlock) * static_cast<std::size_t>(t));
  for (int i0 = 1; i0 <= t; i0 += kRowBlock) {
    const int i1 = std::min(t, i0 + kRowBlock - 1);
    const std::size_t rows = static_cast<std::size_t>(i1 - i0 + 1);
    for (int j = 1; j <= t; ++j) {
      const double* q = Q.line(j) + (i0 - 1);
      for (std::size_t r = 0; r < rows; ++r) block[r * static_cast<std::size_t>(t) + (j - 1)] = q[r];
    }
    for (int i = i0; i <= i1; ++i) {
      appendMatrixRow(report, block.data() + static_cast<std::size_t>(i - i0) * static_cast<std::size_t>(t), t);
      report.appendFormatNFixed(run.parameterCorrections[i], 4);
      report.endLine();
    }
  }
}

}  // namespace levelnet
