#include "monitor/monitoring_project.h"

#include <cmath>
#include <filesystem>
#include <new>

#include "network/errors.h"
#include "network/file_path.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "network/safe_file.h"

namespace levelnet::monitor {

namespace {

std::string inQuotes(const std::string& text) { return "“" + text + "”"; }

constexpr std::string_view kFullWidthComma = "，";
constexpr std::string_view kFullWidthSpace = "　";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(std::string_view s) {
  for (;;) {
    if (!s.empty() && isBlank(s.front()))
      s.remove_prefix(1);
    else if (s.substr(0, kFullWidthSpace.size()) == kFullWidthSpace)
      s.remove_prefix(kFullWidthSpace.size());
    else
      break;
  }
  for (;;) {
    if (!s.empty() && isBlank(s.back()))
      s.remove_suffix(1);
    else if (s.size() >= kFullWidthSpace.size() && s.substr(s.size() - kFullWidthSpace.size()) == kFullWidthSpace)
      s.remove_suffix(kFullWidthSpace.size());
    else
      break;
  }
  return std::string(s);
}

class LineError {
 public:
  LineError(const std::string& file, int line) : file_(file), line_(line) {}
  [[noreturn]] void operator()(const std::string& what) const {
    throw InputError("监测项目文件" + inQuotes(file_) + "第 " + std::to_string(line_) + " 行：" + what);
  }

 private:
  const std::string& file_;
  int line_;
};

// Splits a value at commas (, or ，); a field in double quotes is its text
// between them. Fields are trimmed; empty fields are kept. With `maxFields`
// the last field is the rest of the value, commas and all.
std::vector<std::string> splitFields(std::string_view value, const LineError& fail, std::size_t maxFields = 0) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  for (;;) {
    while (i < value.size() && isBlank(value[i])) ++i;
    std::string field;
    if (maxFields && fields.size() + 1 == maxFields && !(i < value.size() && value[i] == '"')) {
      fields.push_back(trimmed(value.substr(i)));
      break;
    }
    if (i < value.size() && value[i] == '"') {
      const std::size_t close = value.find('"', i + 1);
      if (close == std::string_view::npos) fail("引号没有结束：" + inQuotes(std::string(value.substr(i))));
      field = std::string(value.substr(i + 1, close - i - 1));
      i = close + 1;
      while (i < value.size() && isBlank(value[i])) ++i;
      if (i < value.size() && value[i] != ',' && value.substr(i, kFullWidthComma.size()) != kFullWidthComma)
        fail("引号后面应是逗号：" + inQuotes(std::string(value.substr(i))));
    } else {
      std::size_t end = i;
      while (end < value.size() && value[end] != ',' && value.substr(end, kFullWidthComma.size()) != kFullWidthComma)
        ++end;
      field = trimmed(value.substr(i, end - i));
      i = end;
    }
    fields.push_back(std::move(field));
    if (i >= value.size()) break;
    i += value[i] == ',' ? 1 : kFullWidthComma.size();
  }
  return fields;
}

// A list of names (基准点, 监测点): commas, or blanks where no comma is given.
std::vector<std::string> nameList(std::string_view value, const LineError& fail) {
  std::vector<std::string> names;
  for (const std::string& field : splitFields(value, fail)) {
    if (field.empty()) fail("点名为空");
    names.push_back(field);
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (nameKey(names[i]) == nameKey(names[j]))
        fail(names[i] == names[j] ? "点名" + inQuotes(names[i]) + "列出了两次"
                                  : "点名" + inQuotes(names[i]) + "与" + inQuotes(names[j]) + "只差空格或大小写");
  return names;
}

double positiveNumber(const std::string& text, const char* what, const LineError& fail) {
  std::string number = text;
  for (const char* unit : {"mm/d", "mm", "%"})
    if (number.size() > std::string_view(unit).size() &&
        number.compare(number.size() - std::string_view(unit).size(), std::string::npos, unit) == 0) {
      number.resize(number.size() - std::string_view(unit).size());
      break;
    }
  const std::optional<double> v = parseNumber(number);
  if (!v || !(*v > 0) || *v > 1e6) fail(std::string(what) + "应是大于 0 的数：" + inQuotes(text));
  return *v;
}

// "累计 30, 速率 0.2" (either part may be left out; 累计沉降 / 沉降速率 also).
WarningValues warningValues(std::string_view value, const LineError& fail) {
  WarningValues values;
  for (const std::string& field : splitFields(value, fail)) {
    std::string_view f = field;
    std::optional<double>* target = nullptr;
    for (auto [word, slot] : {std::pair<std::string_view, std::optional<double>*>{"累计沉降", &values.cumulative},
                              {"累计", &values.cumulative},
                              {"沉降速率", &values.rate},
                              {"速率", &values.rate}})
      if (f.substr(0, word.size()) == word) {
        f.remove_prefix(word.size());
        target = slot;
        break;
      }
    if (!target) fail("预警值应写成“累计 30, 速率 0.2”（mm、mm/d）：" + inQuotes(field));
    if (*target) fail("预警值" + inQuotes(field) + "给了两次");
    std::string rest = trimmed(f);
    if (!rest.empty() && (rest[0] == '=' || rest[0] == ':')) rest = trimmed(rest.substr(1));
    *target = positiveNumber(rest, "预警值", fail);
  }
  if (!values.cumulative && !values.rate) fail("预警值为空");
  return values;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

bool readDigits(std::string_view& s, int minDigits, int maxDigits, int& value) {
  int n = 0;
  value = 0;
  while (n < maxDigits && n < static_cast<int>(s.size()) && s[n] >= '0' && s[n] <= '9')
    value = value * 10 + (s[n++] - '0');
  if (n < minDigits) return false;
  s.remove_prefix(n);
  return true;
}

}  // namespace

std::string nameKey(std::string_view name) {
  std::string key;
  for (std::size_t i = 0; i < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (isBlank(name[i])) {
      ++i;
    } else if (name.substr(i, kFullWidthSpace.size()) == kFullWidthSpace) {
      i += kFullWidthSpace.size();
    } else if (c == 0xEF && i + 2 < name.size()) {
      // Full-width forms U+FF01..U+FF5E as their ASCII letters.
      const unsigned cp = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(name[i + 1]) & 0x3F) << 6) |
                          (static_cast<unsigned char>(name[i + 2]) & 0x3F);
      if (cp >= 0xFF01 && cp <= 0xFF5E) {
        char ascii = static_cast<char>(cp - 0xFF01 + 0x21);
        if (ascii >= 'A' && ascii <= 'Z') ascii = static_cast<char>(ascii - 'A' + 'a');
        key += ascii;
      } else {
        key.append(name.substr(i, 3));
      }
      i += 3;
    } else {
      key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
      ++i;
    }
  }
  return key;
}

std::optional<double> parseEpochDate(std::string_view text) {
  std::string_view s = text;
  int year = 0, month = 0, day = 0;
  if (!readDigits(s, 4, 4, year) || s.empty()) return std::nullopt;
  const char sep = s[0];
  if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
  s.remove_prefix(1);
  if (!readDigits(s, 1, 2, month) || s.empty() || s[0] != sep) return std::nullopt;
  s.remove_prefix(1);
  if (!readDigits(s, 1, 2, day)) return std::nullopt;
  static const int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1900 || month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1] ||
      (month == 2 && day == 29 && !leap))
    return std::nullopt;
  double fraction = 0.0;
  if (!s.empty()) {
    if (s[0] != ' ' && s[0] != 'T') return std::nullopt;
    while (!s.empty() && (s[0] == ' ' || s[0] == 'T')) s.remove_prefix(1);
    int hour = 0, minute = 0, second = 0;
    if (!readDigits(s, 1, 2, hour) || s.empty() || s[0] != ':') return std::nullopt;
    s.remove_prefix(1);
    if (!readDigits(s, 2, 2, minute)) return std::nullopt;
    if (!s.empty()) {
      if (s[0] != ':') return std::nullopt;
      s.remove_prefix(1);
      if (!readDigits(s, 2, 2, second)) return std::nullopt;
    }
    if (!s.empty() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  }
  return static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) + fraction;
}

MonitoringProject parseMonitoringProject(std::string_view bytes, const std::string& file,
                                         std::optional<FileEncoding> forced) {
  MonitoringProject project;
  project.file = file;
  bool ambiguous = false;
  const std::string text = decodeTextFile(bytes, file, forced, project.encoding, ambiguous);
  const std::filesystem::path folder = fileSystemPath(file).parent_path();
  bool nameSeen = false, attentionSeen = false, stableSeen = false, unitSeen = false, allWarningSeen = false;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string raw = text.substr(start, end - start);
    start =
        end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? end + 2 : end + 1;
    ++lineNumber;
    const LineError fail(file, lineNumber);
    const std::string line = trimmed(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    for (unsigned char c : line)
      if (c < 0x20 && c != '\t') fail("含有控制字符");
    // The key ends at the first = ＝ : or ：.
    std::size_t sep = std::string::npos, sepLength = 0;
    for (std::string_view s : {"=", "＝", ":", "："}) {
      const std::size_t at = line.find(s);
      if (at != std::string::npos && at < sep) {
        sep = at;
        sepLength = s.size();
      }
    }
    if (sep == std::string::npos) fail("应写成“键 = 值”（如“期 = 2024-03-01, 第1期.pc”）：" + inQuotes(line));
    std::string key = trimmed(std::string_view(line).substr(0, sep));
    const std::string value = trimmed(std::string_view(line).substr(sep + sepLength));
    // "预警值 J5": the key and a point.
    std::string keyPoint;
    if (key.rfind("预警值", 0) == 0 && key.size() > std::string_view("预警值").size()) {
      keyPoint = trimmed(std::string_view(key).substr(std::string_view("预警值").size()));
      key = "预警值";
    }
    auto once = [&](bool& seen) {
      if (seen) fail(inQuotes(key) + "给了两次");
      seen = true;
    };
    if (key == "名称") {
      once(nameSeen);
      project.name = value;
    } else if (key == "基准点") {
      if (project.referencesLine)
        fail("“基准点”给了两次（第 " + std::to_string(project.referencesLine) + " 行已给出）");
      project.references = nameList(value, fail);
      if (project.references.empty()) fail("没有给出基准点");
      project.referencesLine = lineNumber;
    } else if (key == "监测点") {
      if (project.monitoredLine) fail("“监测点”给了两次（第 " + std::to_string(project.monitoredLine) + " 行已给出）");
      project.monitoredPoints = nameList(value, fail);
      project.monitoredLine = lineNumber;
    } else if (key == "预警值") {
      const WarningValues values = warningValues(value, fail);
      if (keyPoint.empty()) {
        once(allWarningSeen);
        project.warningForAll = values;
      } else {
        for (const PointWarning& w : project.pointWarnings)
          if (nameKey(w.point) == nameKey(keyPoint))
            fail("点" + inQuotes(keyPoint) + "的预警值已在第 " + std::to_string(w.line) + " 行给出");
        project.pointWarnings.push_back({keyPoint, values, lineNumber});
      }
    } else if (key == "注意比例") {
      once(attentionSeen);
      const double v = positiveNumber(value, "注意比例", fail);
      const bool percent = value.find('%') != std::string::npos || v > 1.0;
      const double fraction = percent ? v / 100.0 : v;
      if (!(fraction > 0.0 && fraction < 1.0)) fail("注意比例应在 0 与 100% 之间：" + inQuotes(value));
      project.settings.attentionFraction = fraction;
    } else if (key == "稳定速率") {
      once(stableSeen);
      project.settings.stableRate = positiveNumber(value, "稳定速率", fail);
    } else if (key == "荷载单位") {
      once(unitSeen);
      project.loadUnit = value;
    } else if (key == "期" || key == "观测") {
      if (static_cast<int>(project.epochs.size()) >= kMaxEpochs)
        fail("观测期数超过 " + std::to_string(kMaxEpochs) + " 期的上限");
      const std::vector<std::string> fields = splitFields(value, fail, 4);
      if (fields.size() < 2 || fields[1].empty()) fail("观测期应写成“期 = 日期, 平差文件[, 荷载或施工阶段][, 备注]”");
      EpochEntry epoch;
      epoch.line = lineNumber;
      epoch.dateText = fields[0];
      const std::optional<double> day = parseEpochDate(fields[0]);
      if (!day) fail("日期" + inQuotes(fields[0]) + "不对（应写成 2024-03-01 或 2024-03-01 09:30）");
      epoch.day = *day;
      if (!project.epochs.empty()) {
        const EpochEntry& last = project.epochs.back();
        if (epoch.day == last.day)
          fail("日期" + inQuotes(epoch.dateText) + "与第 " + std::to_string(last.line) + " 行的观测期相同");
        if (epoch.day < last.day)
          fail("日期" + inQuotes(epoch.dateText) + "早于第 " + std::to_string(last.line) + " 行的" +
               inQuotes(last.dateText) + "：观测期应按时间先后排列");
      }
      epoch.file = fields[1];
      // Joined with "/" on every system (Windows takes it too), so that the
      // names in messages and tables are the same everywhere.
      const std::filesystem::path given = fileSystemPath(epoch.file);
      if (given.is_absolute() || folder.empty()) {
        epoch.path = epoch.file;
      } else {
        const std::string base = utf8Name(folder);
        epoch.path = base + (base.back() == '/' || base.back() == '\\' ? "" : "/") + epoch.file;
      }
      for (const EpochEntry& other : project.epochs)
        if (other.file == epoch.file)
          fail("平差文件" + inQuotes(epoch.file) + "已在第 " + std::to_string(other.line) + " 行用过");
      if (fields.size() > 2) {
        epoch.stage = fields[2];
        epoch.load = parseNumber(epoch.stage);
        if (epoch.load && !(std::fabs(*epoch.load) < 1e9)) fail("荷载" + inQuotes(epoch.stage) + "超出范围");
      }
      if (fields.size() > 3) epoch.note = fields[3];
      project.epochs.push_back(std::move(epoch));
    } else {
      fail("不认识的键" + inQuotes(key) + "（可用：名称、基准点、监测点、预警值、注意比例、稳定速率、荷载单位、期）");
    }
  }
  const LineError atEnd(file, lineNumber);
  if (project.references.empty()) atEnd("文件中没有“基准点 = …”：至少需要一个基准点");
  if (project.epochs.empty()) atEnd("文件中没有观测期（“期 = 日期, 平差文件”）");
  for (const std::string& m : project.monitoredPoints)
    for (const std::string& r : project.references)
      if (nameKey(m) == nameKey(r)) LineError(file, project.monitoredLine)("点" + inQuotes(m) + "既是基准点又是监测点");
  return project;
}

MonitoringProject readMonitoringProject(const std::string& path, std::optional<FileEncoding> forced) {
  try {
    const std::string bytes =
        readBoundedFile(path, kMaxMonitoringProjectBytes, "监测项目文件" + inQuotes(path) + "超过 1 MiB 的上限");
    return parseMonitoringProject(bytes, path, forced);
  } catch (const std::bad_alloc&) {
    throw OutOfMemoryError("监测项目文件" + inQuotes(path) + "：内存不足，无法读入");
  }
}

WarningValues warningValuesOf(const MonitoringProject& project, const std::string& point) {
  WarningValues values = project.warningForAll;
  for (const PointWarning& w : project.pointWarnings)
    if (w.point == point) {
      if (w.values.cumulative) values.cumulative = w.values.cumulative;
      if (w.values.rate) values.rate = w.values.rate;
    }
  return values;
}

}  // namespace levelnet::monitor
