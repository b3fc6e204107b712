#include "plot/plane_points.h"

#include <cmath>
#include <tuple>
#include <unordered_map>

#include "fieldbook/field_file.h"
#include "fieldbook/field_records.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "network/safe_file.h"

namespace levelnet::plot {

namespace {

// Survey coordinates in metres: beyond this a figure is a typing slip.
constexpr double kMaxCoordinate = 1e8;

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(fieldbook::trimmed(line.substr(start, comma == std::string_view::npos ? comma : comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  // A trailing comma (spreadsheets write them) adds nothing.
  while (fields.size() > 1 && fields.back().empty()) fields.pop_back();
  return fields;
}

}  // namespace

PlanePointsFile parsePlanePoints(std::string_view bytes, const std::string& name) {
  const fieldbook::FieldText text = fieldbook::decodeFieldBytes(bytes, name);
  PlanePointsFile file;
  file.name = name;
  file.encoding = text.encoding;
  std::unordered_map<std::string, int> lineOfName;
  bool first = true;
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    const int line = static_cast<int>(i) + 1;
    if (fieldbook::trimmed(text.lines[i]).empty()) continue;
    const std::vector<std::string_view> fields = fieldsOf(text.lines[i]);
    const bool isFirst = first;
    first = false;
    if (fields.size() != 3 && fields.size() != 5)
      throw InputError(fieldbook::placeOf(name, line) + "应为“点名,X,Y”或“点名,编码,Y,X,H”，而不是" +
                       fieldbook::quotedText(text.lines[i]));
    // 点名,X,Y or 点名,编码,Y,X,H: X is northing, Y easting.
    const std::string_view northText = fields.size() == 3 ? fields[1] : fields[3];
    const std::string_view eastText = fields[2];
    const std::optional<double> north = parseNumber(northText), east = parseNumber(eastText);
    if (isFirst && !north && !east) continue;  // a header line
    for (const auto& [value, shown, axis] : {std::tuple{north, northText, "X"}, std::tuple{east, eastText, "Y"}}) {
      if (!value)
        throw InputError(fieldbook::placeOf(name, line) + "坐标 " + axis + fieldbook::quotedText(shown) + "不是数");
      if (!(std::fabs(*value) <= kMaxCoordinate))
        throw InputError(fieldbook::placeOf(name, line) + "坐标 " + axis + fieldbook::quotedText(shown) +
                         "超出合理范围（±100000000 m）");
    }
    if (fields[0].empty()) throw InputError(fieldbook::placeOf(name, line) + "点名为空");
    const std::string pointName(fields[0]);
    const auto [at, added] = lineOfName.emplace(pointName, line);
    if (!added)
      throw InputError(fieldbook::placeOf(name, line) + "点名" + fieldbook::quotedText(pointName) + "与第 " +
                       std::to_string(at->second) + " 行重复");
    file.points.push_back(PlanePoint{pointName, *north, *east, line});
  }
  return file;
}

PlanePointsFile readPlanePoints(const std::string& path) {
  return parsePlanePoints(
      readBoundedFile(path, fieldbook::kMaxFieldFileBytes, "坐标文件“" + path + "”超过 16 MiB，不是点的坐标文件"),
      path);
}

PointPlacement placeByCoordinates(const LevelingNetwork& net, const PlanePointsFile& file,
                                  std::vector<std::string>* extra) {
  std::unordered_map<std::string, const PlanePoint*> byName;
  for (const PlanePoint& p : file.points) byName.emplace(p.name, &p);
  PointPlacement placement;
  placement.east.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  placement.north.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  std::string missing;
  int missingCount = 0;
  for (int p = 1; p <= net.pointCount; ++p) {
    const auto found = byName.find(net.pointName[p]);
    if (found == byName.end()) {
      if (missingCount < 20) missing += (missingCount == 0 ? "" : "、") + ("“" + net.pointName[p] + "”");
      ++missingCount;
      continue;
    }
    placement.east[p] = found->second->east;
    placement.north[p] = found->second->north;
  }
  if (missingCount > 0)
    throw InputError("坐标文件“" + file.name + "”中没有这 " + std::to_string(missingCount) + " 个点的坐标：" + missing +
                     (missingCount > 20 ? "等" : ""));
  if (extra != nullptr)
    for (const PlanePoint& p : file.points)
      if (net.pointNumberOf(p.name) == 0) extra->push_back("“" + p.name + "”（第 " + std::to_string(p.line) + " 行）");
  return placement;
}

}  // namespace levelnet::plot
