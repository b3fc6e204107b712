// The tolerances of station and section checks for each grade, in one
// place with their sources.
//
// National grades:
//   二等  GB/T 12897-2006《国家一、二等水准测量规范》: sight length, the
//         difference of backsight and foresight distances and its running
//         sum (optical and digital levels), the difference of the two
//         readings of a staff (基辅分划) 0.4 mm and of the two height
//         differences of a station 0.6 mm; 往返测高差不符值 ±4√K mm;
//         M_Δ ≤ 1.0 mm.
//   三等、四等  GB/T 12898-2009《国家三、四等水准测量规范》: the sight
//         tables for DS3 (optical, the double-staff handbook) and for DS1
//         class levels (taken for digital levels); 黑红面读数差 2.0 / 3.0
//         mm, 黑红面所测高差之差 3.0 / 5.0 mm; 往返测高差不符值 ±12√K /
//         ±20√K mm; M_Δ ≤ 3.0 / 5.0 mm.
// Engineering grades (工程二等 … 工程五等): GB 50026-2020《工程测量标准》
//   section 4.2 (tables of the main technical requirements of leveling and
//   of leveling observation): 往返较差 ±4√L, ±12√L, ±20√L, ±30√L mm, in
//   mountains (山地) ±4√n and ±6√n for 三等 and 四等 (n stations, the
//   standard counting 16 stations to the km); M_Δ not beyond half the
//   grade's total error per km (2, 6, 10, 15 mm). Digital levels are not
//   held to the reading difference there, only to the difference of the
//   two height differences; the DS1 row is taken for them.
// K, L: the section's length in km; n: its number of stations.
#pragma once

#include <string>
#include <vector>

#include "fieldbook/field_records.h"

namespace levelnet::fieldbook {

struct GradeTolerances {
  std::string grade;                     // as the user gives it: "四等", "工程三等", ...
  std::string source;                    // "GB/T 12898-2009", ...
  double maxSight = 0.0;                 // m
  double minSight = 0.0;                 // m; 0: none
  double maxSightDifference = 0.0;       // m; 0: not checked
  double maxCumulativeDifference = 0.0;  // m; 0: not checked
  double maxReadingDifference = 0.0;     // mm; 0: not checked
  double maxHeightDifference = 0.0;      // mm, of the two height differences of a station; 0: not checked
  double roundTripCoefficient = 0.0;     // k of ±k√K mm
  double mountainCoefficient = 0.0;      // k of ±k√n mm in mountains; 0: the grade has no such rule
  double maxRandomErrorKm = 0.0;         // M_Δ, mm
};

// The grades importFieldFiles takes, for messages and usage texts.
const std::vector<std::string>& fieldGrades();

// The tolerances of a grade for an instrument. Throws InputError for an
// unknown grade.
GradeTolerances gradeTolerances(const std::string& grade, Instrument instrument);

}  // namespace levelnet::fieldbook
