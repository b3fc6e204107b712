#include "plot/network_drawing.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "network/errors.h"
#include "network/number_text.h"

namespace levelnet::plot {

namespace {

std::string signedFixed(double v, int decimals) {
  std::string t = fixedText(v, decimals);
  return t[0] == '-' ? t : "+" + t;
}

double distance(const DrawnPoint& a, const DrawnPoint& b) { return std::hypot(b.x - a.x, b.y - a.y); }

}  // namespace

DrawingPoint routeControl(const DrawnPoint& a, const DrawnPoint& b, double bend) {
  const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
  DrawingPoint c{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
  if (length > 0.0) {
    // The curve passes half way between the chord and its control point.
    c.x += -dy / length * 2.0 * bend;
    c.y += dx / length * 2.0 * bend;
  }
  return c;
}

DrawingPoint routePoint(const DrawnPoint& a, const DrawnPoint& b, double bend, double s) {
  const DrawingPoint c = routeControl(a, b, bend);
  const double u = 1.0 - s;
  return {u * u * a.x + 2.0 * u * s * c.x + s * s * b.x, u * u * a.y + 2.0 * u * s * c.y + s * s * b.y};
}

ScaleBar scaleBarFor(double span) {
  ScaleBar bar;
  const double target = std::max(span / 5.0, 1e-3);
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  double length = power;
  for (const double step : {2.0, 5.0, 10.0})
    if (step * power <= target) length = step * power;
  bar.length = length;
  bar.text = length >= 1000.0 ? numberText(length / 1000.0) + " km" : numberText(length) + " m";
  return bar;
}

NetworkDrawing drawNetwork(const LevelingNetwork& net, const PointPlacement& where, bool realCoordinates,
                           const DrawingFacts& facts, const std::string& title) {
  NetworkDrawing d;
  d.title = title;
  d.realCoordinates = realCoordinates;
  d.points.reserve(static_cast<std::size_t>(net.pointCount));
  for (int p = 1; p <= net.pointCount; ++p) {
    DrawnPoint point;
    point.point = p;
    point.name = net.pointName[p];
    point.x = where.east[p];
    point.y = where.north[p];
    requireFinite(point.x, "网图未完成");
    requireFinite(point.y, "网图未完成");
    point.known = p <= net.knownCount;
    if (point.known)
      point.elevation = "H=" + fixedText(net.elevation[p], 4);
    else if (facts.adjustedElevations != nullptr)
      point.elevation = "H=" + fixedText((*facts.adjustedElevations)[p], 4);
    if (!point.known && facts.pointErrors != nullptr) {
      const double m = (*facts.pointErrors)[p - net.knownCount];
      requireFinite(m, "网图未完成");
      point.error = std::string(facts.expectedErrors ? "预估M=" : "M=") + fixedText(m, 1) + "mm";
    }
    d.points.push_back(std::move(point));
  }
  if (!d.points.empty()) {
    d.minX = d.maxX = d.points[0].x;
    d.minY = d.maxY = d.points[0].y;
    for (const DrawnPoint& p : d.points) {
      d.minX = std::min(d.minX, p.x);
      d.maxX = std::max(d.maxX, p.x);
      d.minY = std::min(d.minY, p.y);
      d.maxY = std::max(d.maxY, p.y);
    }
  }
  const double span = std::max({d.maxX - d.minX, d.maxY - d.minY, 1e-9});

  // Routes: parallel ones (the same two points, either way) get arcs on
  // alternate sides, the first straight where their count is odd.
  std::map<std::pair<int, int>, std::vector<int>> byPair;
  for (int k = 1; k <= net.observationCount; ++k)
    byPair[{std::min(net.fromPoint[k], net.toPoint[k]), std::max(net.fromPoint[k], net.toPoint[k])}].push_back(k);
  d.routes.resize(static_cast<std::size_t>(net.observationCount));
  std::vector<double> chords;
  chords.reserve(byPair.size());
  for (const auto& [pair, observations] : byPair) {
    const DrawnPoint& a = d.points[pair.first - 1];
    const DrawnPoint& b = d.points[pair.second - 1];
    const double chord = distance(a, b);
    chords.push_back(chord);
    const int m = static_cast<int>(observations.size());
    for (int i = 0; i < m; ++i) {
      const int k = observations[i];
      DrawnRoute& r = d.routes[k - 1];
      r.observation = k;
      r.from = net.fromPoint[k] - 1;
      r.to = net.toPoint[k] - 1;
      // The offset in the pair's own direction (lower point number first).
      const double offset = (i - (m - 1) / 2.0) * 0.18 * chord;
      r.bend = net.fromPoint[k] == pair.first ? offset : -offset;
      r.mark = facts.marks.empty() ? RouteMark::plain : facts.marks[k];
      r.label = std::to_string(k);
      r.detail = "第 " + std::to_string(k) + " 条：" + net.pointName[net.fromPoint[k]] + "→" +
                 net.pointName[net.toPoint[k]] + "，" +
                 (std::binary_search(net.plannedRows.begin(), net.plannedRows.end(), k)
                      ? std::string("未观测")
                      : signedFixed(net.observedDifference[k], 4) + " m") +
                 "，" + numberText(net.routeLength[k]) + " km";
    }
  }
  // Symbols a fraction of a typical route, and never more than a fortieth
  // of the whole picture.
  double typical = span / 10.0;
  if (!chords.empty()) {
    std::nth_element(chords.begin(), chords.begin() + chords.size() / 2, chords.end());
    if (chords[chords.size() / 2] > 0.0) typical = chords[chords.size() / 2];
  }
  d.symbolSize = std::min(0.12 * typical, span / 40.0);
  if (!(d.symbolSize > 0.0)) d.symbolSize = 1.0;
  // A design's circles grow with the expected M: the weak parts stand out.
  double largest = 0.0;
  if (facts.expectedErrors && facts.pointErrors != nullptr)
    for (int i = 1; i <= net.parameterCount; ++i) largest = std::max(largest, (*facts.pointErrors)[i]);
  for (DrawnPoint& p : d.points) {
    p.radius = p.known ? 1.3 * d.symbolSize : d.symbolSize;
    if (!p.known && largest > 0.0)
      p.radius = d.symbolSize * (0.6 + 1.4 * (*facts.pointErrors)[p.point - net.knownCount] / largest);
  }
  for (const std::vector<int>& loop : facts.failedLoops) {
    std::vector<int> indices;
    for (const int p : loop) indices.push_back(p - 1);
    d.failedLoops.push_back(std::move(indices));
  }
  if (realCoordinates) d.scaleBar = scaleBarFor(span);

  d.legend.push_back({LegendSymbol::benchmark, "已知点（水准点）"});
  d.legend.push_back({LegendSymbol::unknown, facts.expectedErrors ? "待定点（圆的大小示预估中误差）" : "待定点"});
  d.legend.push_back({LegendSymbol::plainRoute, "水准路线"});
  auto present = [&](RouteMark mark) {
    return std::any_of(d.routes.begin(), d.routes.end(), [&](const DrawnRoute& r) { return r.mark == mark; });
  };
  if (present(RouteMark::suspected)) d.legend.push_back({LegendSymbol::suspectedRoute, "可疑粗差"});
  if (present(RouteMark::unchecked)) d.legend.push_back({LegendSymbol::uncheckedRoute, "无法检核"});
  if (present(RouteMark::weak)) d.legend.push_back({LegendSymbol::weakRoute, "检核弱或影响超限"});
  if (!d.failedLoops.empty()) d.legend.push_back({LegendSymbol::failedLoop, "闭合差超限的环线"});
  return d;
}

}  // namespace levelnet::plot
