// Error equations v = B x + l: coefficients, constant terms (mm) and weights;
// report section 2 "由观测值组成误差方程".
#pragma once

#include "adjust/report_format.h"

namespace levelnet {

struct AdjustmentRun;

// For every observation i: its coefficients (+1 for the to point's
// parameter, -1 for the from point's, where they are unknown points), the
// constant term l(i) = ((H(to) - H(from)) - observed) x 1000 in mm from the
// approximate elevations, and the weight unitWeightLength / routeLength(i).
// Writes errorEquations, constantTerms, weights; appends section 2.
void formErrorEquations(AdjustmentRun& run, AdjustmentReport& report);

// One line of section 2: every coefficient and then the constant term
// (rounded half up to 0.1 mm, general text), each right-aligned in 6.
template <class Coefficient>
void appendErrorEquationLine(AdjustmentReport& report, int t, Coefficient&& coefficient, double constantTerm) {
  for (int j = 1; j <= t; ++j) {
    const double b = coefficient(j);
    if (b == 0.0) report.append("     0");
    else if (b == 1.0) report.append("     1");
    else if (b == -1.0) report.append("    -1");
    else report.appendFormatNNumber(b);
  }
  report.appendFormatNNumber(roundHalfUp(constantTerm, 1));
  report.endLine();
}

}  // namespace levelnet
