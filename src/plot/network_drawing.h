// The network as a picture, before any file format: symbols, routes, labels,
// legend, scale bar and north arrow in drawing coordinates (x east, y north;
// metres when the coordinates are real). The SVG and DXF writers and the
// window's 网图 draw this model and nothing else.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "network/leveling_network.h"
#include "plot/plane_points.h"

namespace levelnet::plot {

// What a route's colour says.
enum class RouteMark {
  plain,
  suspected,  // flagged by the blunder search (可疑粗差)
  unchecked,  // no test can find a blunder there (无法检核)
  weak,       // on the check's list as poorly checked or beyond the point accuracy
};

struct DrawnPoint {
  int point = 0;  // point number in the network
  std::string name;
  double x = 0.0, y = 0.0;
  bool known = false;
  std::string elevation;  // "H=50.1004", empty when there is none to show
  std::string error;      // "M=1.2mm" after adjustment, "预估M=1.2mm" for a design
  double radius = 0.0;    // of the symbol (a circle's radius, a triangle's circumradius)
};

struct DrawnRoute {
  int observation = 0;   // row of the observation table
  int from = 0, to = 0;  // indices into NetworkDrawing::points
  // Distance of the arc's middle from the straight line, to the left of the
  // way from `from` to `to`; 0 for a straight line. Parallel routes between
  // the same two points get arcs apart.
  double bend = 0.0;
  RouteMark mark = RouteMark::plain;
  std::string label;   // the route's number
  std::string detail;  // "第 3 条：水准点1→水准点2，+1.2340 m，1.6 km"
};

// A point on a route's curve, at parameter s in [0, 1] (a quadratic Bézier
// curve through the middle point `bend` off the chord).
struct DrawingPoint {
  double x = 0.0, y = 0.0;
};
DrawingPoint routePoint(const DrawnPoint& a, const DrawnPoint& b, double bend, double s);
// The control point of the quadratic Bézier curve of a route.
DrawingPoint routeControl(const DrawnPoint& a, const DrawnPoint& b, double bend);

enum class LegendSymbol { benchmark, unknown, plainRoute, suspectedRoute, uncheckedRoute, weakRoute, failedLoop };
struct LegendEntry {
  LegendSymbol symbol;
  std::string text;
};

struct ScaleBar {
  double length = 0.0;  // drawing units (m)
  std::string text;     // "500 m", "2 km"
};

struct NetworkDrawing {
  std::string title;
  std::vector<DrawnPoint> points;
  std::vector<DrawnRoute> routes;
  std::vector<std::vector<int>> failedLoops;  // indices into points, in the order passed
  bool realCoordinates = false;
  double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;  // the points' extent
  double symbolSize = 1.0;                                // the radius of an ordinary symbol
  std::optional<ScaleBar> scaleBar;                       // real coordinates only
  std::vector<LegendEntry> legend;
};

// What is known of the network beyond its geometry; every part optional.
struct DrawingFacts {
  const std::vector<double>* adjustedElevations = nullptr;  // m, by point
  const std::vector<double>* pointErrors = nullptr;         // mm, by parameter 1..t
  bool expectedErrors = false;                              // the errors are a design's (circles scaled by them)
  std::vector<RouteMark> marks;                             // by observation 1..n; empty: all plain
  std::vector<std::vector<int>> failedLoops;                // point numbers of loops whose misclosure failed
};

// The drawing of a gathered network at `where` (drawing coordinates by point).
NetworkDrawing drawNetwork(const LevelingNetwork& net, const PointPlacement& where, bool realCoordinates,
                           const DrawingFacts& facts, const std::string& title);

// The length of a scale bar for an extent of `span` metres: 1, 2 or 5 times
// a power of ten, about a fifth of it.
ScaleBar scaleBarFor(double span);

}  // namespace levelnet::plot
