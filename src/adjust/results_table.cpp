#include "adjust/results_table.h"

#include <cmath>

#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet {

namespace {

constexpr const char* kTask = "成果表无法生成";

ResultNumber fixedNumber(double v, int decimals) {
  requireFinite(v, kTask);
  return {v, fixedText(v, decimals)};
}

}  // namespace

std::string standardErrorText(double millimetres) {
  requireFinite(millimetres, kTask);
  // The report's figure in whole thousandths of a millimetre, then rounded
  // half up to hundreds of them in integers: rounding the double of 1.250
  // again by floor(v * 10 + 0.5) could fall either side of the half.
  const double thousandths = std::round(roundHalfUp(millimetres, 3) * 1000.0);
  const double tenths = std::floor((thousandths + 50.0) / 100.0);
  return fixedText(tenths / 10.0, 1);
}

ResultsTable makeResultsTable(const AdjustmentResults& r) {
  const LevelingNetwork& net = r.net;
  ResultsTable table;
  table.points.reserve(static_cast<std::size_t>(net.pointCount));
  for (int p = 1; p <= net.pointCount; ++p) {
    PointResult point;
    point.number = p;
    point.name = net.pointName[p];
    point.known = p <= net.knownCount;
    point.elevation = fixedNumber(r.adjustedElevations[p], 4);
    if (point.known) {
      point.standardErrorText = kNoValueText;
    } else {
      const double m = r.pointErrors[p - net.knownCount];
      point.standardError = m;
      point.standardErrorText = standardErrorText(m);
    }
    table.points.push_back(std::move(point));
  }

  table.observations.reserve(static_cast<std::size_t>(net.observationCount));
  for (int k = 1; k <= net.observationCount; ++k) {
    ObservationResult o;
    o.number = k;
    o.from = net.pointName[net.fromPoint[k]];
    o.to = net.pointName[net.toPoint[k]];
    o.observedDifference = fixedNumber(net.observedDifference[k], 3);
    requireFinite(net.routeLength[k], kTask);
    o.routeLength = {net.routeLength[k], numberText(net.routeLength[k])};
    o.correction = fixedNumber(r.corrections[k], 1);
    o.adjustedDifference = fixedNumber(r.adjustedDifferences[k], 4);
    table.observations.push_back(std::move(o));
  }

  PrecisionSummary& s = table.precision;
  s.unitWeightError = fixedNumber(r.unitWeightError, 3);
  s.errorPerKilometre = fixedNumber(r.errorPerKilometre, 3);
  s.observationCount = net.observationCount;
  s.parameterCount = net.parameterCount;
  s.redundancy = net.observationCount - net.parameterCount;
  s.maxPointErrorText = s.meanPointErrorText = kNoValueText;
  if (net.parameterCount > 0) {
    double largest = r.pointErrors[1];
    int largestAt = 1;
    double sum = 0.0;
    for (int i = 1; i <= net.parameterCount; ++i) {
      sum += r.pointErrors[i];
      if (r.pointErrors[i] > largest) {
        largest = r.pointErrors[i];
        largestAt = i;
      }
    }
    const double mean = sum / net.parameterCount;
    s.maxPointError = largest;
    s.maxPointErrorText = standardErrorText(largest);
    s.maxPointErrorName = net.pointName[net.knownCount + largestAt];
    s.meanPointError = mean;
    s.meanPointErrorText = standardErrorText(mean);
  }
  return table;
}

std::vector<std::string> precisionSummaryLines(const PrecisionSummary& s) {
  std::vector<std::string> lines = {"单位权中误差 μ = ±" + s.unitWeightError.text + " mm",
                                    "每公里高差中误差 = ±" + s.errorPerKilometre.text + " mm"};
  if (s.maxPointError) {
    lines.push_back("最弱点高程中误差 M_max = ±" + s.maxPointErrorText + " mm（" + s.maxPointErrorName + "）");
    lines.push_back("平均高程中误差 M_mean = ±" + s.meanPointErrorText + " mm");
  } else {
    lines.push_back(std::string("最弱点高程中误差 M_max = ") + kNoValueText + "（没有待定点）");
    lines.push_back(std::string("平均高程中误差 M_mean = ") + kNoValueText);
  }
  lines.push_back("观测值个数 n = " + std::to_string(s.observationCount) + "，待定点个数 t = " +
                  std::to_string(s.parameterCount) + "，多余观测数 f = n - t = " + std::to_string(s.redundancy));
  return lines;
}

}  // namespace levelnet
