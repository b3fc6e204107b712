#include "fieldbook/tolerances.h"

#include "network/errors.h"

namespace levelnet::fieldbook {

namespace {

// One row of the table: a grade's limits for one kind of instrument (the
// handbook's optical level with double-faced staffs, or a digital level).
// A 0 means the standard sets no such limit for that instrument. The source
// of every figure is given beside its row; the README's table says which
// figures could be checked against the standard's text.
struct ToleranceRow {
  const char* grade;
  Instrument instrument;
  const char* source;
  double maxSight, minSight;       // m
  double maxSightDifference;       // m, 前后视距差
  double maxCumulativeDifference;  // m, 视距累积差
  double maxReadingDifference;     // mm, 同尺两读数之差 (黑红面、基辅分划)
  double maxHeightDifference;      // mm, 两次高差之差
  double minLineHeight;            // m, 视线高度: the lowest reading
  double maxLineHeight;            // m, 视线高度: a digital level's highest reading
  bool evenStations;               // 测段测站数为偶数
  double roundTripCoefficient;     // k of ±k√K mm
  double mountainCoefficient;      // k of ±k√n mm in mountains
  double maxRandomErrorKm;         // M_Δ, mm
};

constexpr Instrument kOptical = Instrument::optical;
constexpr Instrument kDigital = Instrument::digital;

// grade, instrument, source, sight max/min, sight difference, cumulative,
// reading difference, height difference, line height min/max, even
// stations, ±k√K, ±k√n, M_Δ.
constexpr ToleranceRow kTolerances[] = {
    // GB/T 12897-2006: the sight table (视线长度, 前后视距差, 任一测站上前后
    // 视距差累积, 视线高度: 光学 下丝读数, 数字 highest and lowest reading),
    // the station table (基辅分划读数的差, 基辅分划所测高差的差; for digital
    // levels no limit on the two readings of a staff, the two height
    // differences held to the 基辅分划 limit), the even number of stations of
    // a section (the staffs' zero-point difference cancels), 往返测高差不符值
    // and M_Δ of the accuracy table.
    {"一等", kOptical, "GB/T 12897-2006", 30.0, 0.0, 0.5, 1.5, 0.3, 0.4, 0.5, 0.0, true, 1.8, 0.0, 0.45},
    {"一等", kDigital, "GB/T 12897-2006", 30.0, 4.0, 1.0, 3.0, 0.0, 0.4, 0.65, 2.80, true, 1.8, 0.0, 0.45},
    {"二等", kOptical, "GB/T 12897-2006", 50.0, 0.0, 1.0, 3.0, 0.4, 0.6, 0.3, 0.0, true, 4.0, 0.0, 1.0},
    {"二等", kDigital, "GB/T 12897-2006", 50.0, 3.0, 1.5, 6.0, 0.0, 0.6, 0.55, 2.80, true, 4.0, 0.0, 1.0},
    // GB/T 12898-2009: the sight table (DS3 75/100 m, DS1 and DS05 100/150 m;
    // 视线高度 三丝能读数, nothing to check in recorded readings), the station
    // table (中丝读数法 2.0/3.0 and 3.0/5.0 mm; 光学测微法 1.0/1.5 mm, whose
    // 1.5 mm the DS1-class digital levels of 三等 are held to), 往返测高差
    // 不符值 and M_Δ of the accuracy table.
    {"三等", kOptical, "GB/T 12898-2009", 75.0, 0.0, 2.0, 5.0, 2.0, 3.0, 0.0, 0.0, false, 12.0, 0.0, 3.0},
    {"三等", kDigital, "GB/T 12898-2009", 100.0, 0.0, 2.0, 5.0, 0.0, 1.5, 0.0, 0.0, false, 12.0, 0.0, 3.0},
    {"四等", kOptical, "GB/T 12898-2009", 100.0, 0.0, 3.0, 10.0, 3.0, 5.0, 0.0, 0.0, false, 20.0, 0.0, 5.0},
    {"四等", kDigital, "GB/T 12898-2009", 150.0, 0.0, 3.0, 10.0, 0.0, 5.0, 0.0, 0.0, false, 20.0, 0.0, 5.0},
    // GB 50026-2020 §4.2: the table of leveling observation (视线长度, 前后
    // 视距差, 前后视距累积差, 视线离地面最低高度, 基辅分划或黑红面读数较差
    // and 所测高差较差; digital levels only to the latter) and the table of
    // the main technical requirements (往返较差, 每千米高差全中误差).
    {"工程二等", kOptical, "GB 50026-2020", 50.0, 0.0, 1.0, 3.0, 0.5, 0.7, 0.5, 0.0, false, 4.0, 0.0, 1.0},
    {"工程二等", kDigital, "GB 50026-2020", 50.0, 0.0, 1.0, 3.0, 0.0, 0.7, 0.5, 0.0, false, 4.0, 0.0, 1.0},
    {"工程三等", kOptical, "GB 50026-2020", 75.0, 0.0, 3.0, 6.0, 2.0, 3.0, 0.3, 0.0, false, 12.0, 4.0, 3.0},
    {"工程三等", kDigital, "GB 50026-2020", 100.0, 0.0, 3.0, 6.0, 0.0, 1.5, 0.3, 0.0, false, 12.0, 4.0, 3.0},
    {"工程四等", kOptical, "GB 50026-2020", 100.0, 0.0, 5.0, 10.0, 3.0, 5.0, 0.2, 0.0, false, 20.0, 6.0, 5.0},
    {"工程四等", kDigital, "GB 50026-2020", 100.0, 0.0, 5.0, 10.0, 0.0, 5.0, 0.2, 0.0, false, 20.0, 6.0, 5.0},
    // 工程五等: backsight and foresight distances only "about equal", not checked.
    {"工程五等", kOptical, "GB 50026-2020", 100.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, false, 30.0, 0.0, 7.5},
    {"工程五等", kDigital, "GB 50026-2020", 100.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, false, 30.0, 0.0, 7.5},
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
    t.minLineHeight = row.minLineHeight;
    t.maxLineHeight = row.maxLineHeight;
    // GB 50026: a sight of 二等 shorter than 20 m may keep its line 0.3 m
    // above the ground.
    if (grade == "工程二等") {
      t.shortSight = 20.0;
      t.shortSightMinLineHeight = 0.3;
    }
    t.evenStations = row.evenStations;
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
