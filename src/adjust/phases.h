// The phases of an adjustment, in the order computeAdjustment runs them.
// Each reads what the phases before it left in the results and adds its
// own; none writes text.
#pragma once

#include <vector>

#include "adjust/adjustment_results.h"

namespace levelnet {

// One pass over the unknown points p in ascending order: the first
// observation (in table order) that ties p to a lower-numbered point gives
// p the approximate elevation of that point plus or minus its height
// difference (the from-test before the to-test). A point no observation ties
// so keeps the elevation gathered from its cell.
void computeApproximateElevations(AdjustmentResults& r);

// For every observation i: its coefficients, the constant term
// l(i) = ((H(to) - H(from)) - observed) x 1000 in mm from the approximate
// elevations, and the weight unitWeightLength / routeLength(i).
void formErrorEquations(AdjustmentResults& r);

// N = B^T P B into the diagonal and upper triangle of the augmented rows.
// Each element is the sum, in ascending observation order, of the products
// (B(k, i) x P(k)) x B(k, j); the products of observations that do not touch
// parameter i or j are exactly zero and add nothing, so only the (at most
// two) parameters of each observation are visited. N is symmetric, exactly:
// its products only change sign by factors of +-1.
// Hands every term of N = B^T P B to add(i, j, term), for i <= j, in the
// order each element sums them: ascending observations.
// Shared by the textbook solver and the sparse factorisation, so both add
// the same terms in the same order.
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

AugmentedRows formNormalMatrix(const AdjustmentResults& r);

// One element of N.
struct NormalElement {
  int column = 0;
  double value = 0.0;
};
// The same N in compact form: for each row i (1..t), its elements in columns
// j >= i that any observation touches, in ascending j, each the very number
// formNormalMatrix gives it (elements not listed are zero).
std::vector<std::vector<NormalElement>> formNormalRows(const AdjustmentResults& r);

// W = B^T P l (mm), summed like N.
void formNormalConstants(AdjustmentResults& r);

// x(i) = 0 - Q(i, 1) W(1) - Q(i, 2) W(2) - ... in ascending j (mm).
void solveNormalEquations(AdjustmentResults& r);

// Adds x(i) / 1000 to the approximate elevation of each unknown point (m),
// then for every observation forms the adjusted difference H(to) - H(from)
// (m) and its correction floor((adjusted - observed) x 10000 + 0.5) / 10,
// in mm rounded half up to 0.1 mm (the stored value).
void adjustObservations(AdjustmentResults& r);

// [pvv] = sum of (v(k) x p(k)) x v(k) in observation order (mm^2), from the
// stored corrections; mu = sqrt([pvv] / (n - t)) rounded half up to 0.001 mm
// and used rounded from then on; mu per km = mu / sqrt(unitWeightLength);
// the standard error of each unknown point mu x sqrt(Q(i, i)) (mm), Q(i, i)
// from pointCofactors.
void assessPrecision(AdjustmentResults& r);

}  // namespace levelnet
