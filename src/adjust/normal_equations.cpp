#include "adjust/normal_equations.h"

#include <algorithm>
#include <vector>

#include "adjust/adjustment_run.h"
#include "adjust/report_format.h"

namespace levelnet {

namespace {

// Rows printed together: the elements left of the diagonal are read from
// the rows above (N is symmetric), and a block of rows turns those reads into
// short contiguous runs.
constexpr int kRowBlock = 64;

}  // namespace

void appendMatrixRow(AdjustmentReport& report, const double* row, int t) {
  for (int j = 0; j < t; ++j) {
    if (row[j] == 0.0) {
      report.append("  0.0000  ");
    } else {
      report.append("  ");
      report.appendFormatNFixed(row[j], 4);
      report.append("  ");
    }
  }
}

void formNormalEquations(AdjustmentRun& run, AdjustmentReport& report) {
  const int n = run.net.observationCount;
  const int t = run.net.parameterCount;
  run.normalMatrix = AugmentedRows(t);
  run.normalConstants.assign(static_cast<std::size_t>(t) + 1, 0.0);
  AugmentedRows& N = run.normalMatrix;
  std::vector<double>& W = run.normalConstants;

  for (int k = 1; k <= n; ++k) {
    const ErrorEquation& b = run.errorEquations[k];
    const double p = run.weights[k];
    const double l = run.constantTerms[k];
    const int touched[2] = {b.toParameter, b.fromParameter};
    for (int a = 0; a < 2; ++a) {
      const int i = touched[a];
      if (i == 0) continue;
      const double bp = b[i] * p;  // element (i, k) of B^T P
      W[i] = W[i] + bp * l;
      for (int c = 0; c < 2; ++c) {
        const int j = touched[c];
        if (j == 0 || j < i) continue;
        N.left(i, j) = N.left(i, j) + bp * b[j];
      }
    }
  }

  report.title("由误差方程组成法方程");
  std::vector<double> block(static_cast<std::size_t>(kRowBlock) * static_cast<std::size_t>(t));
  for (int i0 = 1; i0 <= t; i0 += kRowBlock) {
    const int i1 = std::min(t, i0 + kRowBlock - 1);
    auto rowOf = [&](int i) { return block.data() + static_cast<std::size_t>(i - i0) * static_cast<std::size_t>(t); };
    // Left of the diagonal: N(i, j) = N(j, i), read along row j.
    for (int j = 1; j < i1; ++j) {
      const double* nj = N.row(j);
      for (int i = std::max(i0, j + 1); i <= i1; ++i) rowOf(i)[j - 1] = nj[i - j];
    }
    for (int i = i0; i <= i1; ++i) {
      std::copy(N.row(i), N.row(i) + (t - i + 1), rowOf(i) + (i - 1));
      appendMatrixRow(report, rowOf(i), t);
      report.appendFixed(W[i], 1);
      report.endLine();
    }
  }
}

}  // namespace levelnet
