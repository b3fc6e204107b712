// The results mode (levelnet adjust --results): sections 1, 5, 6 and 7 of
// the report, the approximate elevations, the adjusted elevations, the
// observations with their corrections and the precision, without the
// matrices of sections 2 to 4, for networks of any size.
//
// The figures come from the sparse factorisation (computeSparseAdjustment),
// whose numbers differ from the textbook solver's within rounding error:
// x by about 1e-12 mm on a grid of 2000 points. A printed figure is the
// same as the full report's unless such a difference carries it across a
// rounding edge. So every figure is tested: when it lies nearer to its
// rounding edge than a bound well above that difference (4 kappa u (1 +
// max |x|) mm for x, kappa the condition number of N and u the unit
// roundoff; 4 kappa u relative for Q(i, i); the differences measured on
// grids, chains and random networks stayed below 0.15 kappa u), the results
// are computed again by the textbook solver, whose figures the full report
// prints, wherever the textbook limits allow it.
#pragma once

#include "adjust/adjustment_results.h"
#include "adjust/report_writer.h"

namespace levelnet {

// Whether every figure the results sections print from `r` (and the 成果表's
// mean standard error) lies farther from its rounding edge than the bound
// above, so that the textbook solver's results print the same.
bool printedFiguresCertain(const AdjustmentResults& r);

// The results of the results mode and of a large 成果表: the sparse path,
// or the textbook solver where a printed figure of the sparse path is not
// certain and the network is within kReportLimits. Throws as
// computeAdjustment.
AdjustmentResults computeResults(LevelingNetwork network);

// Sections 1, 5, 6 and 7, byte for byte as in the full report.
void writeResultsSections(const AdjustmentResults& r, TextSink& sink);

}  // namespace levelnet
