// The parameter corrections x = -Q W and report section 4 "解算法方程  ".
#pragma once

namespace levelnet {

struct AdjustmentRun;
class AdjustmentReport;

// x(i) = 0 - Q(i, 1) W(1) - Q(i, 2) W(2) - ... in ascending j (mm). Writes
// parameterCorrections; appends section 4: each row of Q in "0.0000" and x(i)
// at its end.
void solveNormalEquations(AdjustmentRun& run, AdjustmentReport& report);

}  // namespace levelnet
