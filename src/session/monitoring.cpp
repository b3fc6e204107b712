#include "session/monitoring.h"

#include "monitor/monitoring_tables.h"
#include "network/errors.h"
#include "session/network_files.h"

namespace levelnet::session {

namespace {

std::string inQuotes(const std::string& text) { return "“" + text + "”"; }

}  // namespace

MonitoringInput openMonitoringProject(const std::string& path, std::optional<FileEncoding> forced) {
  MonitoringInput input;
  input.project = monitor::readMonitoringProject(path, forced);
  input.inputFiles.push_back(path);
  for (std::size_t i = 0; i < input.project.epochs.size(); ++i) {
    const monitor::EpochEntry& e = input.project.epochs[i];
    input.inputFiles.push_back(e.path);
    const std::string place = "监测项目文件" + inQuotes(path) + "第 " + std::to_string(e.line) + " 行，第 " +
                              std::to_string(i + 1) + " 期的平差文件" + inQuotes(e.file);
    try {
      OpenSettings settings;
      settings.limits = kLargeNetworkLimits;
      OpenedNetwork opened = openNetwork(e.path, settings);
      if (!opened.encodingNote.empty()) input.encodingNotes.push_back(opened.encodingNote);
      if (!hasKnownPointCount(opened.network)) throw InputError("第 1 行：已知点个数为空");
      LevelingNetwork net =
          gatherNetwork(opened.network.fields, opened.network.points, opened.network.observations, kLargeNetworkLimits);
      input.epochs.push_back({e.file, std::move(net)});
    } catch (const FileError& error) {
      throw FileError(place + "：" + error.what(), error.path(), false, error.systemError());
    } catch (const InputError& error) {
      throw InputError(place + "：" + error.what());
    } catch (const OutOfMemoryError& error) {
      throw OutOfMemoryError(place + "：" + error.what());
    }
  }
  return input;
}

monitor::MonitoringResults runMonitoring(const MonitoringInput& input, const std::function<void(int epoch)>& progress) {
  return monitor::runMonitoring(input.project, input.epochs, progress);
}

std::string monitoringFileBytes(const monitor::MonitoringResults& results, ResultsFormat format) {
  switch (format) {
    case ResultsFormat::csv:
      return monitor::monitoringCsv(results, ResultsEncoding::utf8);
    case ResultsFormat::csvGbk:
      return monitor::monitoringCsv(results, ResultsEncoding::gbk);
    case ResultsFormat::xlsx:
      return monitor::monitoringXlsx(results);
    case ResultsFormat::json:
      return monitor::monitoringJson(results);
    case ResultsFormat::text:
      return monitor::monitoringText(results, ResultsEncoding::utf8);
    case ResultsFormat::textGbk:
      return monitor::monitoringText(results, ResultsEncoding::gbk);
  }
  return {};
}

}  // namespace levelnet::session
