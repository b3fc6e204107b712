#include <algorithm>

#include "adjust/phases.h"

namespace levelnet {

AugmentedRows formNormalMatrix(const AdjustmentResults& r) {
  AugmentedRows N(r.net.parameterCount);
  forEachNormalTerm(r, [&N](int i, int j, double term) { N.left(i, j) = N.left(i, j) + term; });
  return N;
}

std::vector<std::vector<NormalElement>> formNormalRows(const AdjustmentResults& r) {
  std::vector<std::vector<NormalElement>> rows(static_cast<std::size_t>(r.net.parameterCount) + 1);
  forEachNormalTerm(r, [&rows](int i, int j, double term) {
    std::vector<NormalElement>& row = rows[i];
    auto found = std::find_if(row.begin(), row.end(), [j](const NormalElement& e) { return e.column == j; });
    if (found == row.end()) found = row.insert(row.end(), NormalElement{j, 0.0});
    found->value = found->value + term;
  });
  for (auto& row : rows)
    std::sort(row.begin(), row.end(),
              [](const NormalElement& a, const NormalElement& b) { return a.column < b.column; });
  return rows;
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
