// Adjusted elevations and every observation's correction; report sections 5
// "序号   点号   最或然值(m) " and 6 "序号  观测值(m)  改正数(mm)  平差值(m)".
#pragma once

namespace levelnet {

struct AdjustmentRun;
class AdjustmentReport;

// Adds x(i) / 1000 to the elevation of each unknown point (m), lists every
// point, then for every observation forms adjustedDifferences = H(to) - H(from) (m)
// and corrections = floor((adjustedDifferences - observed) x 10000 + 0.5)
// / 10, the correction in mm rounded half up to 0.1 mm (the stored value),
// and lists it. Appends sections 5 and 6.
void adjustObservations(AdjustmentRun& run, AdjustmentReport& report);

}  // namespace levelnet
