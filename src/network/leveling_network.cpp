#include "network/leveling_network.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <optional>

#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet {

namespace {

// A hash of a name's bytes, eight at a time (a multiply and shift mix).
std::uint64_t nameHash(std::string_view name) {
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
  const auto mix = [&h](std::uint64_t word) {
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  };
  std::size_t i = 0;
  for (; i + 8 <= name.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, name.data() + i, 8);
    mix(word);
  }
  if (i < name.size()) {
    std::uint64_t word = 0;
    std::memcpy(&word, name.data() + i, name.size() - i);
    mix(word);
  }
  h *= 0x94D049BB133111EBull;
  return h ^ (h >> 32);
}

}  // namespace

std::int32_t LevelingNetwork::pointNumberOf(std::string_view name) const {
  if (nameSlots_.empty()) return 0;
  const std::uint64_t h = nameHash(name);
  const std::uint32_t tag = static_cast<std::uint32_t>(h);
  const std::size_t mask = nameSlots_.size() - 1;
  for (std::size_t s = (h >> 32) & mask;; s = (s + 1) & mask) {
    const NameSlot& slot = nameSlots_[s];
    if (slot.point == 0) return 0;
    if (slot.hash == tag && static_cast<std::size_t>(slot.point) < pointName.size() &&
        pointName[static_cast<std::size_t>(slot.point)] == name)
      return slot.point;
  }
}

void LevelingNetwork::indexNames() {
  duplicateNames.clear();
  const int count = std::min(pointCount, static_cast<int>(pointName.size()) - 1);
  std::size_t slots = 16;
  while (slots < 2 * static_cast<std::size_t>(std::max(count, 0))) slots *= 2;
  nameSlots_.assign(slots, NameSlot{});
  const std::size_t mask = slots - 1;
  // Ascending, keeping the first: with duplicate names the lowest number wins.
  for (int i = 1; i <= count; ++i) {
    const std::string& name = pointName[static_cast<std::size_t>(i)];
    const std::uint64_t h = nameHash(name);
    const std::uint32_t tag = static_cast<std::uint32_t>(h);
    for (std::size_t s = (h >> 32) & mask;; s = (s + 1) & mask) {
      NameSlot& slot = nameSlots_[s];
      if (slot.point == 0) {
        slot = {tag, static_cast<std::int32_t>(i)};
        break;
      }
      if (slot.hash == tag && pointName[static_cast<std::size_t>(slot.point)] == name) {
        duplicateNames.push_back({name, slot.point, i});
        break;
      }
    }
  }
}

std::string duplicateNameWarning(const DuplicateName& d) {
  return "点表第 " + std::to_string(d.firstRow) + " 行与第 " + std::to_string(d.row) + " 行的点名都是“" + d.name +
         "”：观测值中的这个点名都按第 " + std::to_string(d.firstRow) + " 行计算，第 " + std::to_string(d.row) +
         " 行的点没有用上";
}

namespace {

constexpr std::size_t kMaxListedProblems = 20;

std::string quoted(const std::string& text) { return "“" + text + "”"; }

const char* const kElevationRange = "超出 ±100000 m 的范围";
const char* const kLengthRange = "超出 0.000001～100000 km 的范围";

const char* const kPointHeaders[] = {"序号", "点号", "高程(m)"};
const char* const kObservationHeaders[] = {"序号", "起点", "终点", "观测值(m)", "水准路线长度(km)"};

std::string pointCell(int row, int col) {
  return "点表第 " + std::to_string(row) + " 行“" + kPointHeaders[col] + "”列：";
}
std::string observationCell(int row, int col) {
  return "观测表第 " + std::to_string(row) + " 行“" + kObservationHeaders[col] + "”列：";
}

// Collects the problems of one gathering.
class Problems {
 public:
  // `where`: the field or cell at fault, where there is one; the first such
  // place goes with the error, so the window can show it.
  void add(std::string text, InputPlace where = {}) {
    list_.push_back(std::move(text));
    if (place_.table == InputTable::none) place_ = where;
  }
  bool empty() const { return list_.empty(); }
  [[noreturn]] void raise() const {
    std::string message = "无法平差，输入有以下问题：";
    for (std::size_t i = 0; i < list_.size() && i < kMaxListedProblems; ++i) message += "\n" + list_[i];
    if (list_.size() > kMaxListedProblems)
      message += "\n……另有 " + std::to_string(list_.size() - kMaxListedProblems) + " 处问题未列出";
    throw InputError(message, place_);
  }

 private:
  std::vector<std::string> list_;
  InputPlace place_;
};

// A count field: a whole number from 0 upwards; nothing (with the reason
// recorded) when it is not one.
std::optional<double> readCount(const std::string& label, int field, const std::string& text, Problems& problems) {
  const InputPlace where{InputTable::fields, 0, field};
  if (text.empty()) {
    problems.add(label + "：没有填写", where);
    return std::nullopt;
  }
  const std::optional<double> value = parseNumber(text);
  if (!value) {
    problems.add(label + "：" + quoted(text) + "不是数", where);
    return std::nullopt;
  }
  if (!isCount(*value)) {
    problems.add(label + "：" + quoted(text) + "不是 0 或正整数", where);
    return std::nullopt;
  }
  return value;
}

// A number cell of the observation table that must be filled; nothing
// (with the reason recorded) when it is empty or not a number.
std::optional<double> readRequired(int row, int col, const std::string& text, Problems& problems) {
  const InputPlace where{InputTable::observations, row, col};
  if (text.empty()) {
    problems.add(observationCell(row, col) + "没有填写", where);
    return std::nullopt;
  }
  const std::optional<double> value = parseNumber(text);
  if (!value) problems.add(observationCell(row, col) + quoted(text) + "不是数", where);
  return value;
}

// Union-find over point numbers, to see which unknown points a chain of
// observations ties to a known point.
class Components {
 public:
  explicit Components(int n) : parent_(static_cast<std::size_t>(n) + 1) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }
  int find(int a) {
    while (parent_[a] != a) a = parent_[a] = parent_[parent_[a]];
    return a;
  }
  void join(int a, int b) { parent_[find(a)] = find(b); }

 private:
  std::vector<int> parent_;
};

}  // namespace

LevelingNetwork gatherNetwork(const ParameterFields& fields, const TextTable& points, const TextTable& observations,
                              NetworkLimits limits, GatherMode mode) {
  const bool planned = mode == GatherMode::plannedNetwork;
  Problems problems;
  const std::optional<double> knownField = readCount("已知点", 0, fields.known, problems);
  const std::optional<double> unknownField = readCount("待定点", 1, fields.unknown, problems);
  const std::optional<double> countField = readCount("观测值", 2, fields.observations, problems);
  const bool knownOk = knownField.has_value(), unknownOk = unknownField.has_value(), countOk = countField.has_value();
  const double known = knownField.value_or(0), unknown = unknownField.value_or(0), count = countField.value_or(0);
  const std::optional<double> unitLengthValue =
      fields.unitLength.empty() ? std::nullopt : parseNumber(fields.unitLength);
  const double unitLength = unitLengthValue.value_or(0);
  const InputPlace unitField{InputTable::fields, 0, 3};
  if (fields.unitLength.empty()) {
    problems.add("单位权长度：没有填写", unitField);
  } else if (!unitLengthValue) {
    problems.add("单位权长度：" + quoted(fields.unitLength) + "不是数", unitField);
  } else if (!(unitLength > 0.0)) {
    problems.add("单位权长度：" + quoted(fields.unitLength) + "必须大于 0", unitField);
  } else if (unitLength < kMinRouteLength || unitLength > kMaxRouteLength) {
    problems.add("单位权长度：" + quoted(fields.unitLength) + kLengthRange, unitField);
  }

  const int pointRows = points.rows() - 1;
  const int observationRows = observations.rows() - 1;

  // Points: usable when both counts are, the total fits the limits
  // and the table has that many rows.
  bool pointsUsable = false;
  int pointCount = 0;
  if (knownOk && unknownOk) {
    const double total = known + unknown;
    if (total > limits.points) {
      problems.add("已知点与待定点共 " + numberText(total) + " 个，超过 " + std::to_string(limits.points) + " 个",
                   {InputTable::fields, 0, 1});
    } else if (total > pointRows) {
      problems.add(
          "待定点：已知点与待定点共 " + numberText(total) + " 个，点表只有 " + std::to_string(pointRows) + " 行数据",
          {InputTable::fields, 0, 1});
    } else {
      pointsUsable = true;
      pointCount = static_cast<int>(total);
    }
  }
  int observationCount = 0;
  bool observationsUsable = false;
  int shortest = 0, longest = 0;  // rows of the shortest and longest usable routes
  if (countOk) {
    if (count > limits.observations) {
      problems.add("观测值 " + numberText(count) + " 个，超过 " + std::to_string(limits.observations) + " 个",
                   {InputTable::fields, 0, 2});
    } else if (count > observationRows) {
      problems.add("观测值：" + quoted(fields.observations) + "大于观测表的数据行数 " + std::to_string(observationRows),
                   {InputTable::fields, 0, 2});
    } else {
      observationsUsable = true;
      observationCount = static_cast<int>(count);
    }
  }

  LevelingNetwork net;
  net.unitWeightLength = unitLength;
  if (pointsUsable) {
    net.knownCount = static_cast<int>(known);
    net.unknownCount = static_cast<int>(unknown);
    net.pointCount = pointCount;
    net.parameterCount = net.unknownCount;
    net.pointName.assign(static_cast<std::size_t>(pointCount) + 1, std::string());
    net.elevation.assign(static_cast<std::size_t>(pointCount) + 1, 0.0);
    std::string scratch;
    for (int i = 1; i <= pointCount; ++i) {
      net.pointName[i] = points.cellText(i, 1, scratch);
      const std::string& cell = points.cellText(i, 2, scratch);
      // An empty elevation counts as 0 (the cell is filled once all is well).
      if (cell.empty()) {
        net.emptyElevationRows.push_back(i);
        continue;
      }
      const std::optional<double> elevation = parseNumber(cell);
      if (!elevation)
        problems.add(pointCell(i, 2) + quoted(cell) + "不是数", {InputTable::points, i, 2});
      else if (std::fabs(*elevation) > kMaxAbsElevation)
        problems.add(pointCell(i, 2) + quoted(cell) + kElevationRange, {InputTable::points, i, 2});
      else
        net.elevation[i] = *elevation;
    }
    net.indexNames();
  }

  if (observationsUsable) {
    net.observationCount = observationCount;
    const std::size_t size = static_cast<std::size_t>(observationCount) + 1;
    net.fromPoint.assign(size, 0);
    net.toPoint.assign(size, 0);
    net.observedDifference.assign(size, 0.0);
    net.routeLength.assign(size, 0.0);
    net.differenceDecimals.assign(size, 0);
    std::string diffScratch, lengthScratch, fromScratch, toScratch;
    for (int j = 1; j <= observationCount; ++j) {
      const std::string& diffText = observations.cellText(j, 3, diffScratch);
      net.differenceDecimals[j] = static_cast<std::int8_t>(decimalPlaces(diffText));
      const InputPlace diffCell{InputTable::observations, j, 3}, lengthCell{InputTable::observations, j, 4};
      // A planned network's routes are not yet leveled: an empty difference counts as 0.
      if (planned && diffText.empty()) {
        net.plannedRows.push_back(j);
      } else if (const std::optional<double> difference = readRequired(j, 3, diffText, problems)) {
        if (std::fabs(*difference) > kMaxAbsElevation)
          problems.add(observationCell(j, 3) + quoted(diffText) + kElevationRange, diffCell);
        else
          net.observedDifference[j] = *difference;
      }
      const std::string& lengthText = observations.cellText(j, 4, lengthScratch);
      if (const std::optional<double> routeLength = readRequired(j, 4, lengthText, problems)) {
        const double length = *routeLength;
        net.routeLength[j] = length;
        if (!(length > 0.0)) {
          problems.add(observationCell(j, 4) + quoted(lengthText) + "必须大于 0", lengthCell);
        } else if (length < kMinRouteLength || length > kMaxRouteLength) {
          problems.add(observationCell(j, 4) + quoted(lengthText) + kLengthRange, lengthCell);
        } else {
          if (shortest == 0 || length < net.routeLength[shortest]) shortest = j;
          if (longest == 0 || length > net.routeLength[longest]) longest = j;
        }
      }
      if (!pointsUsable) continue;
      const std::string& from = observations.cellText(j, 1, fromScratch);
      const std::string& to = observations.cellText(j, 2, toScratch);
      net.fromPoint[j] = net.pointNumberOf(from);
      net.toPoint[j] = net.pointNumberOf(to);
      if (net.fromPoint[j] == 0)
        problems.add(observationCell(j, 1) + quoted(from) + "不是点表中的点名", {InputTable::observations, j, 1});
      if (net.toPoint[j] == 0)
        problems.add(observationCell(j, 2) + quoted(to) + "不是点表中的点名", {InputTable::observations, j, 2});
      if (net.fromPoint[j] != 0 && net.fromPoint[j] == net.toPoint[j])
        problems.add("观测表第 " + std::to_string(j) + " 行：起点与终点是同一个点" + quoted(from),
                     {InputTable::observations, j, 2});
    }
  }

  if (observationsUsable && shortest != 0 &&
      net.routeLength[longest] / net.routeLength[shortest] > kMaxRouteLengthRatio)
    problems.add("水准路线长度：观测表第 " + std::to_string(longest) + " 行的 " +
                     quoted(observations.text(longest, 4)) + " km 是第 " + std::to_string(shortest) + " 行的 " +
                     quoted(observations.text(shortest, 4)) + " km 的 " +
                     numberText(std::floor(net.routeLength[longest] / net.routeLength[shortest])) +
                     " 倍，超过 1000000 倍：权相差太悬殊，法方程无法准确求解",
                 {InputTable::observations, longest, 4});

  if (!planned && unknownOk && countOk && count <= unknown)
    problems.add("观测值 " + numberText(count) + " 个，不多于待定点 " + numberText(unknown) +
                     " 个：没有多余观测，无法平差和评定精度",
                 {InputTable::fields, 0, 2});

  // Every unknown point must be tied to a known point by a chain of
  // observations (which may pass through known points); otherwise the normal
  // equations have no unique solution.
  if (problems.empty() && pointsUsable && observationsUsable) {
    Components components(net.pointCount);
    for (int j = 1; j <= net.observationCount; ++j) components.join(net.fromPoint[j], net.toPoint[j]);
    std::vector<char> tied(static_cast<std::size_t>(net.pointCount) + 1, 0);
    for (int p = 1; p <= net.knownCount; ++p) tied[components.find(p)] = 1;
    std::string loose;
    int looseCount = 0, firstLoose = 0;
    for (int p = net.knownCount + 1; p <= net.pointCount; ++p) {
      if (tied[components.find(p)]) continue;
      // A point that repeats an earlier name can be reached by no
      // observation: the name is the cause, not a missing observation.
      const int first = net.pointNumberOf(net.pointName[p]);
      if (first != p) {
        problems.add("点表第 " + std::to_string(p) + " 行与第 " + std::to_string(first) + " 行点名重复：" +
                         quoted(net.pointName[p]) + "（观测值中的这个点名都按第 " + std::to_string(first) +
                         " 行计算，第 " + std::to_string(p) + " 行的待定点因此没有观测）",
                     {InputTable::points, p, 1});
        continue;
      }
      if (looseCount++ > 0) loose += "、";
      if (looseCount == 1) firstLoose = p;
      loose += quoted(net.pointName[p]) + "（点表第 " + std::to_string(p) + " 行）";
    }
    if (looseCount > 0)
      problems.add("待定点 " + loose + " 没有经观测与任何已知点相连，法方程无唯一解",
                   {InputTable::points, firstLoose, 1});
  }

  if (!problems.empty()) problems.raise();
  return net;
}

}  // namespace levelnet
