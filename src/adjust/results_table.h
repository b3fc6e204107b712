// The results table (成果表) of one adjustment: every point with its adjusted
// elevation and standard error, every observation with its correction and
// adjusted value, and the precision summary. Each number is kept twice: the
// value as computed, and the text the report shows for it (same rounding),
// so an export and the report never disagree.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adjust/adjustment_results.h"

namespace levelnet {

// A number of the table: the unrounded value and its text as shown.
struct ResultNumber {
  double value = 0.0;
  std::string text;
};

// Shown for the standard error of a known point and for figures a network
// without unknown points does not have.
inline constexpr char kNoValueText[] = "—";

struct PointResult {
  int number = 0;  // point number 1..pointCount, the report's 序号
  std::string name;
  bool known = false;
  ResultNumber elevation;  // m, text "0.0000" as in section 5 of the report
  // M, mm: the value unrounded; the text in "0.0", rounded half up from the
  // report's "0.000" figure, so that it is what a reader of the report gets;
  // no value and kNoValueText for a known point.
  std::optional<double> standardError;
  std::string standardErrorText;
};

struct ObservationResult {
  int number = 0;  // 1..observationCount
  std::string from, to;
  ResultNumber observedDifference;  // m, text "0.000" as in section 6
  ResultNumber routeLength;         // km, the general text (the window's)
  ResultNumber correction;          // v, mm, the stored 0.1 mm value, text "0.0"
  ResultNumber adjustedDifference;  // m, text "0.0000"
  // From the data check, where it ran (addCheckFigures in src/check): the
  // redundancy number r (text "0.000") and the test statistic w or τ (text
  // "+0.00"; no value and kNoValueText where the observation is not tested).
  std::optional<double> redundancy, testStatistic;
  std::string redundancyText, testStatisticText;
  // What the check says a surveyor must look at (可疑粗差, 无检核, 检核弱,
  // 影响超限, 已剔除, joined by "、"); empty for nothing.
  std::string attention;
};

struct PrecisionSummary {
  ResultNumber unitWeightError;    // mu, mm, text "0.000" as in section 7
  ResultNumber errorPerKilometre;  // mm, text "0.000" as in section 7
  // The largest and the mean M of the unknown points, mm, text "0.0" as the
  // points' M; absent (text kNoValueText) without unknown points.
  std::optional<double> maxPointError, meanPointError;
  std::string maxPointErrorText, meanPointErrorText;
  std::string maxPointErrorName;  // the point with the largest M (the first of equals)
  int observationCount = 0;       // n
  int parameterCount = 0;         // t
  int redundancy = 0;             // f = n - t
};

struct ResultsTable {
  std::vector<PointResult> points;              // in point order, known points first
  std::vector<ObservationResult> observations;  // in table order
  PrecisionSummary precision;
  // "w" (Baarda's test, with an a-priori σ) or "τ" (Pope's test) once the
  // check's figures were added; empty without them.
  std::string testStatisticName;
};

// The table of computed results. Throws InputError should a value not be
// finite (computeAdjustment has refused those already).
ResultsTable makeResultsTable(const AdjustmentResults& results);

// The precision summary as the lines every output shows it (the text 成果表,
// the PDF, the window), without line ends:
//   单位权中误差 μ = ±0.000 mm
//   每公里高差中误差 = ±0.000 mm
//   最弱点高程中误差 M_max = ±0.0 mm（name）   or   = —（没有待定点）
//   平均高程中误差 M_mean = ±0.0 mm            or   = —
//   观测值个数 n = N，待定点个数 t = T，多余观测数 f = n - t = F
std::vector<std::string> precisionSummaryLines(const PrecisionSummary& summary);

// The text of a standard error in the table: `millimetres` rounded half up to
// 0.001 mm as the report prints it, then that figure half up to 0.1 mm.
std::string standardErrorText(double millimetres);

}  // namespace levelnet
