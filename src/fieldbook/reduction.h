// Reducing field records: every station's differences and height
// difference, its checks against the grade's tolerances, the sections
// between named points, and the runs of a section combined into one
// observation (mean of forward and backward, with the 往返测高差不符值).
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fieldbook/field_records.h"
#include "fieldbook/tolerances.h"

namespace levelnet::fieldbook {

struct StationReduction {
  double sightDifference = 0.0;                 // m, backsight minus foresight distance
  double cumulativeDifference = 0.0;            // m, running sum from the start of the section
  std::optional<double> backReadingDifference;  // mm: K + black − red, or first − second reading
  std::optional<double> foreReadingDifference;
  double firstHeight = 0.0;                          // mm: black faces, or first readings
  std::optional<double> secondHeight;                // mm: red faces less K_back − K_fore, or second readings
  std::optional<double> heightDifferenceDifference;  // mm: first − second
  double meanHeight = 0.0;                           // mm
};

// `cumulativeBefore`: the running sum of the section before this station.
StationReduction reduceStation(const FieldStation& station, double cumulativeBefore);

// A station value beyond its tolerance.
struct Violation {
  std::size_t line = 0;  // index into the lines
  int station = 0;       // as numbered in the line
  int sourceLine = 0;    // line of the file
  std::string what;      // "前后视距差", ...
  double value = 0.0;
  double limit = 0.0;
  int decimals = 1;
  std::string unit;       // "m", "mm", "站"
  std::string limitText;  // the limit as the report shows it: "±3.0 m", "≥ 0.55 m", "≤ 2.80 m", "偶数"
};

// The decimals values of a station are shown and compared to: 0.1 m for
// distances; mm to 0.1 for the handbook's whole-mm readings and to 0.01
// for a digital level's.
int readingDecimals(StationMethod method);

// Whether a value as shown (rounded half up to `decimals`) lies beyond a
// limit: |value| > limit.
bool beyond(double value, double limit, int decimals);

std::vector<Violation> checkStation(const FieldStation& station, const StationReduction& r,
                                    const GradeTolerances& tolerances, std::size_t line);

struct Section {
  std::size_t line = 0;
  std::string from, to;
  std::size_t firstStation = 0, lastStation = 0;  // indices into the line's stations
  int stations = 0;
  double heightMm = 0.0;  // sum of the stations' mean height differences
  double lengthM = 0.0;   // sum of backsight and foresight distances
};

struct FieldReduction {
  std::vector<std::vector<StationReduction>> stations;  // per line, per station
  std::vector<Violation> violations;
  std::vector<Section> sections;
};

// The check of a section's number of stations where the grade demands an
// even number: a violation at its last station, or nothing.
std::optional<Violation> checkSectionStations(const FieldLine& line, const Section& section,
                                              const GradeTolerances& tolerances);

// Reduces and checks every station and forms the sections. A digital
// level's station ends a section where its foresight point is one of
// `sectionEnds`, and the last station of a line always does; the
// handbook's stations are marked by the reader. The running sum of the
// distance differences starts again with each section.
FieldReduction reduceField(const std::vector<FieldLine>& lines, const std::set<std::string>& sectionEnds,
                           const std::string& grade);

// One observation of the network from the runs of a section.
struct CombinedSection {
  std::string from, to;
  std::vector<std::size_t> runs;  // indices into the sections, the first gives the direction
  double heightMm = 0.0;          // mean, in the direction from → to
  double lengthKm = 0.0;          // mean of the runs
  double stations = 0.0;          // mean of the runs
  std::optional<double> discrepancyMm;  // 往返测高差不符值: forward + backward (or the difference of two runs one way)
  double limitMm = 0.0;
  bool limitByStations = false;  // ±k√n (mountains) rather than ±k√K
  bool passed = true;
};

// Combines the sections with the same two end points (either direction):
// one run as it is, two as their mean. Throws InputError for a section that
// starts and ends at the same point, one of no length, or three runs or more.
// `mountains`: the grade's ±k√n rule applies where it has one.
std::vector<CombinedSection> combineRuns(const std::vector<FieldLine>& lines, const std::vector<Section>& sections,
                                         const std::string& grade, bool mountains);

// M_Δ = √([ΔΔ/R] / (4n)), mm: Δ the discrepancies (mm), R the lengths (km),
// n the number of sections with both runs; nothing without one.
std::optional<double> randomErrorPerKm(const std::vector<CombinedSection>& combined);

}  // namespace levelnet::fieldbook
