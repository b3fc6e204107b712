#include "adjust/phases.h"

namespace levelnet {

AugmentedRows formNormalMatrix(const AdjustmentResults& r) {
  const int n = r.net.observationCount;
  AugmentedRows N(r.net.parameterCount);
  for (int k = 1; k <= n; ++k) {
    const ErrorEquation& b = r.errorEquations[k];
    const double p = r.weights[k];
    const int touched[2] = {b.toParameter, b.fromParameter};
    for (int a = 0; a < 2; ++a) {
      const int i = touched[a];
      if (i == 0) continue;
      const double bp = b[i] * p;  // element (i, k) of B^T P
      for (int c = 0; c < 2; ++c) {
        const int j = touched[c];
        if (j == 0 || j < i) continue;
        N.left(i, j) = N.left(i, j) + bp * b[j];
      }
    }
  }
  return N;
}

void formNormalConstants(AdjustmentResults& r) {
  const int n = r.net.observationCount;
  r.normalConstants.assign(static_cast<std::size_t>(r.net.parameterCount) + 1, 0.0);
  std::vector<double>& W = r.normalConstants;
  for (int k = 1; k <= n; ++k) {
    const ErrorEquation& b = r.errorEquations[k];
    const double p = r.weights[k];
    for (const int i : {b.toParameter, b.fromParameter}) {
      if (i == 0) continue;
      const double bp = b[i] * p;
      W[i] = W[i] + bp * r.constantTerms[k];
    }
  }
}

}  // namespace levelnet
