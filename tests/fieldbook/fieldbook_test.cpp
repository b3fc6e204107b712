// Field records into networks: a line reduced by hand, each tolerance
// broken once, a forward and backward pair, the same line from a GSI-16 and
// a DiNi file, and bad files refused with file, line and reason.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fieldbook/field_file.h"
#include "fieldbook/import.h"
#include "fieldbook/readers.h"
#include "fieldbook/reduction.h"
#include "network/errors.h"

namespace levelnet::fieldbook {
namespace {

const std::string kCases = LEVELNET_CASES_DIR "/fieldbook/";
const std::string kExample = LEVELNET_EXAMPLES_DIR "/fieldbook_four_order.csv";

const char kHeader[] = "后视点,前视点,后尺下丝,后尺上丝,前尺下丝,前尺上丝,后视黑面,后视红面,前视黑面,前视红面\n";

std::vector<FieldLine> csvLines(const std::string& body) {
  return readHandbookCsv(decodeFieldBytes(std::string(kHeader) + body, "t.csv"));
}

// The forward run of the example, stations 1 to 4 (BM1 to P1), reduced by
// hand: distances from the stadia wires, K + black − red of each staff, the
// black and the corrected red height difference, their difference and mean.
TEST(FieldbookReduction, FourStationsReducedByHand) {
  const std::vector<FieldLine> lines = readHandbookCsv(readFieldFile(kExample));
  ASSERT_EQ(lines.size(), 2u);
  struct Expected {
    double back, fore, d, sum, backK, foreK, black, red, diff, mean;
  };
  const Expected expected[] = {
      {36.6, 36.8, -0.2, -0.2, 1, 0, 1134, 1133, 1, 1133.5},
      {37.4, 37.5, -0.1, -0.3, 1, -1, -74, -76, 2, -75.0},
      {37.5, 37.7, -0.2, -0.5, 0, 1, -140, -139, -1, -139.5},
      {26.5, 26.7, -0.2, -0.7, 1, 1, -175, -175, 0, -175.0},
  };
  const FieldReduction reduced = reduceField(lines, {}, "四等");
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("station " + std::to_string(i + 1));
    const FieldStation& s = lines[0].stations[i];
    const StationReduction& r = reduced.stations[0][i];
    const Expected& e = expected[i];
    EXPECT_NEAR(s.back.distance, e.back, 1e-9);
    EXPECT_NEAR(s.fore.distance, e.fore, 1e-9);
    EXPECT_NEAR(r.sightDifference, e.d, 1e-9);
    EXPECT_NEAR(r.cumulativeDifference, e.sum, 1e-9);
    EXPECT_EQ(*r.backReadingDifference, e.backK);
    EXPECT_EQ(*r.foreReadingDifference, e.foreK);
    EXPECT_EQ(r.firstHeight, e.black);
    EXPECT_EQ(*r.secondHeight, e.red);
    EXPECT_EQ(*r.heightDifferenceDifference, e.diff);
    EXPECT_EQ(r.meanHeight, e.mean);
  }
  // The section BM1 - P1: 4 stations, 276.7 m, +744.0 mm.
  ASSERT_EQ(reduced.sections.size(), 3u);
  const Section& s = reduced.sections[0];
  EXPECT_EQ(s.from, "BM1");
  EXPECT_EQ(s.to, "P1");
  EXPECT_EQ(s.stations, 4);
  EXPECT_NEAR(s.lengthM, 276.7, 1e-9);
  EXPECT_EQ(s.heightMm, 744.0);
  // The running sum starts again with the next section.
  EXPECT_NEAR(reduced.stations[0][4].cumulativeDifference, 0.0, 1e-12);
  EXPECT_TRUE(reduced.violations.empty());
}

// Each tolerance of 四等 (GB/T 12898, DS3) broken once, and only it.
TEST(FieldbookChecks, EachToleranceBrokenOnce) {
  struct Case {
    const char* name;
    std::string rows;
    int station;
    const char* what;
    double value;
  };
  const Case cases[] = {
      {"sight length", "A,B,2510,1500,2490,1500,1500,6187,1500,6287\n", 1, "后视距（视线长度）", 101.0},
      {"sight difference", "A,B,2000,1500,1969,1500,1500,6187,1500,6287\n", 1, "前后视距差", 3.1},
      {"running sum",
       "A,,2000,1500,1972,1500,1500,6187,1500,6287\n,,2000,1500,1972,1500,1500,6287,1500,6187\n"
       ",,2000,1500,1972,1500,1500,6187,1500,6287\n,B,2000,1500,1972,1500,1500,6287,1500,6187\n",
       4, "视距累积差", 11.2},
      {"black and red readings", "A,B,2000,1500,2000,1500,1500,6191,1500,6287\n", 1, "后尺黑红面读数差", -4.0},
      {"two height differences", "A,B,2000,1500,2000,1500,1500,6184,1500,6290\n", 1, "黑红面高差之差", 6.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FieldReduction reduced = reduceField(csvLines(c.rows), {}, "四等");
    ASSERT_EQ(reduced.violations.size(), 1u);
    const Violation& v = reduced.violations[0];
    EXPECT_EQ(v.station, c.station);
    EXPECT_EQ(v.what, c.what);
    EXPECT_NEAR(v.value, c.value, 1e-9);
  }
  // At the limit passes: 3.0 m, 3 mm and 5 mm as shown.
  EXPECT_TRUE(reduceField(csvLines("A,B,2000,1500,1970,1500,1500,6190,1500,6285\n"), {}, "四等").violations.empty());
  // 三等 holds the same station to 75 m.
  EXPECT_EQ(reduceField(csvLines("A,B,2300,1500,2300,1500,1500,6187,1500,6287\n"), {}, "三等").violations.size(), 2u);
}

// Every grade's station limits for the handbook (optical level, double-faced
// staffs), written here from the standards (GB/T 12897-2006 二等, GB/T
// 12898-2009 三等/四等, GB 50026-2020 工程二等 to 工程五等): a station exactly
// at each limit passes, one 0.1 beyond it fails on that check alone.
TEST(FieldbookChecks, EveryGradeAtAndBeyondItsLimits) {
  struct Limits {
    const char* grade;
    double sight, sightDifference, readingDifference, heightDifference;  // m, m, mm, mm; 0: no limit
  };
  const Limits grades[] = {
      {"一等", 30, 0.5, 0.3, 0.4},      {"二等", 50, 1.0, 0.4, 0.6},     {"三等", 75, 2.0, 2.0, 3.0},
      {"四等", 100, 3.0, 3.0, 5.0},     {"工程二等", 50, 1.0, 0.5, 0.7}, {"工程三等", 75, 3.0, 2.0, 3.0},
      {"工程四等", 100, 5.0, 3.0, 5.0}, {"工程五等", 100, 0, 0, 0},
  };
  // One station A → B: sight lengths from the stadia wires (0.1 m per mm),
  // black readings 1500, red readings 1500 + K + e (K 4687 back, 4787 fore),
  // so the reading differences are −e and the difference of the two height
  // differences is e_back − e_fore.
  auto station = [](double back, double fore, double backError, double foreError) {
    char row[200];
    std::snprintf(row, sizeof row, "A,B,%.1f,1500,%.1f,1500,1500,%.1f,1500,%.1f\n", 1500 + back * 10, 1500 + fore * 10,
                  6187 + backError, 6287 + foreError);
    return csvLines(row);
  };
  // The one-station section is odd, which 一等 and 二等 refuse: that check
  // has its own test (LineHeightAndEvenStations).
  auto violations = [](const std::vector<FieldLine>& lines, const char* grade) {
    std::vector<std::string> what;
    for (const Violation& v : reduceField(lines, {}, grade).violations)
      if (v.what.rfind("测段测站数", 0) != 0) what.push_back(v.what);
    return what;
  };
  using Names = std::vector<std::string>;
  for (const Limits& g : grades) {
    SCOPED_TRACE(g.grade);
    EXPECT_EQ(violations(station(g.sight, g.sight, 0, 0), g.grade), Names{});
    EXPECT_EQ(violations(station(g.sight + 0.1, g.sight + 0.1, 0, 0), g.grade),
              (Names{"后视距（视线长度）", "前视距（视线长度）"}));
    if (g.sightDifference > 0) {
      EXPECT_EQ(violations(station(20 + g.sightDifference, 20, 0, 0), g.grade), Names{});
      EXPECT_EQ(violations(station(20 + g.sightDifference + 0.1, 20, 0, 0), g.grade), Names{"前后视距差"});
    } else {
      EXPECT_EQ(violations(station(40, 20, 0, 0), g.grade), Names{});
    }
    if (g.readingDifference > 0) {
      const double r = g.readingDifference, h = g.heightDifference;
      EXPECT_EQ(violations(station(20, 20, r, 0), g.grade), Names{});
      EXPECT_EQ(violations(station(20, 20, 0, r + 0.1), g.grade), (Names{"前尺黑红面读数差"}));
      EXPECT_EQ(violations(station(20, 20, r, -(h - r)), g.grade), Names{});
      EXPECT_EQ(violations(station(20, 20, r, -(h - r) - 0.1), g.grade), Names{"黑红面高差之差"});
    }
  }
}

// A digital level's line in GSI-16 (readings in 0.01 mm, distances in
// 0.01 mm too): each station BF (one reading a staff) or BFFB (two).
struct DigitalStation {
  long long back1, fore1;  // 0.01 mm
  std::optional<long long> back2, fore2;
};

std::vector<FieldLine> gsiLine(const std::vector<DigitalStation>& stations) {
  std::string text;
  int word = 1;
  auto block = [&](const std::string& point, const char* code, long long reading) {
    std::string name(16, '0');
    name.replace(16 - point.size(), point.size(), point);
    char row[160];
    std::snprintf(row, sizeof row, "*11%04d+%s 32...8+%016lld %s.08+%016lld\n", word++, name.c_str(), 2000000LL, code,
                  reading);
    text += row;
  };
  for (std::size_t i = 0; i < stations.size(); ++i) {
    const DigitalStation& s = stations[i];
    const std::string back = i == 0 ? "A" : std::to_string(100 + i);
    const std::string fore = i + 1 == stations.size() ? "B" : std::to_string(101 + i);
    block(back, "331", s.back1);
    block(fore, "332", s.fore1);
    if (s.fore2) block(fore, "336", *s.fore2);
    if (s.back2) block(back, "335", *s.back2);
  }
  return readFieldLines(decodeFieldBytes(text, "line.gsi"));
}

std::vector<std::string> namesOf(const FieldReduction& reduced) {
  std::vector<std::string> what;
  for (const Violation& v : reduced.violations) what.push_back(v.what);
  return what;
}

// The height of the line of sight, at and just beyond each grade's limit:
// the handbook's lower stadia wire (1 mm below fails), a digital level's
// lowest and highest reading (0.01 mm beyond fails); and the grades whose
// table has no such figure (三等, 四等: 三丝能读数; 工程五等) take a wire at 0.
TEST(FieldbookChecks, LineHeightAtAndBeyondItsLimits) {
  using Names = std::vector<std::string>;
  // One handbook station A → B, 20 m sights: the back staff's wires at
  // `low` and low + 200 mm, the fore staff's well up.
  auto optical = [](double low, double sight) {
    char row[200];
    std::snprintf(row, sizeof row, "A,B,%.0f,%.0f,2000,%.0f,%.0f,%.0f,1500,6287\n", low + sight * 10, low,
                  2000 - sight * 10, low + sight * 5, low + sight * 5 + 4687);
    return csvLines(row);
  };
  struct OpticalCase {
    const char* grade;
    double least;  // mm; 0: no figure
    double sight;  // m
  };
  const OpticalCase opticalCases[] = {
      {"一等", 500, 20},     {"二等", 300, 20}, {"工程二等", 500, 20}, {"工程二等", 300, 19}, {"工程三等", 300, 20},
      {"工程四等", 200, 20}, {"三等", 0, 20},   {"四等", 0, 20},       {"工程五等", 0, 20},
  };
  for (const OpticalCase& c : opticalCases) {
    SCOPED_TRACE(std::string(c.grade) + " sight " + std::to_string(c.sight));
    auto odd = [&](double low) {
      Names n = namesOf(reduceField(optical(low, c.sight), {}, c.grade));
      std::erase_if(n, [](const std::string& w) { return w.rfind("测段测站数", 0) == 0; });
      return n;
    };
    EXPECT_EQ(odd(c.least), Names{});
    if (c.least > 0) {
      EXPECT_EQ(odd(c.least - 1), Names{"后尺视线高度（下丝读数）"});
      const FieldReduction r = reduceField(optical(c.least - 1, c.sight), {}, c.grade);
      EXPECT_NEAR(r.violations[0].value, (c.least - 1) / 1000.0, 1e-12);
      EXPECT_EQ(r.violations[0].sourceLine, 2);
    }
  }
  // A book without the wires (distances given) has no line height to check.
  const std::string distances =
      "后视点,前视点,后视距,前视距,后视黑面,后视红面,前视黑面,前视红面\nA,B,20,20,100,4787,1500,6287\n";
  EXPECT_TRUE(reduceField(readHandbookCsv(decodeFieldBytes(distances, "d.csv")), {}, "工程四等").violations.empty());

  struct DigitalCase {
    const char* grade;
    long long least, most;  // 0.01 mm; 0: no figure
  };
  const DigitalCase digitalCases[] = {
      {"一等", 65000, 280000}, {"二等", 55000, 280000}, {"工程二等", 50000, 0}, {"工程三等", 30000, 0}, {"三等", 0, 0}};
  for (const DigitalCase& c : digitalCases) {
    SCOPED_TRACE(c.grade);
    // Two stations (an even section), the second's back readings at the
    // limits; its first station's readings in the middle of the staff.
    auto line = [&](long long low, long long high) {
      return gsiLine({{150000, 150000, 150000, 150000}, {low, high, low, high}});
    };
    const long long low = c.least > 0 ? c.least : 100, high = c.most > 0 ? c.most : 300000;
    EXPECT_EQ(namesOf(reduceField(line(low, high), {}, c.grade)), Names{}) << low << " " << high;
    if (c.least > 0) {
      const FieldReduction r = reduceField(line(low - 1, high), {}, c.grade);
      EXPECT_EQ(namesOf(r), Names{"后尺视线高度（最低读数）"});
      EXPECT_EQ(r.violations[0].station, 2);
    }
    if (c.most > 0)
      EXPECT_EQ(namesOf(reduceField(line(low, high + 1), {}, c.grade)), Names{"前尺视线高度（最高读数）"});
  }
}

// 一等 and 二等 want an even number of stations in every section (the
// staffs' zero-point difference then cancels); the other grades do not.
// A digital level's two readings of one staff have no limit at 一、二等;
// their two height differences are held to the 基辅分划 limit, which for
// 三等 with a DS1-class level is 1.5 mm.
TEST(FieldbookChecks, EvenStationsAndDigitalStationLimits) {
  using Names = std::vector<std::string>;
  const DigitalStation plain{150000, 140000, 150000, 140000};
  for (const char* grade : {"一等", "二等", "三等", "工程二等"}) {
    SCOPED_TRACE(grade);
    const bool even = std::string(grade) == "一等" || std::string(grade) == "二等";
    EXPECT_EQ(namesOf(reduceField(gsiLine({plain, plain}), {}, grade)), Names{});
    const FieldReduction three = reduceField(gsiLine({plain, plain, plain}), {}, grade);
    if (even) {
      ASSERT_EQ(three.violations.size(), 1u);
      const Violation& v = three.violations[0];
      EXPECT_EQ(v.what, "测段测站数（A—B）");
      EXPECT_EQ(v.station, 3);
      EXPECT_EQ(v.value, 3.0);
      EXPECT_EQ(v.limitText, "偶数");
      EXPECT_EQ(v.sourceLine, 9);  // the third station's first record
    } else {
      EXPECT_TRUE(three.violations.empty());
    }
  }
  // A section ended inside a line by a known point is judged on its own.
  const FieldReduction cut = reduceField(gsiLine({plain, plain, plain}), {"101"}, "二等");
  ASSERT_EQ(cut.violations.size(), 1u);
  EXPECT_EQ(cut.violations[0].what, "测段测站数（A—101）");  // 1 station; 101—B has 2

  // Two readings of the fore staff 1 mm apart, both height differences
  // agreeing within 0.5 mm: no limit on the readings.
  const DigitalStation apart{150000, 140000, 150050, 140050 + 100};
  EXPECT_EQ(namesOf(reduceField(gsiLine({apart, plain}), {}, "二等")), Names{"两次高差之差"});
  const DigitalStation readings{150000, 140000, 150100, 140100};
  EXPECT_EQ(namesOf(reduceField(gsiLine({readings, plain}), {}, "二等")), Names{});
  EXPECT_EQ(namesOf(reduceField(gsiLine({readings, plain}), {}, "一等")), Names{});
  // 三等 digital: 1.50 mm passes, 1.51 mm fails.
  const DigitalStation atLimit{150000, 140000, 150150, 140000};
  const DigitalStation beyondLimit{150000, 140000, 150151, 140000};
  EXPECT_EQ(namesOf(reduceField(gsiLine({atLimit}), {}, "三等")), Names{});
  EXPECT_EQ(namesOf(reduceField(gsiLine({beyondLimit}), {}, "三等")), Names{"两次高差之差"});
}

// Without K columns the pair's constants are taken once for the line (they
// alternate from station to station): a red face misread by 100 mm, which
// looks like the other staff's, fails its station instead of passing; the
// line may start with either staff.
TEST(FieldbookChecks, StaffConstantsHeldForTheWholeLine) {
  const std::string good[] = {",,2000,1500,2000,1500,1500,6187,1500,6287\n",
                              ",,2000,1500,2000,1500,1500,6287,1500,6187\n"};
  for (int start = 0; start < 2; ++start) {
    SCOPED_TRACE("first back staff " + std::to_string(start == 0 ? 4687 : 4787));
    std::string rows;
    for (int i = 0; i < 4; ++i) {
      std::string row = good[(i + start) % 2];
      if (i == 0) row = "A" + row;
      if (i == 3) row.insert(1, "B");
      // Station 3: the back staff's red face read 100 mm off.
      if (i == 2) row.replace(row.find(start == 0 ? "6187" : "6287"), 4, start == 0 ? "6287" : "6187");
      rows += row;
    }
    const FieldReduction reduced = reduceField(csvLines(rows), {}, "四等");
    ASSERT_EQ(reduced.violations.size(), 2u);
    for (const Violation& v : reduced.violations) EXPECT_EQ(v.station, 3);
    EXPECT_EQ(reduced.violations[0].what, "后尺黑红面读数差");
    EXPECT_DOUBLE_EQ(std::fabs(reduced.violations[0].value), 100.0);
    EXPECT_EQ(reduced.violations[1].what, "黑红面高差之差");
  }
}

// The forward and backward runs of BM1 - P1: Δ = 744.0 − 746.0 = −2.0 mm
// against ±20√0.2784 = ±10.6 mm; the mean 0.7450 m over 0.2784 km; M_Δ =
// √(2.0² / 0.2784 / 4) = 1.90 mm.
TEST(FieldbookImport, ForwardAndBackwardPair) {
  ImportOptions options;
  options.known = {{"BM1", "50.000"}, {"BM2", "51.668"}};
  const FieldImport imported = importFieldFiles({kExample}, options);
  EXPECT_TRUE(imported.passed);
  const ProjectData& p = imported.project;
  EXPECT_EQ(p.fields.known, "2");
  EXPECT_EQ(p.fields.unknown, "1");
  EXPECT_EQ(p.fields.observations, "2");
  ASSERT_EQ(p.points.size(), 3u);
  EXPECT_EQ(p.points[2][0], "P1");
  ASSERT_EQ(p.observations.size(), 2u);
  EXPECT_EQ(p.observations[0], (std::array<std::string, 4>{"BM1", "P1", "0.7450", "0.2784"}));
  EXPECT_EQ(p.observations[1], (std::array<std::string, 4>{"P1", "BM2", "0.9200", "0.134"}));
  EXPECT_NE(imported.report.find("-2.0     ±10.6  合格"), std::string::npos) << imported.report;
  EXPECT_NE(imported.report.find("M_Δ = √([ΔΔ/R]/(4n)) = ±1.90 mm"), std::string::npos);

  const std::vector<FieldLine> lines = readHandbookCsv(readFieldFile(kExample));
  const FieldReduction reduced = reduceField(lines, {}, "四等");
  const std::vector<CombinedSection> combined = combineRuns(lines, reduced.sections, "四等", false);
  ASSERT_EQ(combined.size(), 2u);
  EXPECT_DOUBLE_EQ(*combined[0].discrepancyMm, -2.0);
  EXPECT_NEAR(*randomErrorPerKm(combined), std::sqrt(4.0 / 0.2784 / 4.0), 1e-12);

  // Weighting by stations: the route lengths follow the stations, their sum
  // stays the sum of the lengths (0.2784 + 0.134 over 4 + 2 stations).
  options.weightByStations = true;
  const FieldImport byStations = importFieldFiles({kExample}, options);
  EXPECT_EQ(byStations.project.observations[0][3], "0.2749");
  EXPECT_EQ(byStations.project.observations[1][3], "0.1375");
}

// In mountains the engineering grades judge Δ by the stations: ±6√4 mm.
TEST(FieldbookImport, MountainRuleByStations) {
  const std::vector<FieldLine> lines = readHandbookCsv(readFieldFile(kExample));
  const FieldReduction reduced = reduceField(lines, {}, "工程四等");
  const std::vector<CombinedSection> combined = combineRuns(lines, reduced.sections, "工程四等", true);
  EXPECT_TRUE(combined[0].limitByStations);
  EXPECT_DOUBLE_EQ(combined[0].limitMm, 12.0);
  EXPECT_FALSE(combineRuns(lines, reduced.sections, "四等", true)[0].limitByStations);
}

// The same BFFB line (BM1 - 1001 - P2) from a Leica GSI-16 and a Trimble
// DiNi file: h = (511.15 + 511.10)/2 + (499.80 + 500.00)/2 = 1011.025 mm,
// 90.7 m; and a GSI-8 BF line of the same first readings.
TEST(FieldbookImport, GsiAndDiniGiveTheSameObservations) {
  ImportOptions options;
  options.known = {{"BM1", "50"}};
  const FieldImport gsi = importFieldFiles({kCases + "line_bffb.gsi"}, options);
  const FieldImport dini = importFieldFiles({kCases + "line_bffb.dat"}, options);
  ASSERT_EQ(gsi.project.observations.size(), 1u);
  EXPECT_EQ(gsi.project.observations[0], (std::array<std::string, 4>{"BM1", "P2", "1.0110", "0.0907"}));
  EXPECT_EQ(dini.project.observations, gsi.project.observations);
  EXPECT_EQ(dini.project.points, gsi.project.points);

  const std::vector<FieldLine> lines = readFieldLines(readFieldFile(kCases + "line_bffb.gsi"));
  const FieldReduction reduced = reduceField(lines, {}, "二等");
  EXPECT_NEAR(reduced.stations[0][0].meanHeight, 511.125, 1e-9);
  EXPECT_NEAR(*reduced.stations[0][1].heightDifferenceDifference, -0.20, 1e-9);
  EXPECT_NEAR(reduced.sections[0].heightMm, 1011.025, 1e-9);
  // 二等 holds the fore readings of station 2 (0.10 mm) and the height
  // differences (0.20 mm) within 0.4 and 0.6 mm.
  EXPECT_TRUE(reduced.violations.empty());

  const std::string gsi8 =
      "110001+00000BM1 32...0+00020500 331..0+00001523\n"
      "110002+00001001 32...0+00020400 332..0+00001012\n"
      "110003+00001001 32...0+00025000 331..0+00001400\n"
      "110004+000000P2 32...0+00024800 332..0+00000900\n";
  const std::vector<FieldLine> bf = readFieldLines(decodeFieldBytes(gsi8, "bf.gsi"));
  ASSERT_EQ(bf.size(), 1u);
  ASSERT_EQ(bf[0].stations.size(), 2u);
  EXPECT_EQ(bf[0].stations[1].method, StationMethod::singleReading);
  EXPECT_EQ(reduceField(bf, {}, "四等").sections[0].heightMm, 1011.0);
}

// The same readings give the same height difference in GSI (counts of
// 0.01 mm) and DiNi (metres with five decimals), also where the sum of a
// section is a tie of the 0.1 mm rounding: generated BF lines whose half
// millimetres sit exactly on .x5.
TEST(FieldbookImport, GsiAndDiniAgreeOnTies) {
  std::uint32_t seed = 12345;
  auto next = [&seed](std::uint32_t range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % range;
  };
  auto gsiWord = [](const std::string& head, long long value) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%c%016lld", head.c_str(), value < 0 ? '-' : '+', value < 0 ? -value : value);
    return std::string(buf);
  };
  auto metres = [](long long counts) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%7lld.%05lld m", counts / 100000, counts % 100000);
    return std::string(buf);
  };
  int ties = 0;
  for (int round = 0; round < 600; ++round) {
    SCOPED_TRACE("line " + std::to_string(round));
    const int stations = 1 + static_cast<int>(next(4));
    std::string gsi, dini = "For M5|Adr     1|TO  Start-Line         BF       1|                      |\n";
    long long sum = 0;  // in 0.01 mm
    int word = 1, address = 2;
    for (int s = 0; s < stations; ++s) {
      const std::string back = s == 0 ? "BM1" : std::to_string(1000 + s);
      const std::string fore = s + 1 == stations ? "P2" : std::to_string(1001 + s);
      // Readings of 0.01 mm resolution, 0.3 to 2.9 m.
      const long long b = 30000 + next(260000), f = 30000 + next(260000);
      sum += b - f;
      char name[40];
      for (const auto& [point, reading, code] : {std::tuple{back, b, "331"}, std::tuple{fore, f, "332"}}) {
        std::snprintf(name, sizeof name, "%16s", point.c_str());
        std::string padded(name);
        for (char& c : padded)
          if (c == ' ') c = '0';
        gsi += "*11" + std::string(4 - std::to_string(word).size(), '0') + std::to_string(word) + "+" + padded + " " +
               gsiWord("32...8", 2000000) + " " + gsiWord(std::string(code) + ".08", reading) + "\n";
        ++word;
        char row[160];
        std::snprintf(row, sizeof row, "For M5|Adr %5d|KD1 %9s      12:00:00  1 1|%s %s   |HD          20.000 m   |\n",
                      address++, point.c_str(), std::string(code) == "331" ? "Rb" : "Rf", metres(reading).c_str());
        dini += row;
      }
    }
    dini += "For M5|Adr " + std::to_string(address) + "|TO  End-Line                    1|                      |\n";
    if (sum % 10 == 5 || sum % 10 == -5) ++ties;
    ImportOptions options;
    options.known = {{"BM1", "50"}};
    const FieldImport a = importFieldTexts({decodeFieldBytes(gsi, "a.gsi")}, options);
    const FieldImport b = importFieldTexts({decodeFieldBytes(dini, "b.dat")}, options);
    ASSERT_EQ(a.project.observations.size(), 1u);
    EXPECT_EQ(a.project.observations, b.project.observations) << gsi << dini;
    // Half up, as written by hand: 0.01 mm counts to 0.1 mm.
    const long long tenths = sum >= 0 ? (sum + 5) / 10 : -((-sum + 4) / 10);
    char expected[40];
    std::snprintf(expected, sizeof expected, "%.4f", static_cast<double>(tenths) / 10000.0);
    EXPECT_EQ(a.project.observations[0][2], expected);
  }
  EXPECT_GT(ties, 30);  // the generator does reach the ties
}

// Bad files: refused with the file, the line and the reason.
TEST(FieldbookImport, BadFilesRefusedWithFileLineAndReason) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* place;
    const char* reason;
  };
  const std::string ok = "*110001+0000000000000BM1 32...8+0000000002050000 331.08+0000000000152345\n";
  const Case cases[] = {
      {"truncated GSI word", ok + "*110002+0000000000001001 32...8+00000000020400\n", "第 2 行", "不完整"},
      {"unknown word index", ok + "*110002+0000000000001001 58..08+0000000002040000\n", "第 2 行",
       "未知的 GSI 字索引 58"},
      {"missing foresight", ok + "*110002+0000000000000BM1 32...8+0000000002050000 331.08+0000000000152345\n",
       "第 2 行", "缺少前视第一次读数"},
      {"missing foresight at the end", ok, "第 1 行", "缺少前视第一次读数"},
      {"GSI unit of angles", "*110001+0000000000000BM1 32...2+0000000002050000 331.08+0000000000152345\n", "第 1 行",
       "不是长度单位"},
      {"DiNi unknown type", "For M5|Adr     1|KD1       BM1      12:01:01  1 1|Qq        1.52345 m   |\n", "第 1 行",
       "未知的 M5 类型标识"},
      {"DiNi not M5", "For M5|Adr 1|KD1 BM1|Rb 1.5 m|HD 20 m|\nFor M4|x\n", "第 2 行", "不是 M5 格式"},
      {"CSV not a number", std::string(kHeader) + "A,B,2000,1500,2000,1500,abc,6187,1500,6287\n", "第 2 行",
       "“后视黑面”“abc”不是数"},
      {"CSV NaN", std::string(kHeader) + "A,B,2000,1500,2000,1500,nan,6187,1500,6287\n", "第 2 行", "不是数"},
      {"CSV huge number", std::string(kHeader) + "A,B,2000,1500,2000,1500,1e300,6187,1500,6287\n", "第 2 行", "不是数"},
      {"CSV unknown column", "后视点,前视点,后视蓝面\n", "第 1 行", "未知的列名“后视蓝面”"},
      {"CSV broken chain",
       std::string(kHeader) +
           "A,B,2000,1500,2000,1500,1500,6187,1500,6287\nC,D,2000,1500,2000,1500,1500,6287,1500,6187\n",
       "第 3 行", "不是上一站的前视点"},
      {"CSV ends at a turning point", std::string(kHeader) + "A,,2000,1500,2000,1500,1500,6187,1500,6287\n", "第 2 行",
       "没有前视点名"},
      {"CSV wrong staff constant", std::string(kHeader) + "A,B,2000,1500,2000,1500,1500,1500,1500,6287\n", "第 2 行",
       "尺常数"},
      {"control character", std::string(kHeader) + "A,B\x01,2000\n", "第 2 行", "控制字符"},
      // A UTF-8 book (its header breaks GBK at once) with a GBK name on its
      // third line: the place is where UTF-8 breaks.
      {"mixed encodings", std::string(kHeader) + "A,B,2000,1500,2000,1500,1500,6187,1500,6287\n\xB5\xE3,\xB5\xE3\n",
       "第 3 行", "按UTF-8编码读得通"},
      // A network file cannot hold a double quote in a name: refused here,
      // at the record, not later when the network is saved.
      {"CSV quote in a name", std::string(kHeader) + "A,B\"1,2000,1500,2000,1500,1500,6187,1500,6287\n", "第 2 行",
       "双引号"},
      {"GSI quote in a name",
       "*110001+000000000000BM\"1 32...8+0000000002050000 331.08+0000000000152345\n" +
           std::string("*110002+0000000000001001 32...8+0000000002040000 332.08+0000000000101230\n"),
       "第 1 行", "双引号"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      readFieldLines(decodeFieldBytes(c.bytes, "bad.txt"));
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find("文件“bad.txt”"), std::string::npos) << m;
      EXPECT_NE(m.find(c.place), std::string::npos) << m;
      EXPECT_NE(m.find(c.reason), std::string::npos) << m;
    }
  }
}

TEST(FieldbookImport, BadOptionsAndNetworksRefused) {
  struct Case {
    const char* name;
    ImportOptions options;
    const char* reason;
  };
  ImportOptions grade;
  grade.grade = "五等";
  ImportOptions elevation;
  elevation.known = {{"BM1", "nan"}};
  ImportOptions absent;
  absent.known = {{"BM9", "1"}};
  ImportOptions unit;
  unit.unitLength = "0";
  ImportOptions twice;
  twice.known = {{"BM1", "1"}, {"BM1", "2"}};
  const Case cases[] = {{"grade", grade, "未知的等级“五等”"},
                        {"elevation", elevation, "高程“nan”"},
                        {"known point not on a section", absent, "“BM9”不是任何测段"},
                        {"unit length", unit, "单位权长度“0”"},
                        {"known twice", twice, "给了两次"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      importFieldFiles({kExample}, c.options);
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  // A closed loop with no section end in it, and a third run of a section.
  const std::string loop =
      std::string(kHeader) + "A,,2000,1500,2000,1500,1500,6187,1500,6287\n,A,2000,1500,2000,1500,1500,6287,1500,6187\n";
  EXPECT_THROW(importFieldTexts({decodeFieldBytes(loop, "loop.csv")}, {}), InputError);
  const std::string row = "A,B,2000,1500,2000,1500,1500,6187,1500,6287\n";
  const std::string thrice = std::string("线路,") + kHeader + "1," + row + "2," + row + "3," + row;
  EXPECT_THROW(importFieldTexts({decodeFieldBytes(thrice, "thrice.csv")}, {}), InputError);
  EXPECT_THROW(readFieldFile(LEVELNET_CASES_DIR "/no_such_field_file.csv"), FileError);
}

}  // namespace
}  // namespace levelnet::fieldbook
