// The monitoring project file (.mon): the epochs of one settlement
// monitoring, each an ordinary .pc network, the reference benchmarks, the
// warning values and the settings of the settlement figures. Plain text in
// UTF-8 or GBK (decided as for .pc files), one statement a line:
//
//   # 1 号楼沉降观测                      a comment line (# or ;), or an empty line
//   名称 = 1 号楼沉降观测                  optional
//   基准点 = BM1, BM2, BM3                 the reference benchmarks (required)
//   监测点 = J1, J2, …                     optional: the points tabled (default: all others)
//   预警值 = 累计 30, 速率 0.2             mm and mm/d, for every point (either may be left out)
//   预警值 J5 = 累计 20                    for one point
//   注意比例 = 70%                         the share of a warning value marked 注意
//   稳定速率 = 0.04                        mm/d over the last 100 days, below which a point is 稳定
//   荷载单位 = 层                          the unit of numeric loads
//   期 = 2024-03-01, epoch01.pc, 3, 首次观测
//   期 = 2024-03-16 09:30, epoch02.pc, 主体封顶
//
// An epoch line: date (YYYY-MM-DD, / or . also, with an optional time
// HH:MM[:SS]), the .pc file relative to the project file's folder, an
// optional load (a number, in 荷载单位) or construction stage (any text),
// an optional note (the rest of the line, commas and all); separated by
// commas (, or ，), a field may be in double quotes. Keys and values may be separated by = ＝ : or ：. Epochs are in
// time order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "network/gbk.h"

namespace levelnet::monitor {

// The largest project file read.
inline constexpr std::size_t kMaxMonitoringProjectBytes = std::size_t(1) << 20;
// The most epochs a project may hold.
inline constexpr int kMaxEpochs = 1000;

// Warning values (预警值) of a point: cumulative settlement in mm and rate in
// mm/d, compared with the magnitude of the figures; either may be absent.
struct WarningValues {
  std::optional<double> cumulative;  // mm
  std::optional<double> rate;        // mm/d
};

struct PointWarning {
  std::string point;
  WarningValues values;
  int line = 0;
};

struct EpochEntry {
  int line = 0;                // of the project file
  std::string dateText;        // as written
  double day = 0.0;            // days since 1970-01-01, with the time's fraction
  std::string file;            // as written, relative to the project's folder
  std::string path;            // the file to open
  std::string stage;           // the load or stage as written ("" when none)
  std::optional<double> load;  // the stage when it is a number
  std::string note;
};

struct MonitoringSettings {
  double attentionFraction = 0.7;  // 注意 from this share of a warning value
  double stableRate = 0.04;        // mm/d; JGJ 8-2016: 0.01 to 0.04 mm/d by the site's soil
};

struct MonitoringProject {
  std::string file;  // the project file as named
  FileEncoding encoding = FileEncoding::gbk;
  std::string name;
  std::vector<std::string> references;
  int referencesLine = 0;
  std::vector<std::string> monitoredPoints;  // empty: every point but the references
  int monitoredLine = 0;
  WarningValues warningForAll;
  std::vector<PointWarning> pointWarnings;
  MonitoringSettings settings;
  std::string loadUnit;
  std::vector<EpochEntry> epochs;
};

// Reads a project from its bytes; `file` names it in messages and its folder
// is the one the epochs' files are relative to. Throws InputError naming the
// file, the line and the text: an unknown key, a bad date or number, dates
// out of order or repeated, no epochs, no reference points, a name listed
// twice.
MonitoringProject parseMonitoringProject(std::string_view bytes, const std::string& file,
                                         std::optional<FileEncoding> forced = std::nullopt);

// Reads the project file (at most kMaxMonitoringProjectBytes). Throws
// FileError when it cannot be read, InputError as above.
MonitoringProject readMonitoringProject(const std::string& path, std::optional<FileEncoding> forced = std::nullopt);

// The warning values that hold for a point.
WarningValues warningValuesOf(const MonitoringProject& project, const std::string& point);

// Days since 1970-01-01 of a date "YYYY-MM-DD[ HH:MM[:SS]]" (/ or . for -);
// nothing when it is not a valid date and time.
std::optional<double> parseEpochDate(std::string_view text);

// A name's key for telling near-duplicates: blanks (also full-width) dropped,
// ASCII letters in lower case, full-width letters and digits as ASCII.
std::string nameKey(std::string_view name);

}  // namespace levelnet::monitor
