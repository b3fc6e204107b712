#include "fieldbook/tolerances.h"

#include "network/input_error.h"

namespace levelnet::fieldbook {

const std::vector<std::string>& fieldGrades() {
  static const std::vector<std::string> grades = {"二等", "三等", "四等", "工程二等", "工程三等", "工程四等", "工程五等"};
  return grades;
}

GradeTolerances gradeTolerances(const std::string& grade, Instrument instrument) {
  const bool digital = instrument == Instrument::digital;
  GradeTolerances t;
  t.grade = grade;
  if (grade == "二等") {
    // GB/T 12897-2006: optical 视线长度 ≤50 m, 视距差 ≤1.0 m, 累积 ≤3.0 m;
    // digital ≥3 m and ≤50 m, ≤1.5 m, ≤6.0 m.
    t.source = "GB/T 12897-2006";
    t.maxSight = 50.0;
    t.minSight = digital ? 3.0 : 0.0;
    t.maxSightDifference = digital ? 1.5 : 1.0;
    t.maxCumulativeDifference = digital ? 6.0 : 3.0;
    t.maxReadingDifference = 0.4;
    t.maxHeightDifference = 0.6;
    t.roundTripCoefficient = 4.0;
    t.maxRandomErrorKm = 1.0;
  } else if (grade == "三等") {
    // GB/T 12898-2009: DS3 75 m, DS1 100 m; 2.0 m; 5.0 m.
    t.source = "GB/T 12898-2009";
    t.maxSight = digital ? 100.0 : 75.0;
    t.maxSightDifference = 2.0;
    t.maxCumulativeDifference = 5.0;
    t.maxReadingDifference = digital ? 0.0 : 2.0;
    t.maxHeightDifference = 3.0;
    t.roundTripCoefficient = 12.0;
    t.maxRandomErrorKm = 3.0;
  } else if (grade == "四等") {
    // GB/T 12898-2009: DS3 100 m, DS1 150 m; 3.0 m; 10.0 m.
    t.source = "GB/T 12898-2009";
    t.maxSight = digital ? 150.0 : 100.0;
    t.maxSightDifference = 3.0;
    t.maxCumulativeDifference = 10.0;
    t.maxReadingDifference = digital ? 0.0 : 3.0;
    t.maxHeightDifference = 5.0;
    t.roundTripCoefficient = 20.0;
    t.maxRandomErrorKm = 5.0;
  } else if (grade == "工程二等") {
    t.source = "GB 50026-2020";
    t.maxSight = 50.0;
    t.maxSightDifference = 1.0;
    t.maxCumulativeDifference = 3.0;
    t.maxReadingDifference = digital ? 0.0 : 0.5;
    t.maxHeightDifference = 0.7;
    t.roundTripCoefficient = 4.0;
    t.maxRandomErrorKm = 1.0;
  } else if (grade == "工程三等") {
    // DS1 100 m, 1.0 / 1.5 mm; DS3 75 m, 2.0 / 3.0 mm; 3 m; 6 m.
    t.source = "GB 50026-2020";
    t.maxSight = digital ? 100.0 : 75.0;
    t.maxSightDifference = 3.0;
    t.maxCumulativeDifference = 6.0;
    t.maxReadingDifference = digital ? 0.0 : 2.0;
    t.maxHeightDifference = digital ? 1.5 : 3.0;
    t.roundTripCoefficient = 12.0;
    t.mountainCoefficient = 4.0;
    t.maxRandomErrorKm = 3.0;
  } else if (grade == "工程四等") {
    t.source = "GB 50026-2020";
    t.maxSight = 100.0;
    t.maxSightDifference = 5.0;
    t.maxCumulativeDifference = 10.0;
    t.maxReadingDifference = digital ? 0.0 : 3.0;
    t.maxHeightDifference = 5.0;
    t.roundTripCoefficient = 20.0;
    t.mountainCoefficient = 6.0;
    t.maxRandomErrorKm = 5.0;
  } else if (grade == "工程五等") {
    // Backsight and foresight distances only "about equal": not checked.
    t.source = "GB 50026-2020";
    t.maxSight = 100.0;
    t.roundTripCoefficient = 30.0;
    t.maxRandomErrorKm = 7.5;
  } else {
    std::string known;
    for (const std::string& g : fieldGrades()) known += (known.empty() ? "" : "、") + g;
    throw InputError("未知的等级“" + grade + "”（可用 " + known + "）");
  }
  return t;
}

}  // namespace levelnet::fieldbook
