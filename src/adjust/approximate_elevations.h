// Approximate elevations of the unknown points, the linearisation point of
// the adjustment; report section 1 "近拟坐标".
#pragma once

namespace levelnet {

struct AdjustmentRun;
struct LevelingNetwork;
class AdjustmentReport;

// One pass over the unknown points p in ascending order: the first
// observation (in table order) that ties p to a lower-numbered point gives
// p the elevation of that point plus or minus its height difference (the
// from-test before the to-test). A point no observation ties so keeps the
// elevation gathered from its cell. Writes elevation (m) of unknown points,
// then appends section 1.
void approximateElevations(AdjustmentRun& run, AdjustmentReport& report);

// Section 1: the title, then "p   name   elevation" for every unknown point,
// the elevation in its general text.
void appendApproximateSection(AdjustmentReport& report, const LevelingNetwork& net);

}  // namespace levelnet
