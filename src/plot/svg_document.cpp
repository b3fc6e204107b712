#include "plot/drawing_files.h"

#include <algorithm>
#include <cmath>

#include "network/number_text.h"

namespace levelnet::plot {

namespace {

constexpr double kDrawingWidth = 1000.0;  // px of the larger side of the points' extent
constexpr double kMargin = 60.0;
constexpr double kLegendHeight = 24.0;

std::string escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

const char* markClass(RouteMark mark) {
  switch (mark) {
    case RouteMark::suspected:
      return "suspected";
    case RouteMark::unchecked:
      return "unchecked";
    case RouteMark::weak:
      return "weak";
    case RouteMark::plain:
      break;
  }
  return "plain";
}

// Page coordinates: x to the right, y down, north up.
class Page {
 public:
  explicit Page(const NetworkDrawing& d) : d_(d) {
    const double span = std::max({d.maxX - d.minX, d.maxY - d.minY, 1e-9});
    scale_ = kDrawingWidth / span;
  }
  double x(double east) const { return kMargin + (east - d_.minX) * scale_; }
  double y(double north) const { return kMargin + (d_.maxY - north) * scale_; }
  double length(double units) const { return units * scale_; }
  double width() const { return 2 * kMargin + (d_.maxX - d_.minX) * scale_; }
  double height() const { return 2 * kMargin + (d_.maxY - d_.minY) * scale_ + kLegendHeight * 2; }

 private:
  const NetworkDrawing& d_;
  double scale_ = 1.0;
};

std::string num(double v) { return fixedText(v, 2); }

void triangle(std::string& out, double cx, double cy, double r, const char* cls) {
  out += "<polygon class=\"";
  out += cls;
  out += "\" points=\"" + num(cx) + "," + num(cy - r) + " " + num(cx - 0.866 * r) + "," + num(cy + 0.5 * r) + " " +
         num(cx + 0.866 * r) + "," + num(cy + 0.5 * r) + "\"/>\n";
}

}  // namespace

std::string svgDocument(const NetworkDrawing& d) {
  const Page page(d);
  const double width = std::max(page.width(), 480.0), height = page.height();
  std::string out;
  out.reserve(256 + d.points.size() * 260 + d.routes.size() * 200);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + num(width) + "\" height=\"" +
         num(height) + "\" viewBox=\"0 0 " + num(width) + " " + num(height) +
         "\" font-family=\"Noto Sans CJK SC, AR PL UMing CN, sans-serif\">\n";
  out += "<title>" + escaped(d.title) + "</title>\n";
  out +=
      "<style>\n"
      ".plain{stroke:#404040}.suspected{stroke:#d62728;stroke-width:2.5}.unchecked{stroke:#ff7f0e;"
      "stroke-dasharray:6 3}.weak{stroke:#9467bd}\n"
      ".benchmark,.legend-benchmark{fill:#000}.unknown,.legend-unknown{fill:#fff;stroke:#000}\n"
      ".loop{fill:none;stroke:#d62728;stroke-width:1;stroke-dasharray:2 2}\n"
      "</style>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";

  const double stroke = std::clamp(page.length(d.symbolSize) / 5.0, 0.3, 1.5);
  const double font = std::clamp(page.length(d.symbolSize) * 2.2, 1.0, 13.0);

  out += "<g id=\"loops\">\n";
  for (const std::vector<int>& loop : d.failedLoops) {
    out += "<polygon class=\"loop\" points=\"";
    for (const int i : loop) out += num(page.x(d.points[i].x)) + "," + num(page.y(d.points[i].y)) + " ";
    out += "\"/>\n";
  }
  out += "</g>\n";

  out += "<g id=\"routes\" fill=\"none\" stroke-width=\"" + num(stroke) + "\">\n";
  for (const DrawnRoute& r : d.routes) {
    const DrawnPoint& a = d.points[r.from];
    const DrawnPoint& b = d.points[r.to];
    out += "<path class=\"";
    out += markClass(r.mark);
    out += "\" id=\"route-" + r.label + "\" d=\"M" + num(page.x(a.x)) + "," + num(page.y(a.y));
    if (r.bend != 0.0) {
      const DrawingPoint c = routeControl(a, b, r.bend);
      out += " Q" + num(page.x(c.x)) + "," + num(page.y(c.y));
    } else {
      out += " L";
    }
    out += " " + num(page.x(b.x)) + "," + num(page.y(b.y)) + "\"><title>" + escaped(r.detail) + "</title></path>\n";
  }
  out += "</g>\n";

  out += "<g id=\"points\" stroke-width=\"" + num(stroke) + "\">\n";
  for (const DrawnPoint& p : d.points) {
    const double cx = page.x(p.x), cy = page.y(p.y), r = page.length(p.radius);
    if (p.known)
      triangle(out, cx, cy, r, "benchmark");
    else
      out += "<circle class=\"unknown\" cx=\"" + num(cx) + "\" cy=\"" + num(cy) + "\" r=\"" + num(r) + "\"/>\n";
  }
  out += "</g>\n";

  out += "<g id=\"labels\" font-size=\"" + num(font) + "\">\n";
  for (const DrawnPoint& p : d.points) {
    const double x = page.x(p.x) + page.length(p.radius) + font * 0.3, y = page.y(p.y);
    out += "<text class=\"point-name\" x=\"" + num(x) + "\" y=\"" + num(y - font * 0.2) + "\">" + escaped(p.name) +
           "</text>\n";
    std::string figures = p.elevation;
    if (!p.error.empty()) figures += (figures.empty() ? "" : " ") + p.error;
    if (!figures.empty())
      out += "<text class=\"point-figures\" x=\"" + num(x) + "\" y=\"" + num(y + font * 0.9) + "\" font-size=\"" +
             num(font * 0.8) + "\" fill=\"#555\">" + escaped(figures) + "</text>\n";
  }
  for (const DrawnRoute& r : d.routes) {
    const DrawingPoint m = routePoint(d.points[r.from], d.points[r.to], r.bend, 0.5);
    out += "<text class=\"route-label\" x=\"" + num(page.x(m.x)) + "\" y=\"" + num(page.y(m.y)) + "\" font-size=\"" +
           num(font * 0.75) + "\" fill=\"#1f4e9a\" text-anchor=\"middle\">" + r.label + "</text>\n";
  }
  out += "</g>\n";

  // Legend along the foot of the page.
  out += "<g id=\"legend\" font-size=\"12\">\n";
  double x = kMargin;
  const double y = height - kLegendHeight;
  for (const LegendEntry& e : d.legend) {
    switch (e.symbol) {
      case LegendSymbol::benchmark:
        triangle(out, x + 6, y - 4, 6, "legend-benchmark");
        break;
      case LegendSymbol::unknown:
        out += "<circle class=\"legend-unknown\" cx=\"" + num(x + 6) + "\" cy=\"" + num(y - 4) + "\" r=\"5\"/>\n";
        break;
      case LegendSymbol::failedLoop:
        out += "<rect class=\"loop\" x=\"" + num(x) + "\" y=\"" + num(y - 10) + "\" width=\"14\" height=\"12\"/>\n";
        break;
      default: {
        const char* cls = e.symbol == LegendSymbol::suspectedRoute   ? "suspected"
                          : e.symbol == LegendSymbol::uncheckedRoute ? "unchecked"
                          : e.symbol == LegendSymbol::weakRoute      ? "weak"
                                                                     : "plain";
        out += "<line class=\"" + std::string(cls) + "\" x1=\"" + num(x) + "\" y1=\"" + num(y - 4) + "\" x2=\"" +
               num(x + 16) + "\" y2=\"" + num(y - 4) + "\" stroke-width=\"2\"/>\n";
      }
    }
    out += "<text x=\"" + num(x + 20) + "\" y=\"" + num(y) + "\">" + escaped(e.text) + "</text>\n";
    x += 36 + 12.0 * static_cast<double>(e.text.size()) / 3.0 * 1.1;
  }
  out += "</g>\n";

  // North arrow, top right.
  const double nx = width - 30, ny = 20;
  out += "<g id=\"north-arrow\"><polygon points=\"" + num(nx) + "," + num(ny) + " " + num(nx - 7) + "," + num(ny + 24) +
         " " + num(nx) + "," + num(ny + 18) + " " + num(nx + 7) + "," + num(ny + 24) + "\" fill=\"#000\"/><text x=\"" +
         num(nx) + "\" y=\"" + num(ny + 40) + "\" font-size=\"13\" text-anchor=\"middle\">北</text></g>\n";

  if (d.scaleBar) {
    const double length = page.length(d.scaleBar->length);
    const double sx = width - kMargin - length, sy = height - kLegendHeight * 2;
    out += "<g id=\"scale-bar\"><rect x=\"" + num(sx) + "\" y=\"" + num(sy) + "\" width=\"" + num(length) +
           "\" height=\"4\" fill=\"#000\"/><text x=\"" + num(sx + length / 2) + "\" y=\"" + num(sy - 4) +
           "\" font-size=\"12\" text-anchor=\"middle\">" + escaped(d.scaleBar->text) + "</text></g>\n";
  }
  out += "</svg>\n";
  return out;
}

}  // namespace levelnet::plot
