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

// The same for the project's bytes as they are to be saved (an edit checked
// before the file is replaced); `path` names it and its folder.
MonitoringInput openMonitoringProjectBytes(const std::string& path, const std::string& bytes);

// The monitoring of the opened epochs; `progress` as runMonitoring's.
monitor::MonitoringResults runMonitoring(const MonitoringInput& input,
                                         const std::function<void(int epoch)>& progress = {});

// The tables in a format of the 成果表's (text, CSV in UTF-8 or GBK, JSON,
// XLSX). Throws InputError as resultsFileBytes.
std::string monitoringFileBytes(const monitor::MonitoringResults& results, ResultsFormat format);

// Editing the epochs of a project file in place: its other lines, comments
// and encoding kept, line ends as the file has them. The edited bytes are
// read back as a project before they are returned, so a file that would not
// read is never saved (InputError naming the line). Epochs stand in time
// order, so an added epoch goes to the place its date gives it.
//   `epoch`: "2024-12-01, epoch09.pc[, stage][, note]", the value of a 期 line.
std::string projectWithEpochAdded(const std::string& bytes, const std::string& file, const std::string& epoch);
// Without the epoch `index` (0 the first); at least one epoch must remain.
std::string projectWithEpochRemoved(const std::string& bytes, const std::string& file, int index);

// The project file's bytes, and saving edited bytes through the safe save.
std::string monitoringProjectBytes(const std::string& path);
void saveMonitoringProject(const std::string& path, const std::string& bytes);

}  // namespace levelnet::session
