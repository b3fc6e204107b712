// The monitoring of several epochs: every epoch adjusted with its reference
// points held at their first-epoch heights (the adjustment of `levelnet
// results`, so every height and standard error is the epoch's report's),
// the free network on the reference points and their stability against the
// first and the previous epoch, the epoch adjusted again on the stable ones
// where one moved; then for every monitoring point and epoch the settlement
// figures, their standard errors and significance, the warnings and the
// stability of the settlement.
//
// Settlements are differences of heights as the tables print them (0.1 mm):
// 本次 and 累计 are exactly the difference of the printed heights, so that
// the table never disagrees with the epochs' reports. Negative is down.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "monitor/monitoring_project.h"
#include "monitor/reference_frame.h"
#include "network/leveling_network.h"

namespace levelnet::monitor {

// An epoch's network as read and gathered, with its file for messages.
struct EpochNetwork {
  std::string file;  // as the project names it
  LevelingNetwork net;
};

enum class WarningLevel { none, attention, warning };  // —, 注意, 预警

// A figure with its standard error and the text of each.
struct Figure {
  double value = 0.0;
  double sigma = 0.0;
  std::string text;          // the value as tabled
  std::string sigmaText;     // its standard error as tabled
  bool significant = false;  // |value| > 2 sigma
};

struct PointEpoch {
  bool present = false;              // observed in this epoch
  double height = 0.0;               // m
  std::string heightText;            // "0.0000"
  double heightError = 0.0;          // mm (0 for a held point)
  std::string heightErrorText;       // "0.0"
  int previousEpoch = -1;            // the epoch 本次 is against (-1 for the point's first)
  std::optional<Figure> change;      // 本次沉降量, mm
  std::optional<Figure> cumulative;  // 累计沉降量, mm, since the point's first epoch
  std::optional<Figure> rate;        // 沉降速率, mm/d, over the interval of 本次
  WarningLevel level = WarningLevel::none;
};

struct PointSeries {
  std::string name;
  int firstEpoch = -1;  // the first epoch the point was observed in
  std::vector<PointEpoch> epochs;
  WarningValues warning;
  WarningLevel currentLevel = WarningLevel::none;  // at the point's last epoch
  // The rate over the last 100 days (from the last epoch at least 100 d
  // before the last epoch): none when the observations span less.
  std::optional<Figure> lastHundredDaysRate;
  int hundredDaysFrom = -1;
  std::string stability;  // 稳定, 未稳定, 不足 100 d, 末期未观测
};

struct EpochStability {
  StabilityVerdict againstFirst;
  CongruenceTest againstPrevious;
  bool previousTested = false;
  std::vector<std::string> heldReferences;  // the frame of the epoch's adjustment
  std::string note;                         // what the report says about it, in words
};

struct EpochResult {
  EpochEntry entry;
  double intervalDays = 0.0;  // since the previous epoch
  double elapsedDays = 0.0;   // since the first
  int observationCount = 0, pointCount = 0;
  std::string unitWeightErrorText;  // μ of the epoch's adjustment, mm, "0.000"
  FreeNetworkSolution free;
  EpochStability stability;
  std::vector<double> referenceHeights;  // m, in the held frame (held: first-epoch heights)
  std::vector<std::string> referenceHeightTexts;
};

struct MonitoringResults {
  std::string projectName;
  std::string projectFile;
  std::vector<std::string> references;
  std::vector<double> firstHeights;  // m
  MonitoringSettings settings;
  std::string loadUnit;
  std::vector<EpochResult> epochs;
  std::vector<PointSeries> points;  // in order of first appearance
  // Points observed but not tabled (turning points where 监测点 lists the
  // monitoring points), and messages the user must hear (warnings that do not
  // stop the run).
  std::vector<std::string> notes;
  bool anyWarning() const;  // a point in 预警 at its last epoch
};

// Refuses what would make the figures wrong, naming the file and line:
// duplicate names in an epoch, names differing only by blanks or case, a
// reference point absent from an epoch or without a height in the first.
// `progress` (may be empty) is called before each epoch; it may throw to
// stop.
MonitoringResults runMonitoring(const MonitoringProject& project, const std::vector<EpochNetwork>& epochs,
                                const std::function<void(int epoch)>& progress = {});

const char* levelText(WarningLevel level);  // "", 注意, 预警

}  // namespace levelnet::monitor
