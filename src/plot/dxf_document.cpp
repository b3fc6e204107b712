#include "plot/drawing_files.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"

namespace levelnet::plot {

namespace {

// Segments of the polyline that stands for a route's arc.
constexpr int kArcSegments = 16;

// AutoCAD colour numbers.
int colourOf(RouteMark mark) {
  switch (mark) {
    case RouteMark::suspected:
      return 1;  // red
    case RouteMark::unchecked:
      return 30;  // orange
    case RouteMark::weak:
      return 6;  // magenta
    case RouteMark::plain:
      break;
  }
  return 7;  // black on white, white on black
}

class Dxf {
 public:
  void pair(int code, const std::string& value) {
    out_ += std::to_string(code);
    out_ += "\r\n";
    out_ += value;
    out_ += "\r\n";
  }
  void number(int code, double v) { pair(code, fixedText(v, 4)); }
  void integer(int code, int v) { pair(code, std::to_string(v)); }
  void point(int code, double x, double y) {
    number(10 + code, x);
    number(20 + code, y);
    number(30 + code, 0.0);
  }
  void entity(const char* type, const char* layer) {
    pair(0, type);
    pair(8, layer);
  }
  // Text in the file's code page; a text GBK cannot hold is refused.
  void text(double x, double y, double height, const std::string& utf8) {
    const std::optional<std::string> gbk = utf8ToGbk(utf8);
    if (!gbk)
      throw InputError("文字“" + utf8 + "”中有 GBK 编码不能表示的字符：DXF 文件（代码页 ANSI_936）无法写入",
                       Remedy::none);
    entity("TEXT", kLabelsLayer);
    point(0, x, y);
    number(40, height);
    pair(1, *gbk);
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string dxfDocument(const NetworkDrawing& d) {
  Dxf f;
  const double margin = 0.1 * std::max({d.maxX - d.minX, d.maxY - d.minY, 1e-9});
  f.pair(0, "SECTION");
  f.pair(2, "HEADER");
  f.pair(9, "$ACADVER");
  f.pair(1, "AC1009");
  f.pair(9, "$DWGCODEPAGE");
  f.pair(3, "ANSI_936");
  f.pair(9, "$EXTMIN");
  f.point(0, d.minX - margin, d.minY - margin);
  f.pair(9, "$EXTMAX");
  f.point(0, d.maxX + margin, d.maxY + margin);
  f.pair(0, "ENDSEC");

  f.pair(0, "SECTION");
  f.pair(2, "TABLES");
  f.pair(0, "TABLE");
  f.pair(2, "LTYPE");
  f.integer(70, 1);
  f.pair(0, "LTYPE");
  f.pair(2, "CONTINUOUS");
  f.integer(70, 0);
  f.pair(3, "Solid line");
  f.integer(72, 65);
  f.integer(73, 0);
  f.number(40, 0.0);
  f.pair(0, "ENDTAB");
  const bool loops = !d.failedLoops.empty();
  f.pair(0, "TABLE");
  f.pair(2, "LAYER");
  f.integer(70, loops ? 4 : 3);
  const std::pair<const char*, int> layers[] = {
      {kPointsLayer, 7}, {kRoutesLayer, 7}, {kLabelsLayer, 5}, {kLoopsLayer, 1}};
  for (const auto& [name, colour] : layers) {
    if (std::string_view(name) == kLoopsLayer && !loops) continue;
    f.pair(0, "LAYER");
    f.pair(2, name);
    f.integer(70, 0);
    f.integer(62, colour);
    f.pair(6, "CONTINUOUS");
  }
  f.pair(0, "ENDTAB");
  f.pair(0, "ENDSEC");

  f.pair(0, "SECTION");
  f.pair(2, "ENTITIES");
  for (const DrawnPoint& p : d.points) {
    if (p.known) {
      // A filled triangle: SOLID with its third corner given twice.
      const double r = p.radius;
      f.entity("SOLID", kPointsLayer);
      f.point(0, p.x - 0.866 * r, p.y - 0.5 * r);
      f.point(1, p.x + 0.866 * r, p.y - 0.5 * r);
      f.point(2, p.x, p.y + r);
      f.point(3, p.x, p.y + r);
    } else {
      f.entity("CIRCLE", kPointsLayer);
      f.point(0, p.x, p.y);
      f.number(40, p.radius);
    }
  }
  for (const DrawnRoute& r : d.routes) {
    const DrawnPoint& a = d.points[r.from];
    const DrawnPoint& b = d.points[r.to];
    if (r.bend == 0.0) {
      f.entity("LINE", kRoutesLayer);
      f.integer(62, colourOf(r.mark));
      f.point(0, a.x, a.y);
      f.point(1, b.x, b.y);
      continue;
    }
    f.entity("POLYLINE", kRoutesLayer);
    f.integer(62, colourOf(r.mark));
    f.integer(66, 1);
    f.point(0, 0.0, 0.0);
    f.integer(70, 0);
    for (int s = 0; s <= kArcSegments; ++s) {
      const DrawingPoint q = routePoint(a, b, r.bend, static_cast<double>(s) / kArcSegments);
      f.entity("VERTEX", kRoutesLayer);
      f.point(0, q.x, q.y);
    }
    f.entity("SEQEND", kRoutesLayer);
  }
  for (const std::vector<int>& loop : d.failedLoops) {
    f.entity("POLYLINE", kLoopsLayer);
    f.integer(66, 1);
    f.point(0, 0.0, 0.0);
    f.integer(70, 1);  // closed
    for (const int i : loop) {
      f.entity("VERTEX", kLoopsLayer);
      f.point(0, d.points[i].x, d.points[i].y);
    }
    f.entity("SEQEND", kLoopsLayer);
  }
  const double height = 1.2 * d.symbolSize;
  for (const DrawnPoint& p : d.points) {
    const double x = p.x + p.radius + 0.3 * height;
    f.text(x, p.y + 0.2 * height, height, p.name);
    std::string figures = p.elevation;
    if (!p.error.empty()) figures += (figures.empty() ? "" : " ") + p.error;
    if (!figures.empty()) f.text(x, p.y - 1.1 * height, 0.8 * height, figures);
  }
  for (const DrawnRoute& r : d.routes) {
    const DrawingPoint m = routePoint(d.points[r.from], d.points[r.to], r.bend, 0.5);
    f.text(m.x, m.y, 0.75 * height, r.label);
  }
  f.pair(0, "ENDSEC");
  f.pair(0, "EOF");
  return f.take();
}

}  // namespace levelnet::plot
