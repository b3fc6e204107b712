// Precision assessment; report section 7 "精度评定:".
#pragma once

namespace levelnet {

struct AdjustmentRun;
class AdjustmentReport;

// [pvv] = sum of (v(k) x p(k)) x v(k) in observation order (mm^2), from the
// stored corrections; mu = sqrt([pvv] / (n - t)) rounded half up to 0.001 mm
// and used rounded from then on; mu per km = mu / sqrt(unitWeightLength);
// the standard error of each unknown point mu x sqrt(Q(i, i)) (mm). Writes
// pvv, unitWeightError, pointErrors; appends section 7.
void assessPrecision(AdjustmentRun& run, AdjustmentReport& report);

}  // namespace levelnet
