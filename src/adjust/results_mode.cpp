#include "adjust/results_mode.h"
#include "adjust/pipeline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace levelnet {

namespace {

constexpr double kUnitRoundoff = std::numeric_limits<double>::epsilon() / 2;

// How far above the differences seen between the two solvers the bounds
// lie: on grids, chains and random networks those stayed below
// 0.15 kappa u (1 + |x|) for x and 0.15 kappa u for Q(i, i) relative.
constexpr double kSafety = 4.0;

// Whether floor(v x 10^decimals + 0.5) could change when v moves by up to
// `uncertainty`: the edges lie where v x 10^decimals has a fraction of one
// half. The scaling's own rounding is allowed for as well.
bool nearRoundingEdge(double v, int decimals, double uncertainty) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = v * scale;
  const double fraction = scaled - std::floor(scaled);
  const double slack = uncertainty * scale + 8 * kUnitRoundoff * std::fabs(scaled) + 1e-300;
  return std::fabs(fraction - 0.5) <= slack;
}

}  // namespace

bool printedFiguresCertain(const AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  const int t = net.parameterCount;
  double largestX = 0.0;
  for (int i = 1; i <= t; ++i) largestX = std::max(largestX, std::fabs(r.parameterCorrections[i]));
  // The sparse path's condition number, or t where it has none.
  const double condition = r.normalCondition > 0.0 ? r.normalCondition : std::max(t, 1);
  const double scaleT = kSafety * condition * kUnitRoundoff;
  const double elevationUncertainty = scaleT * (1.0 + largestX) / 1000.0;  // m
  for (int p = net.knownCount + 1; p <= net.pointCount; ++p)
    if (nearRoundingEdge(r.adjustedElevations[p], 4, elevationUncertainty)) return false;
  for (int k = 1; k <= net.observationCount; ++k) {
    const double adjusted = r.adjustedDifferences[k];
    if (nearRoundingEdge(adjusted, 4, 2 * elevationUncertainty)) return false;
    // The stored correction: floor((adjusted - observed) x 10000 + 0.5) / 10.
    if (nearRoundingEdge(adjusted - net.observedDifference[k], 4, 2 * elevationUncertainty)) return false;
  }
  // mu follows from the stored corrections alone; M(p) = mu sqrt(Q(p, p)).
  double sum = 0.0, largestM = 0.0;
  for (int i = 1; i <= t; ++i) {
    const double m = r.pointErrors[i];
    if (nearRoundingEdge(m, 3, m * scaleT)) return false;
    sum += m;
    largestM = std::max(largestM, m);
  }
  // The 成果表 shows the mean M too, through its 0.001 mm figure.
  if (t > 0 && nearRoundingEdge(sum / t, 3, largestM * scaleT)) return false;
  return true;
}

AdjustmentResults computeResults(LevelingNetwork network) {
  const bool textbookPossible =
      network.pointCount <= kReportLimits.points && network.observationCount <= kReportLimits.observations;
  if (!textbookPossible) return computeSparseAdjustment(std::move(network));
  AdjustmentResults sparse = computeSparseAdjustment(network);
  if (printedFiguresCertain(sparse)) return sparse;
  sparse = AdjustmentResults(LevelingNetwork{});  // its memory back before the textbook solver's
  return computeAdjustment(std::move(network));
}

void writeResultsSections(const AdjustmentResults& r, TextSink& sink) {
  ReportLines lines(sink);
  writeApproximateElevations(r, lines);
  writeAdjustedValues(r, lines);
  writePrecision(r, lines);
  lines.finish();
}

}  // namespace levelnet
