#include "print/monitoring_charts.h"
#include "print/bundled_fonts.h"

#include <QBuffer>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <optional>

#include "monitor/monitoring_tables.h"
#include "network/errors.h"
#include "network/number_text.h"
#include "print/pdf_creation_date.h"
#include "print/without_display.h"

namespace levelnet::print {

namespace {

using monitor::MonitoringResults;
using monitor::PointSeries;

constexpr int kResolution = 600;  // dots per inch of the PDF's coordinates

QString q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// A Chinese face that the PDF embeds: the report's, in its order.
QString chineseFace() {
  const QStringList families = QFontDatabase::families();
  for (const char* face : {"AR PL UMing CN", "Noto Sans CJK SC", "Noto Sans Mono CJK SC", "AR PL UMing TW"})
    if (families.contains(QString::fromLatin1(face))) return QString::fromLatin1(face);
  throw InputError("找不到中文字体，无法生成曲线图（请安装 Debian 软件包 fonts-arphic-uming 或 fonts-noto-cjk）");
}

// Eight colours apart for the eye (and in grey), then dashes.
const QColor kColours[] = {QColor(31, 119, 180),  QColor(214, 39, 40),  QColor(44, 160, 44), QColor(148, 103, 189),
                           QColor(255, 127, 14),  QColor(23, 190, 207), QColor(140, 86, 75), QColor(227, 119, 194),
                           QColor(127, 127, 127), QColor(188, 189, 34)};
constexpr int kColourCount = static_cast<int>(sizeof kColours / sizeof kColours[0]);

QPen seriesPen(int i, qreal width) {
  QPen pen(kColours[i % kColourCount], width);
  const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine};
  pen.setStyle(styles[(i / kColourCount) % 4]);
  return pen;
}

// Round steps of 1, 2 or 5 times a power of ten, about `count` of them.
double niceStep(double span, int count) {
  if (!(span > 0.0)) return 1.0;
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10.0 * power;
}

struct Range {
  double low = 0.0, high = 1.0;
  void include(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
};

struct Line {
  double value;
  QString label;
  QColor colour;
};

class Painter {
 public:
  Painter(QPainter& p, const QString& face, double dpi = kResolution) : p_(p), face_(face), dpi_(dpi) {}
  qreal mm(double v) const { return v * dpi_ / 25.4; }
  QFont font(double points, bool bold = false) const {
    QFont f = documentFont(face_);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * dpi_ / 72.0))));
    f.setBold(bold);
    return f;
  }
  QPainter& p() { return p_; }

  void text(const QRectF& r, const QString& s, double points, int flags = Qt::AlignLeft | Qt::AlignVCenter,
            bool bold = false) {
    p_.setFont(font(points, bold));
    p_.setPen(Qt::black);
    p_.drawText(r, flags, s);
  }

  // A y axis: frame, ticks, labels and title; returns the mapping.
  std::pair<double, double> yAxis(const QRectF& plot, Range range, const QString& title, int ticks) {
    const double step = niceStep(range.high - range.low, ticks);
    range.low = std::floor(range.low / step) * step;
    range.high = std::ceil(range.high / step) * step;
    if (range.high - range.low < step) range.high = range.low + step;
    const double scale = plot.height() / (range.high - range.low);
    p_.setFont(font(7));
    for (double v = range.low; v <= range.high + step / 2; v += step) {
      const qreal y = plot.bottom() - (v - range.low) * scale;
      p_.setPen(QPen(QColor(220, 220, 220), mm(0.1)));
      p_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
      p_.setPen(Qt::black);
      const double shown = std::fabs(v) < step / 1000 ? 0.0 : v;
      p_.drawText(QRectF(plot.left() - mm(14), y - mm(2), mm(12.5), mm(4)), Qt::AlignRight | Qt::AlignVCenter,
                  q(numberText(shown)));
    }
    p_.save();
    p_.translate(plot.left() - mm(17), plot.center().y());
    p_.rotate(-90);
    p_.setFont(font(7.5));
    p_.drawText(QRectF(-plot.height() / 2, -mm(2.5), plot.height(), mm(5)), Qt::AlignCenter, title);
    p_.restore();
    p_.setPen(QPen(Qt::black, mm(0.2)));
    p_.setBrush(Qt::NoBrush);
    p_.drawRect(plot);
    return {range.low, scale};
  }

  // The time axis: a tick and the date at every epoch (fewer when crowded).
  void timeAxis(const QRectF& plot, const MonitoringResults& r, double x0, double xScale, bool labels) {
    const int epochs = static_cast<int>(r.epochs.size());
    const int every = std::max(1, (epochs + 13) / 14);
    p_.setFont(font(6.5));
    for (int i = 0; i < epochs; ++i) {
      const qreal x = plot.left() + (r.epochs[static_cast<std::size_t>(i)].elapsedDays - x0) * xScale;
      p_.setPen(QPen(Qt::black, mm(0.15)));
      p_.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + mm(1)));
      if (labels && (i % every == 0 || i == epochs - 1)) {
        const std::string& d = r.epochs[static_cast<std::size_t>(i)].entry.dateText;
        const QString label = q(d.size() >= 10 ? d.substr(5, 5) : d);
        p_.drawText(QRectF(x - mm(8), plot.bottom() + mm(1), mm(16), mm(3.5)), Qt::AlignCenter, label);
      }
    }
    if (labels) {
      const std::string& first = r.epochs.front().entry.dateText;
      text(QRectF(plot.left(), plot.bottom() + mm(4.5), plot.width(), mm(4)),
           QStringLiteral("日期（月-日，自 ") + q(first.substr(0, 10)) + QStringLiteral(" 起，共 ") +
               q(fixedText(r.epochs.back().elapsedDays, 0)) + QStringLiteral(" d）"),
           7.5, Qt::AlignCenter);
    }
  }

  void horizontal(const QRectF& plot, double value, double y0, double scale, const Line& line) {
    const qreal y = plot.bottom() - (value - y0) * scale;
    if (y < plot.top() - 0.5 || y > plot.bottom() + 0.5) return;
    QPen pen(line.colour, mm(0.3));
    pen.setStyle(Qt::DashLine);
    p_.setPen(pen);
    p_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    p_.setFont(font(6.5));
    p_.drawText(QRectF(plot.right() - mm(40), y - mm(3.6), mm(39), mm(3.4)), Qt::AlignRight | Qt::AlignBottom,
                line.label);
  }

 private:
  QPainter& p_;
  QString face_;
  double dpi_;
};

bool hasLoads(const MonitoringResults& r) {
  return std::any_of(r.epochs.begin(), r.epochs.end(), [](const monitor::EpochResult& e) { return e.entry.load; });
}
bool hasStages(const MonitoringResults& r) {
  return std::any_of(r.epochs.begin(), r.epochs.end(),
                     [](const monitor::EpochResult& e) { return !e.entry.stage.empty(); });
}

// The warning and attention lines of a cumulative warning value (negative:
// settlement is down).
std::vector<Line> warningLines(std::optional<double> warning, double fraction) {
  if (!warning) return {};
  return {{-*warning, QStringLiteral("预警值 -") + q(numberText(*warning)) + QStringLiteral(" mm"), QColor(200, 0, 0)},
          {-*warning * fraction, QStringLiteral("注意 ") + q(numberText(fraction * 100)) + QStringLiteral("%"),
           QColor(230, 140, 0)}};
}

// Time-(load-)settlement chart of `points` in `area`.
void settlementChart(Painter& pt, const QRectF& area, const MonitoringResults& r, const std::vector<int>& points,
                     const QString& title, bool legend) {
  QPainter& p = pt.p();
  pt.text(QRectF(area.left(), area.top(), area.width(), pt.mm(5)), title, 9.5, Qt::AlignCenter, true);
  const bool loads = hasLoads(r), stages = !loads && hasStages(r);
  const qreal legendWidth = legend ? pt.mm(28) : 0.0;
  const qreal left = area.left() + pt.mm(19), right = area.right() - pt.mm(3) - legendWidth;
  qreal top = area.top() + pt.mm(7);
  const double days = std::max(1.0, r.epochs.back().elapsedDays);
  const double xScale = (right - left) / (days * 1.04);
  const double x0 = -days * 0.02;
  auto xOf = [&](double d) { return left + (d - x0) * xScale; };

  if (loads || stages) {
    const QRectF strip(left, top, right - left, (area.bottom() - top) * 0.22);
    if (loads) {
      Range range{0.0, 0.0};
      for (const auto& e : r.epochs)
        if (e.entry.load) range.include(*e.entry.load);
      const auto [y0, scale] = pt.yAxis(
          strip, range, QStringLiteral("荷载") + (r.loadUnit.empty() ? QString() : "(" + q(r.loadUnit) + ")"), 3);
      QPainterPath path;
      bool started = false;
      for (const auto& e : r.epochs) {
        if (!e.entry.load) continue;
        const QPointF at(xOf(e.elapsedDays), strip.bottom() - (*e.entry.load - y0) * scale);
        if (!started)
          path.moveTo(at);
        else
          path.lineTo(at);
        started = true;
      }
      p.setPen(QPen(Qt::black, pt.mm(0.35)));
      p.setBrush(Qt::NoBrush);
      p.drawPath(path);
    } else {
      p.setPen(QPen(Qt::black, pt.mm(0.2)));
      p.drawRect(strip);
      p.setFont(pt.font(6.5));
      for (const auto& e : r.epochs)
        if (!e.entry.stage.empty())
          p.drawText(QRectF(xOf(e.elapsedDays) - pt.mm(10), strip.top(), pt.mm(20), strip.height()),
                     Qt::AlignCenter | Qt::TextWordWrap, q(e.entry.stage));
    }
    pt.timeAxis(strip, r, x0, xScale, false);
    top = strip.bottom() + pt.mm(4);
  }
  const QRectF plot(left, top, right - left, area.bottom() - top - pt.mm(10));
  Range range{0.0, 0.0};
  std::optional<double> warning;
  bool oneWarning = true;
  for (int i : points) {
    const PointSeries& s = r.points[static_cast<std::size_t>(i)];
    for (const auto& pe : s.epochs)
      if (pe.cumulative) range.include(pe.cumulative->value);
    if (s.warning.cumulative) {
      if (warning && *warning != *s.warning.cumulative) oneWarning = false;
      warning = s.warning.cumulative;
    }
  }
  const std::vector<Line> lines =
      oneWarning ? warningLines(warning, r.settings.attentionFraction) : std::vector<Line>{};
  for (const Line& l : lines) range.include(l.value);
  range.include(range.low - 0.05 * (range.high - range.low + 1.0));
  const auto [y0, scale] = pt.yAxis(plot, range, QStringLiteral("累计沉降量(mm)"), 6);
  pt.timeAxis(plot, r, x0, xScale, true);
  for (const Line& l : lines) pt.horizontal(plot, l.value, y0, scale, l);
  for (std::size_t n = 0; n < points.size(); ++n) {
    const PointSeries& s = r.points[static_cast<std::size_t>(points[n])];
    const int colour = points.size() == 1 ? 0 : static_cast<int>(n);
    QPainterPath path;
    bool started = false;
    std::vector<std::pair<QPointF, bool>> marks;
    for (std::size_t i = 0; i < s.epochs.size(); ++i) {
      const auto& pe = s.epochs[i];
      if (!pe.present || !pe.cumulative) continue;
      const QPointF at(xOf(r.epochs[i].elapsedDays), plot.bottom() - (pe.cumulative->value - y0) * scale);
      if (!started)
        path.moveTo(at);
      else
        path.lineTo(at);
      started = true;
      marks.emplace_back(at, pe.change && pe.change->significant);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(seriesPen(colour, pt.mm(0.3)));
    p.drawPath(path);
    p.setPen(QPen(kColours[colour % kColourCount], pt.mm(0.25)));
    for (const auto& [at, significant] : marks) {
      p.setBrush(significant ? QBrush(kColours[colour % kColourCount]) : QBrush(Qt::white));
      p.drawEllipse(at, pt.mm(0.7), pt.mm(0.7));
    }
  }
  if (legend) {
    qreal y = plot.top();
    const qreal x = plot.right() + pt.mm(3);
    for (std::size_t n = 0; n < points.size() && y < plot.bottom() - pt.mm(4); ++n) {
      p.setPen(seriesPen(static_cast<int>(n), pt.mm(0.4)));
      p.drawLine(QPointF(x, y + pt.mm(2)), QPointF(x + pt.mm(6), y + pt.mm(2)));
      pt.text(QRectF(x + pt.mm(7.5), y, pt.mm(20), pt.mm(4)), q(r.points[static_cast<std::size_t>(points[n])].name), 7);
      y += pt.mm(4.2);
    }
    pt.text(QRectF(x, y + pt.mm(2), pt.mm(27), pt.mm(12)), QStringLiteral("● 本次沉降显著\n○ 不显著"), 6.5,
            Qt::AlignLeft | Qt::AlignTop);
  }
}

// The last epoch's cumulative settlement of every point, as bars.
void barChart(Painter& pt, const QRectF& area, const MonitoringResults& r) {
  QPainter& p = pt.p();
  pt.text(QRectF(area.left(), area.top(), area.width(), pt.mm(5)),
          QStringLiteral("末次观测的累计沉降量（") + q(r.epochs.back().entry.dateText) + QStringLiteral("）"), 9.5,
          Qt::AlignCenter, true);
  const QRectF plot(area.left() + pt.mm(19), area.top() + pt.mm(8), area.width() - pt.mm(22),
                    area.height() - pt.mm(20));
  Range range{0.0, 0.0};
  std::optional<double> warning;
  bool oneWarning = true;
  std::vector<std::pair<const PointSeries*, const monitor::PointEpoch*>> bars;
  for (const PointSeries& s : r.points) {
    const monitor::PointEpoch* last = nullptr;
    for (const auto& pe : s.epochs)
      if (pe.present) last = &pe;
    bars.emplace_back(&s, last);
    if (last && last->cumulative) range.include(last->cumulative->value);
    if (s.warning.cumulative) {
      if (warning && *warning != *s.warning.cumulative) oneWarning = false;
      warning = s.warning.cumulative;
    }
  }
  const std::vector<Line> lines =
      oneWarning ? warningLines(warning, r.settings.attentionFraction) : std::vector<Line>{};
  for (const Line& l : lines) range.include(l.value);
  const auto [y0, scale] = pt.yAxis(plot, range, QStringLiteral("累计沉降量(mm)"), 6);
  const qreal slot = plot.width() / std::max<std::size_t>(1, bars.size());
  const qreal zero = plot.bottom() - (0.0 - y0) * scale;
  p.setFont(pt.font(bars.size() > 30 ? 5.0 : 7.0));
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const qreal x = plot.left() + slot * static_cast<qreal>(i);
    const auto& [s, last] = bars[i];
    if (last && last->cumulative) {
      const qreal y = plot.bottom() - (last->cumulative->value - y0) * scale;
      const QColor colour = s->currentLevel == monitor::WarningLevel::warning     ? QColor(200, 0, 0)
                            : s->currentLevel == monitor::WarningLevel::attention ? QColor(230, 140, 0)
                                                                                  : QColor(31, 119, 180);
      p.setPen(Qt::NoPen);
      p.setBrush(colour);
      p.drawRect(QRectF(x + slot * 0.2, std::min(y, zero), slot * 0.6, std::fabs(zero - y)));
      p.setPen(Qt::black);
      p.drawText(QRectF(x, std::max(y, zero) + pt.mm(0.5), slot, pt.mm(3.5)), Qt::AlignCenter,
                 q(last->cumulative->text));
    }
    p.setPen(Qt::black);
    p.drawText(QRectF(x, plot.bottom() + pt.mm(1), slot, pt.mm(3.5)), Qt::AlignCenter, q(s->name));
  }
  for (const Line& l : lines) pt.horizontal(plot, l.value, y0, scale, l);
  pt.text(QRectF(plot.left(), plot.bottom() + pt.mm(5), plot.width(), pt.mm(4)),
          QStringLiteral("监测点（红：预警；橙：注意；蓝：未达注意值；末期未测的点以其最后一次观测计）"), 7.5,
          Qt::AlignCenter);
}

void pageHead(Painter& pt, const QRectF& page, const MonitoringResults& r, const std::string& date, int number,
              int count) {
  const QString name = q(r.projectName.empty() ? r.projectFile : r.projectName);
  pt.text(QRectF(page.left(), page.top() - pt.mm(8), page.width(), pt.mm(5)), name, 7.5, Qt::AlignLeft);
  pt.text(QRectF(page.left(), page.top() - pt.mm(8), page.width(), pt.mm(5)), q(date), 7.5, Qt::AlignRight);
  pt.text(QRectF(page.left(), page.bottom() + pt.mm(2), page.width(), pt.mm(5)),
          QStringLiteral("第 %1 页 共 %2 页").arg(number).arg(count), 7.5, Qt::AlignCenter);
}

}  // namespace

void paintSettlementCurves(QPainter& painter, const QRectF& area, const MonitoringResults& results, double dpi) {
  if (results.epochs.empty() || results.points.empty()) return;
  Painter pt(painter, chineseFace(), dpi);
  std::vector<int> all(results.points.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  settlementChart(pt, area, results, all,
                  hasLoads(results) || hasStages(results) ? QStringLiteral("时间-荷载-沉降量曲线")
                                                          : QStringLiteral("时间-沉降量曲线"),
                  true);
}

void paintLastEpochBars(QPainter& painter, const QRectF& area, const MonitoringResults& results, double dpi) {
  if (results.epochs.empty() || results.points.empty()) return;
  Painter pt(painter, chineseFace(), dpi);
  barChart(pt, area, results);
}

std::string monitoringPdf(const MonitoringResults& r, const std::string& date) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    throw InputError("内部错误：生成 PDF 需要先创建 QGuiApplication");
  if (r.epochs.empty()) throw InputError("没有观测期，无法画曲线");
  const QString face = chineseFace();
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setResolution(kResolution);
    writer.setCreator(QStringLiteral("levelnet"));
    writer.setTitle(QStringLiteral("沉降观测曲线：") + q(r.projectName.empty() ? r.projectFile : r.projectName));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(15, 18, 15, 15),
                                     QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) throw InputError("无法生成 PDF：无法在 PDF 上绘图");
    Painter pt(painter, face);
    const QRectF page(0, 0, writer.width(), writer.height());
    const int perPage = 4;
    const int pointPages = (static_cast<int>(r.points.size()) + perPage - 1) / perPage;
    const int pages = 2 + pointPages;

    // Page 1: the summary and every point's curve.
    pageHead(pt, page, r, date, 1, pages);
    const std::vector<std::string> summary = monitor::summaryLines(r);
    qreal y = page.top();
    pt.text(QRectF(page.left(), y, page.width(), pt.mm(7)), q(summary.front()), 14, Qt::AlignCenter, true);
    y += pt.mm(8);
    for (std::size_t i = 1; i < summary.size() && i < 9; ++i) {
      painter.setFont(pt.font(7));
      const QRectF box = painter.boundingRect(QRectF(page.left(), y, page.width(), pt.mm(20)),
                                              Qt::AlignLeft | Qt::TextWordWrap, q(summary[i]));
      pt.text(QRectF(page.left(), y, page.width(), box.height()), q(summary[i]), 7, Qt::AlignLeft | Qt::TextWordWrap);
      y += box.height() + pt.mm(0.5);
    }
    std::vector<int> all(r.points.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    settlementChart(
        pt, QRectF(page.left(), y + pt.mm(2), page.width(), page.bottom() - y - pt.mm(2)), r, all,
        hasLoads(r) || hasStages(r) ? QStringLiteral("时间-荷载-沉降量曲线") : QStringLiteral("时间-沉降量曲线"), true);

    // Page 2: the bars.
    writer.newPage();
    pageHead(pt, page, r, date, 2, pages);
    barChart(pt, page, r);

    // A page of four points.
    for (int n = 0; n < pointPages; ++n) {
      writer.newPage();
      pageHead(pt, page, r, date, 3 + n, pages);
      for (int k = 0; k < perPage; ++k) {
        const int i = n * perPage + k;
        if (i >= static_cast<int>(r.points.size())) break;
        const qreal w = page.width() / 2, h = page.height() / 2;
        const QRectF cell(page.left() + (k % 2) * w, page.top() + (k / 2) * h, w - pt.mm(4), h - pt.mm(3));
        const PointSeries& s = r.points[static_cast<std::size_t>(i)];
        QString title = q(s.name) + QStringLiteral(" 时间-沉降量曲线");
        if (*monitor::levelText(s.currentLevel))
          title += QStringLiteral("（") + q(monitor::levelText(s.currentLevel)) + QStringLiteral("）");
        settlementChart(pt, cell, r, {i}, title, false);
      }
    }
    painter.end();
  }
  const QByteArray& bytes = buffer.data();
  return finishedPdf(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::string monitoringPdfWithoutDisplay(const MonitoringResults& r, const std::string& date) {
  return withoutDisplay([&] { return monitoringPdf(r, date); });
}

}  // namespace levelnet::print
