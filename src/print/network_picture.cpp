#include "print/network_picture.h"
#include "print/bundled_fonts.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <optional>

#include "network/errors.h"
#include "print/pdf_creation_date.h"
#include "print/without_display.h"
#include "session/source_date.h"

namespace levelnet::print {

namespace {

using plot::DrawnPoint;
using plot::DrawnRoute;
using plot::LegendSymbol;
using plot::NetworkDrawing;
using plot::RouteMark;

QString q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

constexpr int kPdfResolution = 600;
constexpr int kPngLongSide = 1600;
constexpr double kPngDpi = 150.0;

// Device units of the picture: millimetres and points at `dpi`.
struct Scale {
  double dpi;
  qreal mm(double v) const { return v * dpi / 25.4; }
  qreal pt(double v) const { return v * dpi / 72.0; }
};

QFont fontOf(const QString& face, const Scale& s, double points, bool bold = false) {
  QFont f = documentFont(face);
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(s.pt(points)))));
  f.setBold(bold);
  return f;
}

// From drawing units (x east, y north) to the device, north up.
struct Mapping {
  PicturePlacement place;
  QPointF at(double x, double y) const { return {place.x(x), place.y(y)}; }
};

qreal titleHeightOf(const NetworkDrawing& d, const Scale& s) { return d.title.empty() ? 0.0 : s.mm(9); }
qreal legendHeightOf(const Scale& s) { return s.mm(8); }
qreal marginOf(const Scale& s) { return s.mm(8); }

void triangle(QPainter& p, QPointF c, qreal r) {
  const QPolygonF t({QPointF(c.x(), c.y() - r), QPointF(c.x() - 0.866 * r, c.y() + 0.5 * r),
                     QPointF(c.x() + 0.866 * r, c.y() + 0.5 * r)});
  p.drawPolygon(t);
}

QPen routePen(RouteMark mark, qreal width) {
  QPen pen(routeColour(mark), mark == RouteMark::suspected ? width * 2.0 : width);
  if (routeDashed(mark)) pen.setStyle(Qt::DashLine);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

void northArrow(QPainter& p, const Scale& s, const QString& face, QPointF tip) {
  const qreal h = s.mm(9), w = s.mm(3);
  QPolygonF arrow({tip, QPointF(tip.x() - w, tip.y() + h), QPointF(tip.x(), tip.y() + 0.75 * h),
                   QPointF(tip.x() + w, tip.y() + h)});
  p.setPen(QPen(Qt::black, s.mm(0.2)));
  p.setBrush(Qt::black);
  p.drawPolygon(arrow);
  p.setFont(fontOf(face, s, 9, true));
  p.drawText(QRectF(tip.x() - s.mm(5), tip.y() + h, s.mm(10), s.mm(5)), Qt::AlignCenter, QStringLiteral("北"));
}

}  // namespace

QColor routeColour(RouteMark mark) {
  switch (mark) {
    case RouteMark::suspected:
      return QColor(214, 39, 40);
    case RouteMark::unchecked:
      return QColor(255, 127, 14);
    case RouteMark::weak:
      return QColor(148, 103, 189);
    case RouteMark::plain:
      break;
  }
  return QColor(64, 64, 64);
}

bool routeDashed(RouteMark mark) { return mark == RouteMark::unchecked; }

QColor loopColour() { return QColor(214, 39, 40); }

QString drawingFace() {
  const QStringList families = QFontDatabase::families();
  for (const char* face : {"AR PL UMing CN", "Noto Sans CJK SC", "AR PL UMing TW", "Noto Sans Mono CJK SC"})
    if (families.contains(QString::fromLatin1(face))) return QString::fromLatin1(face);
  throw InputError("找不到中文字体，无法绘制网图（请安装 Debian 软件包 fonts-arphic-uming 或 fonts-noto-cjk）");
}

PicturePlacement placePicture(const QRectF& area, const NetworkDrawing& d, double dpi) {
  const Scale s{dpi};
  const qreal margin = marginOf(s);
  const qreal top = area.top() + titleHeightOf(d, s) + margin;
  const QRectF net(area.left() + margin, top, area.width() - 2 * margin - s.mm(10),
                   area.height() - titleHeightOf(d, s) - legendHeightOf(s) - 2 * margin);
  PicturePlacement m;
  const double spanX = d.maxX - d.minX, spanY = d.maxY - d.minY;
  const double span = std::max({spanX, spanY, 1e-9});
  m.scale = std::min(net.width() / std::max(spanX, span * 1e-3), net.height() / std::max(spanY, span * 1e-3));
  if (!(m.scale > 0.0) || !std::isfinite(m.scale)) m.scale = 1.0;
  m.minX = d.minX;
  m.maxY = d.maxY;
  m.left = net.left() + (net.width() - spanX * m.scale) / 2;
  m.top = net.top() + (net.height() - spanY * m.scale) / 2;
  // An ordinary symbol between 0.5 and 2 mm on paper; a design's circles
  // keep their proportions to it.
  m.symbolRadius = std::clamp<qreal>(d.symbolSize * m.scale, s.mm(0.5), s.mm(2.0));
  return m;
}

void paintNetworkDrawing(QPainter& p, const QRectF& area, const NetworkDrawing& d, double dpi) {
  const QString face = drawingFace();
  const Scale s{dpi};
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setClipRect(area);

  // Title above, legend below, the network between them.
  const qreal titleHeight = titleHeightOf(d, s);
  const qreal legendHeight = legendHeightOf(s);
  if (!d.title.empty()) {
    p.setPen(Qt::black);
    p.setFont(fontOf(face, s, 11, true));
    p.drawText(QRectF(area.left(), area.top(), area.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
               q(d.title));
  }
  const qreal margin = marginOf(s);
  const Mapping m{placePicture(area, d, dpi)};
  const qreal symbol = m.place.symbolRadius;
  const qreal perUnit = d.symbolSize > 0.0 ? symbol / d.symbolSize : 1.0;
  // The typical route is about symbolSize / 0.12 long: labels go where such a
  // route is long enough to carry a name beside its end.
  const qreal typicalRoute = d.symbolSize / 0.12 * m.place.scale;
  const bool pointLabels = typicalRoute >= s.mm(14);
  const bool routeLabels = typicalRoute >= s.mm(20);
  const qreal line = std::clamp<qreal>(symbol / 5.0, s.mm(0.12), s.mm(0.35));

  p.setBrush(Qt::NoBrush);
  for (const std::vector<int>& loop : d.failedLoops) {
    QPolygonF outline;
    for (const int i : loop) {
      const DrawnPoint& point = d.points[static_cast<std::size_t>(i)];
      outline << m.at(point.x, point.y);
    }
    QPen pen(loopColour(), line * 1.2, Qt::DotLine);
    p.setPen(pen);
    p.drawPolygon(outline);
  }

  for (const DrawnRoute& r : d.routes) {
    const DrawnPoint& a = d.points[static_cast<std::size_t>(r.from)];
    const DrawnPoint& b = d.points[static_cast<std::size_t>(r.to)];
    QPainterPath path(m.at(a.x, a.y));
    if (r.bend != 0.0) {
      const plot::DrawingPoint c = plot::routeControl(a, b, r.bend);
      path.quadTo(m.at(c.x, c.y), m.at(b.x, b.y));
    } else {
      path.lineTo(m.at(b.x, b.y));
    }
    p.setPen(routePen(r.mark, line));
    p.drawPath(path);
  }

  p.setPen(QPen(Qt::black, line));
  for (const DrawnPoint& pt : d.points) {
    const QPointF c = m.at(pt.x, pt.y);
    const qreal r = pt.radius * perUnit;
    if (pt.known) {
      p.setBrush(Qt::black);
      triangle(p, c, r);
    } else {
      p.setBrush(Qt::white);
      p.drawEllipse(c, r, r);
    }
  }

  if (pointLabels) {
    const QFont name = fontOf(face, s, 7), figures = fontOf(face, s, 6);
    const QFontMetricsF nameMetrics(name, p.device()), figureMetrics(figures, p.device());
    for (const DrawnPoint& pt : d.points) {
      const QPointF c = m.at(pt.x, pt.y);
      const qreal x = c.x() + pt.radius * perUnit + s.mm(0.8);
      p.setPen(Qt::black);
      p.setFont(name);
      p.drawText(QPointF(x, c.y() - s.mm(0.4)), q(pt.name));
      std::string text = pt.elevation;
      if (!pt.error.empty()) text += (text.empty() ? "" : " ") + pt.error;
      if (!text.empty()) {
        // On a light ground, so a route passing under stays readable.
        const QString shown = q(text);
        const qreal baseline = c.y() + figureMetrics.ascent() + s.mm(0.2);
        p.fillRect(QRectF(x, baseline - figureMetrics.ascent(), figureMetrics.horizontalAdvance(shown),
                          figureMetrics.height()),
                   QColor(255, 255, 255, 210));
        p.setPen(QColor(85, 85, 85));
        p.setFont(figures);
        p.drawText(QPointF(x, baseline), shown);
      }
    }
  }
  if (routeLabels) {
    const QFont font = fontOf(face, s, 6);
    const QFontMetricsF metrics(font, p.device());
    p.setFont(font);
    p.setPen(QColor(31, 78, 154));
    for (const DrawnRoute& r : d.routes) {
      const plot::DrawingPoint mid = plot::routePoint(d.points[static_cast<std::size_t>(r.from)],
                                                      d.points[static_cast<std::size_t>(r.to)], r.bend, 0.5);
      const QPointF c = m.at(mid.x, mid.y);
      const QString label = q(r.label);
      const qreal w = metrics.horizontalAdvance(label) + s.mm(0.6), h = metrics.height();
      const QRectF box(c.x() - w / 2, c.y() - h / 2, w, h);
      p.fillRect(box, Qt::white);
      p.drawText(box, Qt::AlignCenter, label);
    }
  }

  northArrow(p, s, face, QPointF(area.right() - s.mm(8), area.top() + titleHeight + s.mm(2)));

  // The legend along the foot.
  const QFont legendFont = fontOf(face, s, 7.5);
  const QFontMetricsF legendMetrics(legendFont, p.device());
  qreal x = area.left() + margin;
  const qreal y = area.bottom() - legendHeight / 2;
  for (const plot::LegendEntry& e : d.legend) {
    const QPointF c(x + s.mm(2.5), y);
    switch (e.symbol) {
      case LegendSymbol::benchmark:
        p.setPen(QPen(Qt::black, s.mm(0.15)));
        p.setBrush(Qt::black);
        triangle(p, c, s.mm(1.8));
        break;
      case LegendSymbol::unknown:
        p.setPen(QPen(Qt::black, s.mm(0.2)));
        p.setBrush(Qt::white);
        p.drawEllipse(c, s.mm(1.4), s.mm(1.4));
        break;
      case LegendSymbol::failedLoop:
        p.setPen(QPen(loopColour(), s.mm(0.25), Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(x, y - s.mm(1.8), s.mm(5), s.mm(3.6)));
        break;
      default: {
        const RouteMark mark = e.symbol == LegendSymbol::suspectedRoute   ? RouteMark::suspected
                               : e.symbol == LegendSymbol::uncheckedRoute ? RouteMark::unchecked
                               : e.symbol == LegendSymbol::weakRoute      ? RouteMark::weak
                                                                          : RouteMark::plain;
        p.setPen(routePen(mark, s.mm(0.35)));
        p.drawLine(QPointF(x, y), QPointF(x + s.mm(5), y));
      }
    }
    p.setPen(Qt::black);
    p.setFont(legendFont);
    const QString text = q(e.text);
    p.drawText(QPointF(x + s.mm(6.5), y + legendMetrics.ascent() / 2 - s.mm(0.3)), text);
    x += s.mm(11) + legendMetrics.horizontalAdvance(text);
  }

  if (d.scaleBar) {
    const qreal length = d.scaleBar->length * m.place.scale;
    const qreal sx = area.right() - margin - length, sy = area.bottom() - legendHeight - s.mm(1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(sx, sy, length / 2, s.mm(1)));
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::black, s.mm(0.15)));
    p.drawRect(QRectF(sx + length / 2, sy, length / 2, s.mm(1)));
    p.setFont(fontOf(face, s, 7));
    p.drawText(QRectF(sx - s.mm(10), sy - s.mm(4), length + s.mm(20), s.mm(3.5)), Qt::AlignCenter, q(d.scaleBar->text));
  }
  p.restore();
}

namespace {

void requireGuiApplication() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw InputError("内部错误：绘制网图需要先创建 QGuiApplication");
}

// Wider than high, by the points' extent.
bool landscape(const NetworkDrawing& d) { return d.maxX - d.minX >= d.maxY - d.minY; }

}  // namespace

std::string networkPng(const NetworkDrawing& d) {
  requireGuiApplication();
  const double spanX = std::max(d.maxX - d.minX, 1e-9), spanY = std::max(d.maxY - d.minY, 1e-9);
  // The longer side 1600 px, the shorter in proportion but no less than
  // half of it (title and legend need the room).
  const double ratio = std::clamp(landscape(d) ? spanY / spanX : spanX / spanY, 0.5, 1.0);
  const int shorter = static_cast<int>(std::lround(kPngLongSide * ratio));
  const QSize size = landscape(d) ? QSize(kPngLongSide, shorter) : QSize(shorter, kPngLongSide);
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  image.setDotsPerMeterX(static_cast<int>(std::lround(kPngDpi / 0.0254)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(kPngDpi / 0.0254)));
  {
    QPainter painter;
    if (!painter.begin(&image)) throw InputError("无法绘制网图：图像不能绘制");
    const Scale s{kPngDpi};
    paintNetworkDrawing(painter, QRectF(s.mm(5), s.mm(3), size.width() - s.mm(10), size.height() - s.mm(6)), d,
                        kPngDpi);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw InputError("无法生成 PNG：Qt 不能写出图像");
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string networkPdf(const NetworkDrawing& d) {
  requireGuiApplication();
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kPdfResolution);
    writer.setCreator(QStringLiteral("levelnet"));
    writer.setTitle(d.title.empty() ? QStringLiteral("水准网网图") : q(d.title));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                     landscape(d) ? QPageLayout::Landscape : QPageLayout::Portrait,
                                     QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) throw InputError("无法生成 PDF：无法在 PDF 上绘图");
    paintNetworkDrawing(painter, QRectF(0, 0, writer.width(), writer.height()), d, kPdfResolution);
    if (!painter.end()) throw InputError("无法生成 PDF：PDF 拒绝了写入");
  }
  const QByteArray& bytes = buffer.data();
  return finishedPdf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::string networkPngWithoutDisplay(const NetworkDrawing& d) {
  return withoutDisplay([&d] { return networkPng(d); });
}

std::string networkPdfWithoutDisplay(const NetworkDrawing& d) {
  return withoutDisplay([&d] { return networkPdf(d); });
}

}  // namespace levelnet::print
