#include "fieldbook/tolerances.h"

#include "network/errors.h"

namespace levelnet::fieldbook {

namespace {

// One row of the table: a grade's limits for one kind of instrument (the
// handbook's optical level with double-faced staffs, or a digital level).
// A 0 means the standard sets no such limit for that instrument. Sources:
// GB/T 12897-2006 (一等, 二等), GB/T 12898-2009 (三等, 四等), GB 50026-2020 §4.2
// (工程二等 … 工程五等).
struct ToleranceRow {
  const char* grade;
  Instrument instrument;
  const char* source;
  double maxSight, minSight;       // m
  double maxSightDifference;       // m, 前后视距差
  double maxCumulativeDifference;  // m, 视距累积差
  double maxReadingDifference;     // mm, 同尺两读数之差 (黑红面)
  double maxHeightDifference;      // mm, 两次高差之差
  double roundTripCoefficient;     // k of ±k√K mm
  double mountainCoefficient;      // k of ±k√n mm in mountains
  double maxRandomErrorKm;         // M_Δ, mm
};

constexpr Instrument kOptical = Instrument::optical;
constexpr Instrument kDigital = Instrument::digital;

// grade, instrument, source, sight max/min, sight difference, cumulative,
// reading difference, height difference, ±k√K, ±k√n, M_Δ.
constexpr ToleranceRow kTolerances[] = {
    {"一等", kOptical, "GB/T 12897-2006", 30.0, 0.0, 0.5, 1.5, 0.3, 0.4, 1.8, 0.0, 0.45},
    {"一等", kDigital, "GB/T 12897-2006", 30.0, 4.0, 1.0, 3.0, 0.3, 0.4, 1.8, 0.0, 0.45},
    {"二等", kOptical, "GB/T 12897-2006", 50.0, 0.0, 1.0, 3.0, 0.4, 0.6, 4.0, 0.0, 1.0},
    {"二等", kDigital, "GB/T 12897-2006", 50.0, 3.0, 1.5, 6.0, 0.4, 0.6, 4.0, 0.0, 1.0},
    {"三等", kOptical, "GB/T 12898-2009", 75.0, 0.0, 2.0, 5.0, 2.0, 3.0, 12.0, 0.0, 3.0},
    {"三等", kDigital, "GB/T 12898-2009", 100.0, 0.0, 2.0, 5.0, 0.0, 3.0, 12.0, 0.0, 3.0},
    {"四等", kOptical, "GB/T 12898-2009", 100.0, 0.0, 3.0, 10.0, 3.0, 5.0, 20.0, 0.0, 5.0},
    {"四等", kDigital, "GB/T 12898-2009", 150.0, 0.0, 3.0, 10.0, 0.0, 5.0, 20.0, 0.0, 5.0},
    {"工程二等", kOptical, "GB 50026-2020", 50.0, 0.0, 1.0, 3.0, 0.5, 0.7, 4.0, 0.0, 1.0},
    {"工程二等", kDigital, "GB 50026-2020", 50.0, 0.0, 1.0, 3.0, 0.0, 0.7, 4.0, 0.0, 1.0},
    {"工程三等", kOptical, "GB 50026-2020", 75.0, 0.0, 3.0, 6.0, 2.0, 3.0, 12.0, 4.0, 3.0},
    {"工程三等", kDigital, "GB 50026-2020", 100.0, 0.0, 3.0, 6.0, 0.0, 1.5, 12.0, 4.0, 3.0},
    {"工程四等", kOptical, "GB 50026-2020", 100.0, 0.0, 5.0, 10.0, 3.0, 5.0, 20.0, 6.0, 5.0},
    {"工程四等", kDigital, "GB 50026-2020", 100.0, 0.0, 5.0, 10.0, 0.0, 5.0, 20.0, 6.0, 5.0},
    // 工程五等: backsight and foresight distances only "about equal", not checked.
    {"工程五等", kOptical, "GB 50026-2020", 100.0, 0.0, 0.0, 0.0, 0.0, 0.0, 30.0, 0.0, 7.5},
    {"工程五等", kDigital, "GB 50026-2020", 100.0, 0.0, 0.0, 0.0, 0.0, 0.0, 30.0, 0.0, 7.5},
};

}  // namespace

const std::vector<std::string>& fieldGrades() {
  static const std::vector<std::string> grades = {"一等",     "二等",     "三等",     "四等",
                                                  "工程二等", "工程三等", "工程四等", "工程五等"};
  return grades;
}

GradeTolerances gradeTolerances(const std::string& grade, Instrument instrument) {
  for (const ToleranceRow& row : kTolerances) {
    if (grade != row.grade || instrument != row.instrument) continue;
    GradeTolerances t;
    t.grade = grade;
    t.source = row.source;
    t.maxSight = row.maxSight;
    t.minSight = row.minSight;
    t.maxSightDifference = row.maxSightDifference;
    t.maxCumulativeDifference = row.maxCumulativeDifference;
    t.maxReadingDifference = row.maxReadingDifference;
    t.maxHeightDifference = row.maxHeightDifference;
    t.roundTripCoefficient = row.roundTripCoefficient;
    t.mountainCoefficient = row.mountainCoefficient;
    t.maxRandomErrorKm = row.maxRandomErrorKm;
    return t;
  }
  std::string known;
  for (const std::string& g : fieldGrades()) known += (known.empty() ? "" : "、") + g;
  throw InputError("未知的等级“" + grade + "”（可用 " + known + "）");
}

}  // namespace levelnet::fieldbook
