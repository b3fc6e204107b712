#include "fieldbook/corrections.h"

#include <array>
#include <cmath>
#include <numbers>

#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::fieldbook {

namespace {

// Splits a line of a small CSV table at its commas (the names of points
// hold none: the network file could not keep them either).
std::vector<std::string> cellsOf(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    cells.emplace_back(trimmed(std::string_view(line).substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return cells;
}

// Reads a table whose header names `columns` (the first `required` of them
// must be there) and calls `row` with each line's cells in that order ("" for
// an absent column).
template <std::size_t N, typename Row>
void readTable(const FieldText& text, const std::array<const char*, N>& columns, std::size_t required, Row row) {
  std::array<int, N> at;
  at.fill(-1);
  bool header = false;
  std::size_t width = 0;
  for (std::size_t k = 0; k < text.lines.size(); ++k) {
    const int line = static_cast<int>(k) + 1;
    const std::string_view content = trimmed(text.lines[k]);
    if (content.empty() || content.front() == '#') continue;
    if (text.lines[k].find('"') != std::string::npos)
      throw InputError(placeOf(text.name, line) + "不能有双引号：" + quotedText(text.lines[k]));
    const std::vector<std::string> cells = cellsOf(text.lines[k]);
    if (!header) {
      for (std::size_t c = 0; c < cells.size(); ++c) {
        std::size_t i = 0;
        while (i < N && cells[c] != columns[i]) ++i;
        if (i == N) {
          std::string known;
          for (const char* name : columns) known += (known.empty() ? "" : "、") + std::string(name);
          throw InputError(placeOf(text.name, line) + "未知的列名" + quotedText(cells[c]) + "（可用：" + known + "）");
        }
        if (at[i] >= 0) throw InputError(placeOf(text.name, line) + "列名" + quotedText(cells[c]) + "出现了两次");
        at[i] = static_cast<int>(c);
      }
      for (std::size_t i = 0; i < required; ++i)
        if (at[i] < 0) throw InputError(placeOf(text.name, line) + "表头缺少“" + columns[i] + "”列");
      width = cells.size();
      header = true;
      continue;
    }
    if (cells.size() > width) throw InputError(placeOf(text.name, line) + "列数多于表头");
    std::array<std::string, N> values;
    for (std::size_t i = 0; i < N; ++i)
      if (at[i] >= 0 && at[i] < static_cast<int>(cells.size())) values[i] = cells[at[i]];
    row(line, values);
  }
  if (!header) throw InputError("文件“" + text.name + "”是空的：没有表头");
}

// A value of a cell within [low, high], or nothing for an empty cell.
std::optional<double> cellNumber(const FieldText& text, int line, const std::string& cell, const char* what, double low,
                                 double high) {
  if (cell.empty()) return std::nullopt;
  const std::optional<double> v = fieldNumber(cell);
  if (!v) throw InputError(placeOf(text.name, line) + "“" + what + "”" + quotedText(cell) + "不是数");
  checkRange(text, line, *v, low, high, std::string("“") + what + "”", cell);
  return v;
}

constexpr double kDegree = std::numbers::pi / 180.0;

// CGCS2000: a = 6378137 m, f = 1/298.257222101.
constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257222101;
constexpr double kE2 = kFlattening * (2.0 - kFlattening);

}  // namespace

double meridianArc(double latitudeDegrees) {
  const double e2 = kE2, e4 = e2 * e2, e6 = e4 * e2, e8 = e6 * e2;
  const double a0 = 1.0 + 3.0 / 4 * e2 + 45.0 / 64 * e4 + 175.0 / 256 * e6 + 11025.0 / 16384 * e8;
  const double a2 = 3.0 / 4 * e2 + 15.0 / 16 * e4 + 525.0 / 512 * e6 + 2205.0 / 2048 * e8;
  const double a4 = 15.0 / 64 * e4 + 105.0 / 256 * e6 + 2205.0 / 4096 * e8;
  const double a6 = 35.0 / 512 * e6 + 315.0 / 2048 * e8;
  const double b = latitudeDegrees * kDegree;
  return kSemiMajor * (1.0 - kE2) *
         (a0 * b - a2 / 2.0 * std::sin(2.0 * b) + a4 / 4.0 * std::sin(4.0 * b) - a6 / 6.0 * std::sin(6.0 * b));
}

double gaussKrugerLatitude(double x, double y) {
  // The footpoint latitude by Newton's method on the meridian arc, whose
  // derivative is the meridian's radius of curvature M.
  double b = x / kSemiMajor / kDegree;
  for (int i = 0; i < 20; ++i) {
    const double s = std::sin(b * kDegree);
    const double m = kSemiMajor * (1.0 - kE2) / std::pow(1.0 - kE2 * s * s, 1.5);
    const double step = (meridianArc(b) - x) / m / kDegree;
    b -= step;
    if (std::fabs(step) < 1e-12) break;
  }
  const double s = std::sin(b * kDegree);
  const double w2 = 1.0 - kE2 * s * s;
  const double m = kSemiMajor * (1.0 - kE2) / std::pow(w2, 1.5), n = kSemiMajor / std::sqrt(w2);
  return b - std::tan(b * kDegree) / (2.0 * m * n) * y * y / kDegree;
}

namespace {

// The offset from the central meridian of a Y coordinate: the zone number
// before its 500 km false easting dropped (Y of 7 digits before the point
// carries none).
double offsetFromMeridian(double y) { return std::fmod(y, 1000000.0) - 500000.0; }

}  // namespace

std::map<std::string, PointGeodesy> readPointsFile(const FieldText& text) {
  std::map<std::string, PointGeodesy> points;
  readTable<6>(text, {"点名", "纬度", "X", "Y", "近似高程", "重力异常"}, 1,
               [&](int line, const std::array<std::string, 6>& row) {
                 const std::array<std::string, 4> v = {row[0], row[1], row[4], row[5]};
                 if (v[0].empty()) throw InputError(placeOf(text.name, line) + "“点名”为空");
                 PointGeodesy p;
                 p.latitude = cellNumber(text, line, v[1], "纬度", -90.0, 90.0);
                 const std::optional<double> x = cellNumber(text, line, row[2], "X", -10002000.0, 10002000.0);
                 const std::optional<double> y = cellNumber(text, line, row[3], "Y", 0.0, 100000000.0);
                 if (!p.latitude && x && y) {
                   const double offset = offsetFromMeridian(*y);
                   if (std::fabs(offset) > 400000.0)
                     throw InputError(placeOf(text.name, line) + "“Y”" + quotedText(row[3]) +
                                      "离中央子午线超过 400 km：应是带 500 km 东移（可带带号）的高斯坐标");
                   p.latitude = gaussKrugerLatitude(*x, offset);
                 }
                 if (!p.latitude) throw InputError(placeOf(text.name, line) + "“纬度”为空（或给出高斯坐标 X、Y）");
                 p.elevation = cellNumber(text, line, v[2], "近似高程", -1000.0, 9000.0);
                 p.gravityAnomaly = cellNumber(text, line, v[3], "重力异常", -1000.0, 1000.0);
                 if (!points.emplace(v[0], p).second)
                   throw InputError(placeOf(text.name, line) + "点“" + v[0] + "”出现了两次");
               });
  return points;
}

std::map<std::pair<std::string, std::string>, double> readRunTemperatures(const FieldText& text) {
  std::map<std::pair<std::string, std::string>, double> runs;
  readTable<3>(text, {"起点", "终点", "尺温"}, 3, [&](int line, const std::array<std::string, 3>& v) {
    if (v[0].empty() || v[1].empty()) throw InputError(placeOf(text.name, line) + "“起点”或“终点”为空");
    const std::optional<double> t = cellNumber(text, line, v[2], "尺温", -60.0, 80.0);
    if (!t) throw InputError(placeOf(text.name, line) + "“尺温”为空");
    if (!runs.emplace(std::pair{v[0], v[1]}, *t).second)
      throw InputError(placeOf(text.name, line) + "测段“" + v[0] + "”—“" + v[1] + "”出现了两次");
  });
  return runs;
}

double rodScaleCorrection(double heightMm, double metreError) { return metreError * (heightMm / 1000.0); }

double rodTemperatureCorrection(double heightMm, double expansion, double temperature, double calibration) {
  return expansion * (temperature - calibration) * (heightMm / 1000.0);
}

double normalGravity(double latitudeDegrees) {
  const double s = std::sin(latitudeDegrees * kDegree);
  const double s2 = std::sin(2.0 * latitudeDegrees * kDegree);
  return 978032.7 * (1.0 + 0.0053024 * s * s - 0.0000058 * s2 * s2);
}

double meanNormalGravity(double latitudeDegrees, double heightM) {
  return normalGravity(latitudeDegrees) - 0.1543 * heightM;
}

double normalSurfaceCorrection(double latitudeA, double latitudeB, double meanElevationM) {
  const double gammaM = meanNormalGravity((latitudeA + latitudeB) / 2.0, meanElevationM);
  return -(normalGravity(latitudeB) - normalGravity(latitudeA)) / gammaM * meanElevationM * 1000.0;
}

double gravityAnomalyCorrection(double heightMm, double anomalyA, double anomalyB, double latitudeA, double latitudeB,
                                double meanElevationM) {
  const double gammaM = meanNormalGravity((latitudeA + latitudeB) / 2.0, meanElevationM);
  return (anomalyA + anomalyB) / 2.0 / gammaM * heightMm;
}

}  // namespace levelnet::fieldbook
