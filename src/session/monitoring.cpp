#include "session/monitoring.h"

#include "monitor/monitoring_tables.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/safe_file.h"
#include "session/network_files.h"
#include "session/source_date.h"

namespace levelnet::session {

namespace {

std::string inQuotes(const std::string& text) { return "“" + text + "”"; }

// The file's lines with their own ends ("\r\n", "\n", "\r" or none).
std::vector<std::string> rawLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    end += bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
    lines.push_back(bytes.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l;
  return out;
}

}  // namespace

std::string projectWithEpochAdded(const std::string& bytes, const std::string& file, const std::string& epoch) {
  const monitor::MonitoringProject project = monitor::parseMonitoringProject(bytes, file);
  const std::string text = "期 = " + epoch;
  if (text.find_first_of("\r\n") != std::string::npos) throw InputError("观测期的文字中不能有换行");
  std::string encoded = text;
  if (project.encoding == FileEncoding::gbk) {
    const std::optional<std::string> gbk = utf8ToGbk(text);
    if (!gbk) throw InputError("观测期" + inQuotes(epoch) + "含有 GBK 编码无法表示的字符，项目文件是 GBK 编码的");
    encoded = *gbk;
  }
  std::vector<std::string> lines = rawLines(bytes);
  const std::string end = bytes.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  // Its place by date: before the first later epoch, else after the last.
  std::size_t comma = std::min(epoch.find(','), epoch.find("，"));
  std::string dateText = epoch.substr(0, comma);
  while (!dateText.empty() && dateText.back() == ' ') dateText.pop_back();
  while (!dateText.empty() && dateText.front() == ' ') dateText.erase(0, 1);
  const std::optional<double> day = monitor::parseEpochDate(dateText);
  if (!day) throw InputError("新观测期的日期" + inQuotes(dateText) + "不对（应写成 2024-03-01 或 2024-03-01 09:30）");
  std::size_t at = lines.size();
  for (const monitor::EpochEntry& e : project.epochs)
    if (e.day > *day) {
      at = static_cast<std::size_t>(e.line) - 1;
      break;
    }
  if (at == lines.size()) at = static_cast<std::size_t>(project.epochs.back().line);
  if (at > 0 && at <= lines.size() && !lines[at - 1].empty() && lines[at - 1].back() != '\n' &&
      lines[at - 1].back() != '\r')
    lines[at - 1] += end;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), encoded + end);
  std::string edited = joined(lines);
  monitor::parseMonitoringProject(edited, file);  // reads back, or the edit is refused
  return edited;
}

std::string projectWithEpochRemoved(const std::string& bytes, const std::string& file, int index) {
  const monitor::MonitoringProject project = monitor::parseMonitoringProject(bytes, file);
  if (index < 0 || index >= static_cast<int>(project.epochs.size())) throw InputError("没有这一期");
  if (project.epochs.size() == 1) throw InputError("项目至少要有一期观测：不能删除最后一期");
  std::vector<std::string> lines = rawLines(bytes);
  lines.erase(lines.begin() + project.epochs[static_cast<std::size_t>(index)].line - 1);
  std::string edited = joined(lines);
  monitor::parseMonitoringProject(edited, file);
  return edited;
}

std::string monitoringProjectBytes(const std::string& path) {
  return readBoundedFile(path, monitor::kMaxMonitoringProjectBytes,
                         "监测项目文件" + inQuotes(path) + "超过 1 MiB 的上限");
}

void saveMonitoringProject(const std::string& path, const std::string& bytes) { saveFileSafely(path, bytes); }

namespace {

MonitoringInput openEpochs(monitor::MonitoringProject project, const std::string& path) {
  MonitoringInput input;
  input.project = std::move(project);
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

}  // namespace

MonitoringInput openMonitoringProject(const std::string& path, std::optional<FileEncoding> forced) {
  return openEpochs(monitor::readMonitoringProject(path, forced), path);
}

MonitoringInput openMonitoringProjectBytes(const std::string& path, const std::string& bytes) {
  return openEpochs(monitor::parseMonitoringProject(bytes, path), path);
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
      return monitor::monitoringXlsx(results, sourceDateEpochFromEnvironment());
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
