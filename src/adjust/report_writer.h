// The report writer: turns the results model into the seven sections of the
// textbook report and hands them to a sink a block of whole lines at a time,
// so nothing holds the whole text unless the sink keeps it.
//
// Lines end in "\r\n"; every section after the first is preceded by one empty
// line. Numbers are written either in the masks "0.0000", "0.000", "0.0"
// (rounded half up first) or in the general text, some of them right-aligned
// in 6 characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "adjust/adjustment_results.h"
#include "adjust/report_lines.h"
#include "network/number_text.h"

namespace levelnet {

// Writes the seven sections of the report of `results` to `sink`.
void writeReport(const AdjustmentResults& results, TextSink& sink);

// The sections one by one, in the order writeReport writes them.
// 1 "近拟坐标": "p   name   elevation" for every unknown point, the
// approximate elevation in its general text.
void writeApproximateElevations(const AdjustmentResults& r, ReportLines& lines);
// 2 "由观测值组成误差方程": one error equation per observation.
void writeErrorEquations(const AdjustmentResults& r, ReportLines& lines);
// 3 "由误差方程组成法方程": every row of N in "0.0000" and W in "0.0" at its
// end. N is formed anew in its compact form (formNormalRows), with the very
// operations the solver's copy got, and printed a row at a time.
void writeNormalEquations(const AdjustmentResults& r, ReportLines& lines);
// 4 "解算法方程  ": every row of Q in "0.0000" and x(i) at its end.
void writeSolution(const AdjustmentResults& r, ReportLines& lines);
// 5 and 6: every point with its adjusted elevation; every observation, its
// correction and its adjusted value.
void writeAdjustedValues(const AdjustmentResults& r, ReportLines& lines);
// 7 "精度评定:": mu, mu per km and M of every unknown point.
void writePrecision(const AdjustmentResults& r, ReportLines& lines);

// One line of section 2: every coefficient and then the constant term
// (rounded half up to 0.1 mm, general text), each right-aligned in 6.
template <class Coefficient>
void appendErrorEquationLine(ReportLines& lines, int t, Coefficient&& coefficient, double constantTerm) {
  for (int j = 1; j <= t; ++j) {
    const double b = coefficient(j);
    if (b == 0.0)
      lines.append("     0");
    else if (b == 1.0)
      lines.append("     1");
    else if (b == -1.0)
      lines.append("    -1");
    else
      lines.appendRightAlignedNumber(b);
  }
  lines.appendRightAlignedNumber(roundHalfUp(constantTerm, 1));
  lines.endLine();
}

// One line of sections 3 and 4: for each of the t values of `row` (index 0
// is column 1), two blanks, the value in "0.0000" right-aligned in 6, two
// blanks. The caller appends the tail and the line end.
void appendMatrixRow(ReportLines& lines, const double* row, int t);

}  // namespace levelnet
