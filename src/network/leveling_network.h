// The input of one adjustment, gathered from the fields and tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "network/text_table.h"

namespace levelnet {

// Two rows of the points table with the same name: observations refer to
// the first, so the second takes no part through its name.
struct DuplicateName {
  std::string name;
  int firstRow = 0;
  int row = 0;
};

// Points are numbered by their data row in the points table: known points
// 1..knownCount, then unknown points; unknown point p is parameter
// p - knownCount. Observations are numbered by their row in the observation
// table. Every array runs 0..count with element 0 unused.
struct LevelingNetwork {
  int knownCount = 0;
  int unknownCount = 0;
  int observationCount = 0;
  int pointCount = 0;             // knownCount + unknownCount, at most the limits' points
  int parameterCount = 0;         // unknownCount
  double unitWeightLength = 0.0;  // km; a route of this length has weight 1

  std::vector<std::string> pointName;   // as typed, no trimming
  std::vector<double> elevation;        // m
  std::vector<std::int32_t> fromPoint;  // point numbers
  std::vector<std::int32_t> toPoint;
  std::vector<double> observedDifference;  // m, elevation of to minus elevation of from
  std::vector<double> routeLength;         // km
  // The decimals of each observed difference's text (4 for "1.2345": a
  // resolution of 0.1 mm), for telling rounding from a blunder; empty for a
  // network not gathered from text.
  std::vector<std::int8_t> differenceDecimals;

  // Point number of a name: exact, case-sensitive, no trimming; with
  // duplicate names the lowest point number wins; 0 when no point matches.
  std::int32_t pointNumberOf(std::string_view name) const;

  // Rebuilds the name index from pointName (names 1..pointCount); call
  // after filling pointName.
  // Fills duplicateNames.
  void indexNames();

  // Every later row whose name an earlier row already has, in row order.
  std::vector<DuplicateName> duplicateNames;
  // Points (rows of the points table) whose elevation cell was empty and
  // counts as 0.
  std::vector<int> emptyElevationRows;
  // A planned network only: rows of the observation table whose observed
  // difference was empty and counts as 0.
  std::vector<int> plannedRows;

 private:
  // The name index: open addressing with linear probing over a power-of-two
  // number of slots, at most half of them used. A slot holds the name's hash
  // and its point number (0: empty), so a probe compares names only where
  // the hashes agree.
  struct NameSlot {
    std::uint32_t hash = 0;
    std::int32_t point = 0;
  };
  std::vector<NameSlot> nameSlots_;
};

// The largest number of points a network may hold for the textbook report
// and the window (point numbers are 16-bit in the .pc tradition).
inline constexpr int kMaxPoints = 32767;
// The largest number of observations a network may hold for them.
inline constexpr int kMaxObservations = 100000;

// How large a network a use accepts. The textbook report prints N and Q,
// t x t numbers each, and keeps the .pc limits above. The results mode
// (adjust --results), the results table and check take time and memory
// about in proportion to the network (a sparse factorisation) and accept
// larger ones, as far as the header counts of a .pc file, plain numbers,
// carry them.
struct NetworkLimits {
  int points = kMaxPoints;
  int observations = kMaxObservations;
};
inline constexpr NetworkLimits kReportLimits{kMaxPoints, kMaxObservations};
inline constexpr NetworkLimits kLargeNetworkLimits{1048576, 2097152};

// Bounds no real network comes near. Beyond them the values would destroy
// the result (an elevation of 1e13 m leaves no digits for millimetres; a
// difference of 1e300 m overflows [pvv]), so a run refuses them.
inline constexpr double kMaxAbsElevation = 1e5;      // m, elevations and observed differences
inline constexpr double kMinRouteLength = 1e-6;      // km, route lengths and the unit-weight length
inline constexpr double kMaxRouteLength = 1e5;       // km
inline constexpr double kMaxRouteLengthRatio = 1e6;  // longest route over shortest: the ratio of the weights

// A warning for a duplicate name: both rows and which one counts.
std::string duplicateNameWarning(const DuplicateName& duplicate);

// Checks the fields and tables and gathers the network from them. Nothing is
// changed when something is wrong: InputError lists every problem found (up
// to 20), each naming the field or table, row, column and text. An empty
// elevation cell counts as 0. Elevations and differences beyond
// kMaxAbsElevation, lengths outside kMinRouteLength..kMaxRouteLength and
// routes whose lengths differ by more than kMaxRouteLengthRatio are refused.
// Duplicate names are not refused (the first row counts) but listed in
// duplicateNames. More points than `limits` allow are refused. The caller
// handles an empty known-point field before calling.
//
// A planned network (GatherMode::plannedNetwork: a design before the routes
// are leveled, or a drawing) may leave observed differences empty (they
// count as 0 and are listed in plannedRows) and may have no redundant
// observation; everything else is checked as for an adjustment.
enum class GatherMode { adjustment, plannedNetwork };
LevelingNetwork gatherNetwork(const ParameterFields& fields, const TextTable& points, const TextTable& observations,
                              NetworkLimits limits = kReportLimits, GatherMode mode = GatherMode::adjustment);

}  // namespace levelnet
