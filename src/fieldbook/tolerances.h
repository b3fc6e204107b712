// The tolerances of station and section checks for each grade, in one
// place; every figure's source (standard, table or clause) is in the
// README's table of the field records' tolerances and beside its row in
// tolerances.cpp.
//
// National grades:
//   一等、二等  GB/T 12897-2006《国家一、二等水准测量规范》: the table of
//         sight length, the difference of backsight and foresight distances,
//         its running sum and the height of the line of sight (光学 and
//         数字水准仪), the table of station limits (基辅分划读数的差, 基辅
//         分划所测高差的差; a digital level's two readings of one staff have
//         no limit, the two height differences the 基辅分划 limit), the even
//         number of stations of a section, 往返测高差不符值 ±k√K and M_Δ.
//   三等、四等  GB/T 12898-2009《国家三、四等水准测量规范》: the sight
//         table for DS3 (the double-staff handbook) and for DS1/DS05 levels
//         (taken for digital levels, with the limits of the 光学测微法 row:
//         三等 1.5 mm for the two height differences); 视线高度 there is
//         "三丝能读数", which every recorded reading is.
// Engineering grades (工程二等 … 工程五等): GB 50026-2020《工程测量标准》
//   section 4.2 (the main technical requirements of leveling and of leveling
//   observation): 往返较差 ±4√L, ±12√L, ±20√L, ±30√L mm, in mountains ±4√n
//   and ±6√n for 三等 and 四等; the least height of the line of sight above
//   the ground (视线离地面最低高度); M_Δ not beyond half the grade's total
//   error per km. Digital levels are not held to the reading difference,
//   only to the difference of the two height differences; the DS1 row is
//   taken for them.
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
  // The height of the line of sight above the ground: the lowest reading of
  // each staff (an optical level's lower stadia wire, a digital level's
  // reading) at least this, and a digital level's reading at most the
  // largest. 0: not checked.
  double minLineHeight = 0.0;  // m
  double maxLineHeight = 0.0;  // m
  // Sights shorter than this may keep a lower line of sight (工程二等:
  // 0.3 m below 20 m); 0: no such rule.
  double shortSight = 0.0;               // m
  double shortSightMinLineHeight = 0.0;  // m
  bool evenStations = false;             // every section has an even number of stations
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
