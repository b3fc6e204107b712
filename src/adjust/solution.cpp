#include "adjust/phases.h"

namespace levelnet {

void solveNormalEquations(AdjustmentResults& r) {
  const int t = r.net.parameterCount;
  const Cofactors& Q = r.cofactors;
  const std::vector<double>& W = r.normalConstants;
  r.parameterCorrections.assign(static_cast<std::size_t>(t) + 1, 0.0);
  double* __restrict x = r.parameterCorrections.data() + 1;
  // j outside, i inside: every x(i) still takes its terms in ascending j.
  for (int j = 1; j <= t; ++j) {
    const double w = W[j];
    const double* __restrict q = Q.line(j);  // Q(i, j) at q[i - 1]
    for (int i = 0; i < t; ++i) x[i] = x[i] - q[i] * w;
  }
}

}  // namespace levelnet
