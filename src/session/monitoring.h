// Settlement monitoring as both shells run it: a monitoring project opened
// with every epoch's .pc file read and gathered (every refusal naming the
// project file's line and the epoch's file), the monitoring run, and its
// tables as files in the formats of the 成果表.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "monitor/monitoring_project.h"
#include "monitor/settlement.h"
#include "network/gbk.h"
#include "session/results_files.h"

namespace levelnet::session {

struct MonitoringInput {
  monitor::MonitoringProject project;
  std::vector<monitor::EpochNetwork> epochs;
  // Said to the user: an epoch read as UTF-8, or read as GBK though it reads
  // as well in UTF-8.
  std::vector<std::string> encodingNotes;
  // The project file and every epoch's file: no output may replace one.
  std::vector<std::string> inputFiles;
};

// Reads the project and every epoch (each .pc in its own encoding, as Open
// decides it; `forced` is the project file's). Throws InputError naming the
// project file and line (and the epoch's file, table, row), FileError for a
// file that cannot be read (with the project line that names it),
// OutOfMemoryError.
MonitoringInput openMonitoringProject(const std::string& path, std::optional<FileEncoding> forced = std::nullopt);

// The monitoring of the opened epochs; `progress` as runMonitoring's.
monitor::MonitoringResults runMonitoring(const MonitoringInput& input,
                                         const std::function<void(int epoch)>& progress = {});

// The tables in a format of the 成果表's (text, CSV in UTF-8 or GBK, JSON,
// XLSX). Throws InputError as resultsFileBytes.
std::string monitoringFileBytes(const monitor::MonitoringResults& results, ResultsFormat format);

}  // namespace levelnet::session
