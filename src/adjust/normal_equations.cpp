#include <algorithm>

#include "adjust/phases.h"

namespace levelnet {

namespace {

// Hands every term of N = B^T P B to add(i, j, term), for i <= j, in the
// order each element sums them: ascending observations.
template <class Add>
void forEachNormalTerm(const AdjustmentResults& r, Add&& add) {
  const int n = r.net.observationCount;
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
        add(i, j, bp * b[j]);
      }
    }
  }
}

}  // namespace

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
    std::sort(row.begin(), row.end(), [](const NormalElement& a, const NormalElement& b) { return a.column < b.column; });
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
