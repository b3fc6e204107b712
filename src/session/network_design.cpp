#include "session/network_design.h"

#include <algorithm>
#include <cmath>

#include "check/network_check.h"
#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::session {

namespace {

constexpr double kMaxSigmaKm = 1000.0;

std::string fixed2(double v) {
  requireFinite(v, "精度预估未完成");
  return fixedText(v, 2);
}

}  // namespace

DesignOptions designOptions(const std::string& grade, const std::string& terrain, const std::string& sigmaKm,
                            const std::string& pointLimit) {
  DesignOptions options;
  options.grade = grade;
  options.terrain = terrain;
  toleranceCoefficient(grade, terrain);  // refuses an unknown grade or terrain
  if (!sigmaKm.empty()) {
    const std::optional<double> sigma = parseNumber(sigmaKm);
    if (!sigma || !(*sigma > 0.0) || !(*sigma <= kMaxSigmaKm))
      throw InputError("每公里高差中误差 σ“" + sigmaKm + "”不是大于 0、不超过 1000 的毫米数", Remedy::sigmaPerKm);
    options.sigmaKm = *sigma;
  } else if (gradeErrorLimitKm(grade) > 0.0) {
    options.sigmaKm = gradeErrorLimitKm(grade);
  } else {
    throw InputError("精度预估需要每公里高差中误差 σ（或有每千米高差全中误差限值的等级）", Remedy::sigmaPerKm);
  }
  if (!pointLimit.empty()) {
    const std::optional<double> limit = parseNumber(pointLimit);
    if (!limit || !(*limit > 0.0) || !(*limit <= 1e5))
      throw InputError("最弱点高程中误差限值“" + pointLimit + "”不是大于 0 的毫米数");
    options.pointLimit = *limit;
  }
  return options;
}

PlannedRoute parsePlannedRoute(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ',') {
      parts.push_back(current);
      current.clear();
    } else if (text.compare(i, 3, "，") == 0) {
      parts.push_back(current);
      current.clear();
      i += 2;
    } else {
      current += text[i];
    }
  }
  parts.push_back(current);
  if (parts.size() != 3 || parts[0].empty() || parts[1].empty() || parts[2].empty())
    throw InputError("要增加的路线“" + text + "”应为“起点,终点,路线长度(km)”");
  const std::optional<double> length = parseNumber(parts[2]);
  if (!length || !(*length > 0.0))
    throw InputError("要增加的路线“" + text + "”的长度“" + parts[2] + "”不是大于 0 的数");
  return PlannedRoute{parts[0], parts[1], parts[2]};
}

NetworkText withRouteChanges(const NetworkText& network, const RouteChanges& changes) {
  const std::optional<double> countValue = parseNumber(network.fields.observations);
  const int rows = network.observations.rows() - 1;
  const int count = countValue && isCount(*countValue) && *countValue <= rows ? static_cast<int>(*countValue) : -1;
  if (count < 0) throw InputError("观测值个数“" + network.fields.observations + "”不能用，无法增减路线");
  std::vector<int> removed = changes.removed;
  std::sort(removed.begin(), removed.end());
  removed.erase(std::unique(removed.begin(), removed.end()), removed.end());
  for (const int row : removed)
    if (row < 1 || row > count)
      throw InputError("要去掉的第 " + std::to_string(row) + " 个观测值不存在（观测值共 " + std::to_string(count) +
                       " 个）");
  NetworkText changed = network;
  const int kept = count - static_cast<int>(removed.size());
  const int total = kept + static_cast<int>(changes.added.size());
  changed.observations.setRows(total + 1);
  int to = 1;
  for (int from = 1; from <= count; ++from) {
    if (std::binary_search(removed.begin(), removed.end(), from)) continue;
    for (int c = 0; c < kObservationColumns; ++c)
      changed.observations.setText(to, c, network.observations.text(from, c));
    changed.observations.setText(to, 0, std::to_string(to));
    ++to;
  }
  for (const PlannedRoute& route : changes.added) {
    changed.observations.setText(to, 0, std::to_string(to));
    changed.observations.setText(to, 1, route.from);
    changed.observations.setText(to, 2, route.to);
    changed.observations.setText(to, 3, "");
    changed.observations.setText(to, 4, route.length);
    ++to;
  }
  changed.fields.observations = std::to_string(total);
  return changed;
}

DesignRun designNetwork(const NetworkText& network, const DesignOptions& options, const RouteChanges& changes,
                        const std::string& fileName, NetworkLimits limits) {
  auto gather = [&](const NetworkText& text) {
    return gatherNetwork(text.fields, text.points, text.observations, limits, GatherMode::plannedNetwork);
  };
  DesignRun run;
  std::string beforeLine;
  if (!changes.empty()) {
    const LevelingNetwork original = gather(network);
    run.before = levelnet::designNetwork(original, options);
    if (run.before->weakestPoint != 0) run.beforeWeakestName = original.pointName[run.before->weakestPoint];
    run.net = gather(withRouteChanges(network, changes));
  } else {
    run.net = gather(network);
  }
  {
    std::vector<int> removed = changes.removed;
    std::sort(removed.begin(), removed.end());
    // The rows kept, in order, then the routes added (withRouteChanges).
    const int kept = run.net.observationCount - static_cast<int>(changes.added.size());
    run.observationRows.assign(1, 0);
    for (int row = 1; static_cast<int>(run.observationRows.size()) <= kept; ++row)
      if (!std::binary_search(removed.begin(), removed.end(), row)) run.observationRows.push_back(row);
    run.observationRows.resize(static_cast<std::size_t>(run.net.observationCount) + 1, 0);
  }
  run.findings = levelnet::designNetwork(run.net, options);
  run.report = writeDesignReport(run.net, run.findings, options, fileName);
  if (run.before) {
    std::string what;
    for (const PlannedRoute& r : changes.added)
      what += (what.empty() ? "" : "；") + ("增加 " + r.from + "→" + r.to + " " + r.length + " km");
    std::vector<int> removed = changes.removed;
    std::sort(removed.begin(), removed.end());
    removed.erase(std::unique(removed.begin(), removed.end()), removed.end());
    for (const int k : removed) what += (what.empty() ? "" : "；") + ("去掉原第 " + std::to_string(k) + " 个观测值");
    const DesignFindings& b = *run.before;
    const DesignFindings& a = run.findings;
    std::string line = "方案变更（" + what + "）：最弱点由 ";
    line += b.weakestPoint != 0 ? run.beforeWeakestName + "（M = " + fixed2(b.weakestError) + " mm）" : "（无）";
    line += " 变为 ";
    line += a.weakestPoint != 0 ? run.net.pointName[a.weakestPoint] + "（M = " + fixed2(a.weakestError) + " mm）"
                                : "（无）";
    line += "；无法检核的路线由 " + std::to_string(b.uncheckedRoutes.size()) + " 条变为 " +
            std::to_string(a.uncheckedRoutes.size()) + " 条";
    run.report += line + "\r\n";
  }
  return run;
}

}  // namespace levelnet::session
