// The 三、四等 double-staff handbook (水准观测手簿) as CSV: the columns by
// their titles, one station per row, the staff constants of the pair.
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "fieldbook/readers.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::fieldbook {

namespace {

std::vector<std::string> splitCsv(const FieldText& text, int line, const std::string& s) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false, wasQuoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quoted) {
      if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"' && std::string(trimmed(cell)).empty() && !wasQuoted) {
      quoted = wasQuoted = true;
      cell.clear();
    } else if (c == ',') {
      cells.push_back(wasQuoted ? cell : std::string(trimmed(cell)));
      cell.clear();
      wasQuoted = false;
    } else {
      cell += c;
    }
  }
  if (quoted) throw InputError(placeOf(text.name, line) + "双引号没有闭合");
  cells.push_back(wasQuoted ? cell : std::string(trimmed(cell)));
  return cells;
}

enum Column {
  colLine,
  colStation,
  colBackPoint,
  colForePoint,
  colBackUpper,
  colBackLower,
  colForeUpper,
  colForeLower,
  colBackDistance,
  colForeDistance,
  colBackBlack,
  colBackRed,
  colForeBlack,
  colForeRed,
  colBackK,
  colForeK,
  colRodTemperature,
  colRemark,
  columnCount
};

const std::map<std::string, Column>& columnNames() {
  static const std::map<std::string, Column> names = {
      {"线路", colLine},          {"测站", colStation},        {"测站编号", colStation},    {"后视点", colBackPoint},
      {"前视点", colForePoint},   {"后尺上丝", colBackUpper},  {"后尺下丝", colBackLower},  {"前尺上丝", colForeUpper},
      {"前尺下丝", colForeLower}, {"后视距", colBackDistance}, {"前视距", colForeDistance}, {"后视黑面", colBackBlack},
      {"后视红面", colBackRed},   {"前视黑面", colForeBlack},  {"前视红面", colForeRed},    {"后尺K", colBackK},
      {"前尺K", colForeK},        {"尺温", colRodTemperature}, {"备注", colRemark}};
  return names;
}

const char* columnTitle(Column c) {
  for (const auto& [name, column] : columnNames())
    if (column == c) return name.c_str();
  return "";
}

// The staff constants of the double-staff method.
constexpr double kConstants[] = {4687.0, 4787.0};

// The constants of the staffs a line's stations do not give (0 until
// here). The pair is leapfrogged: the fore staff of a station is the back
// staff of the next, so the back staff's constant alternates from station to
// station. Which of the two starts the line is taken once for the whole line,
// as the one its red faces fit best (and that agrees with the constants
// given), and every station is then held to it: a red face misread by the
// difference of the constants shows as a failed check instead of passing
// as the other staff.
void inferStaffConstants(FieldLine& line) {
  double cost[2] = {0.0, 0.0};
  for (std::size_t i = 0; i < line.stations.size(); ++i) {
    const FieldStation& st = line.stations[i];
    for (int phase = 0; phase < 2; ++phase) {
      const double back = kConstants[(i + phase) % 2], fore = kConstants[(i + phase + 1) % 2];
      for (const auto& [sight, expected] : {std::pair{&st.back, back}, std::pair{&st.fore, fore}}) {
        if (!sight->second) continue;
        cost[phase] += sight->constant != 0.0 ? (sight->constant == expected ? 0.0 : 1000.0)
                                              : std::fabs(*sight->second - sight->first - expected);
      }
    }
  }
  const int phase = cost[1] < cost[0] ? 1 : 0;
  for (std::size_t i = 0; i < line.stations.size(); ++i) {
    FieldStation& st = line.stations[i];
    if (st.back.constant == 0.0) st.back.constant = kConstants[(i + phase) % 2];
    if (st.fore.constant == 0.0) st.fore.constant = kConstants[(i + phase + 1) % 2];
  }
}

}  // namespace

std::vector<FieldLine> readHandbookCsv(const FieldText& text) {
  std::array<int, columnCount> at;
  at.fill(-1);
  bool haveHeader = false;
  std::vector<FieldLine> lines;
  std::string currentLine;
  std::size_t total = 0;
  int lastRow = 0;
  for (std::size_t k = 0; k < text.lines.size(); ++k) {
    const int row = static_cast<int>(k) + 1;
    const std::string_view content = trimmed(text.lines[k]);
    if (content.empty() || content.front() == '#') continue;
    const std::vector<std::string> cells = splitCsv(text, row, text.lines[k]);
    if (!haveHeader) {
      for (std::size_t c = 0; c < cells.size(); ++c) {
        std::string title = cells[c];
        if (c == 0 && title.rfind("\xEF\xBB\xBF", 0) == 0) title.erase(0, 3);
        const auto found = columnNames().find(title);
        if (found == columnNames().end())
          throw InputError(
              placeOf(text.name, row) + "未知的列名" + quotedText(title) +
              "（可用：线路、测站、后视点、前视点、后尺上丝、后尺下丝、前尺上丝、前尺下丝、后视距、前视距、"
              "后视黑面、后视红面、前视黑面、前视红面、后尺K、前尺K、尺温、备注）");
        if (at[found->second] >= 0)
          throw InputError(placeOf(text.name, row) + "列名" + quotedText(title) + "出现了两次");
        at[found->second] = static_cast<int>(c);
      }
      for (Column required : {colBackPoint, colForePoint, colBackBlack, colBackRed, colForeBlack, colForeRed})
        if (at[required] < 0) throw InputError(placeOf(text.name, row) + "表头缺少“" + columnTitle(required) + "”列");
      const bool wires =
          at[colBackUpper] >= 0 && at[colBackLower] >= 0 && at[colForeUpper] >= 0 && at[colForeLower] >= 0;
      const bool distances = at[colBackDistance] >= 0 && at[colForeDistance] >= 0;
      if (!wires && !distances)
        throw InputError(placeOf(text.name, row) +
                         "表头缺少视距：需要后尺上丝、后尺下丝、前尺上丝、前尺下丝四列，或后视距、前视距两列");
      haveHeader = true;
      continue;
    }
    if (cells.size() > static_cast<std::size_t>(1 + *std::max_element(at.begin(), at.end())) &&
        !std::all_of(cells.begin() + 1 + *std::max_element(at.begin(), at.end()), cells.end(),
                     [](const std::string& c) { return c.empty(); }))
      throw InputError(placeOf(text.name, row) + "列数多于表头");
    auto cell = [&](Column c) -> std::string {
      return at[c] >= 0 && at[c] < static_cast<int>(cells.size()) ? cells[at[c]] : "";
    };
    auto number = [&](Column c, double low, double high) {
      const std::string t = cell(c);
      if (t.empty()) throw InputError(placeOf(text.name, row) + "“" + columnTitle(c) + "”为空");
      const std::optional<double> v = fieldNumber(t);
      if (!v) throw InputError(placeOf(text.name, row) + "“" + columnTitle(c) + "”" + quotedText(t) + "不是数");
      checkRange(text, row, *v, low, high, std::string("“") + columnTitle(c) + "”", t);
      return *v;
    };

    const std::string lineName = cell(colLine);
    if (lines.empty() || (at[colLine] >= 0 && !lineName.empty() && lineName != currentLine)) {
      if (!lines.empty() && !lines.back().stations.back().sectionEnd)
        throw InputError(placeOf(text.name, lastRow) + "线路最后一站没有前视点名：线路必须在一个有名字的点上结束");
      FieldLine l;
      l.file = text.name;
      l.name = lineName;
      l.instrument = Instrument::optical;
      lines.push_back(std::move(l));
      currentLine = lineName;
    }
    std::vector<FieldStation>& stations = lines.back().stations;
    FieldStation st;
    st.sourceLine = row;
    st.method = StationMethod::redBlack;
    st.number = static_cast<int>(stations.size()) + 1;
    if (!cell(colStation).empty()) {
      const std::optional<double> n = fieldNumber(cell(colStation));
      if (!n || !isCount(*n) || *n < 1 || *n > 1e6)
        throw InputError(placeOf(text.name, row) + "“测站”" + quotedText(cell(colStation)) + "不是正整数");
      st.number = static_cast<int>(*n);
    }
    st.backPoint = cell(colBackPoint);
    st.forePoint = cell(colForePoint);
    st.sectionEnd = !st.forePoint.empty();
    if (stations.empty()) {
      if (st.backPoint.empty())
        throw InputError(placeOf(text.name, row) + "线路第一站的“后视点”为空：线路必须从一个有名字的点开始");
    } else {
      const FieldStation& previous = stations.back();
      if (!st.backPoint.empty() && st.backPoint != previous.forePoint)
        throw InputError(placeOf(text.name, row) + "“后视点”" + quotedText(st.backPoint) + "不是上一站的前视点" +
                         (previous.forePoint.empty() ? std::string("（上一站前视为转点，本站后视点应为空）")
                                                     : quotedText(previous.forePoint)));
      st.backPoint = previous.forePoint;
    }
    if (at[colBackUpper] >= 0 && at[colBackLower] >= 0 && at[colForeUpper] >= 0 && at[colForeLower] >= 0 &&
        !(cell(colBackUpper).empty() && at[colBackDistance] >= 0)) {
      // Stadia: the distance is 100 times the difference of the two wires;
      // readings in mm give metres by 0.1.
      const double backLower = number(colBackLower, 0, kMaxReadingMm),
                   backUpper = number(colBackUpper, 0, kMaxReadingMm);
      const double foreLower = number(colForeLower, 0, kMaxReadingMm),
                   foreUpper = number(colForeUpper, 0, kMaxReadingMm);
      st.back.distance = std::fabs(backLower - backUpper) * 0.1;
      st.fore.distance = std::fabs(foreLower - foreUpper) * 0.1;
      st.back.lowestWire = std::min(backLower, backUpper);
      st.fore.lowestWire = std::min(foreLower, foreUpper);
    } else {
      st.back.distance = number(colBackDistance, 0, kMaxSightM);
      st.fore.distance = number(colForeDistance, 0, kMaxSightM);
    }
    st.back.first = number(colBackBlack, 0, kMaxReadingMm);
    st.back.second = number(colBackRed, 0, kMaxReadingMm);
    st.fore.first = number(colForeBlack, 0, kMaxReadingMm);
    st.fore.second = number(colForeRed, 0, kMaxReadingMm);
    for (const auto& [sight, column, title] :
         {std::tuple{&st.back, colBackK, "后尺"}, std::tuple{&st.fore, colForeK, "前尺"}}) {
      if (!cell(column).empty()) {
        const double k = number(column, 0, kMaxReadingMm);
        if (k != kConstants[0] && k != kConstants[1])
          throw InputError(placeOf(text.name, row) + "“" + columnTitle(column) + "”" + quotedText(cell(column)) +
                           "不是双面尺的尺常数 4687 或 4787");
        sight->constant = k;
      } else {
        // Not given: the constants are taken for the whole line once it is
        // read (inferStaffConstants). Red minus black far from both
        // constants is a misread figure, not a staff.
        const double shown = *sight->second - sight->first;
        sight->constant = 0.0;
        if (std::fabs(shown - kConstants[0]) > 50.0 && std::fabs(shown - kConstants[1]) > 50.0)
          throw InputError(placeOf(text.name, row) + title + "红面减黑面为 " + numberText(shown) +
                           " mm，与尺常数 4687、4787 都差 50 mm 以上：请检查读数，或在“" + columnTitle(column) +
                           "”列给出尺常数");
      }
    }
    if (!cell(colRodTemperature).empty()) st.rodTemperature = number(colRodTemperature, -60, 80);
    if (++total > kMaxFieldStations)
      throw InputError(placeOf(text.name, row) + "测站超过 " + std::to_string(kMaxFieldStations) + " 个的上限");
    stations.push_back(std::move(st));
    lastRow = row;
  }
  for (FieldLine& line : lines) inferStaffConstants(line);
  if (!haveHeader) throw InputError("文件“" + text.name + "”是空的：没有表头，也没有测站");
  if (lines.empty()) throw InputError("文件“" + text.name + "”只有表头，没有测站");
  if (!lines.back().stations.back().sectionEnd)
    throw InputError(placeOf(text.name, lastRow) + "线路最后一站没有前视点名：线路必须在一个有名字的点上结束");
  return lines;
}

}  // namespace levelnet::fieldbook
