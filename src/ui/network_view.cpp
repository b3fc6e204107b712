#include "ui/network_view.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPathItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "network/thread_precision.h"
#include "print/network_picture.h"
#include "session/session.h"
#include "ui/error_text.h"

namespace levelnet::ui {

namespace {

QString q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// Scene coordinates: drawing units, y down (north up on screen).
QPointF scenePoint(double x, double y) { return {x, -y}; }
QPointF scenePoint(const plot::DrawnPoint& p) { return scenePoint(p.x, p.y); }

QPainterPath routePath(const plot::NetworkDrawing& d, const plot::DrawnRoute& r) {
  const plot::DrawnPoint& a = d.points[static_cast<std::size_t>(r.from)];
  const plot::DrawnPoint& b = d.points[static_cast<std::size_t>(r.to)];
  QPainterPath path(scenePoint(a));
  if (r.bend != 0.0) {
    const plot::DrawingPoint c = plot::routeControl(a, b, r.bend);
    path.quadTo(scenePoint(c.x, c.y), scenePoint(b));
  } else {
    path.lineTo(scenePoint(b));
  }
  return path;
}

QPolygonF trianglePolygon(QPointF c, double r) {
  return QPolygonF({QPointF(c.x(), c.y() - r), QPointF(c.x() - 0.866 * r, c.y() + 0.5 * r),
                    QPointF(c.x() + 0.866 * r, c.y() + 0.5 * r)});
}

constexpr double kSymbolPixels = 5.0;

double symbolPixels(const plot::NetworkDrawing& d, const plot::DrawnPoint& p) {
  return d.symbolSize > 0.0 ? kSymbolPixels * p.radius / d.symbolSize : kSymbolPixels;
}

constexpr double kZoomStep = 1.25;
constexpr int kClickSlop = 4;               // pixels a press may move and still be a click
constexpr double kPickPixels = 6.0;         // how near a click must be to a route
constexpr double kLabelRoutePixels = 70.0;  // a typical route this long on screen carries labels
constexpr int kRedrawDelayMs = 250;
constexpr int kLabelsPerSlice = 600;  // points or routes labelled per turn of the event loop (about 15 ms)

}  // namespace

// ---- the view ----

NetworkGraphicsView::NetworkGraphicsView(QGraphicsScene* scene, QWidget* parent) : QGraphicsView(scene, parent) {
  setDragMode(QGraphicsView::ScrollHandDrag);
  setRenderHint(QPainter::Antialiasing);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setResizeAnchor(QGraphicsView::AnchorViewCenter);
  setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
  setBackgroundBrush(Qt::white);
}

double NetworkGraphicsView::zoom() const { return transform().m11(); }

void NetworkGraphicsView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) {
    event->ignore();
    return;
  }
  const double factor = std::pow(kZoomStep, steps);
  // Not beyond a point filling the view, nor far smaller than the whole.
  const double next = zoom() * factor;
  if (next > 1e7 || next < 1e-7) return;
  scale(factor, factor);
  event->accept();
  emit zoomChanged();
}

void NetworkGraphicsView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressedAt_ = event->position().toPoint();
    pressed_ = true;
  }
  QGraphicsView::mousePressEvent(event);
}

void NetworkGraphicsView::mouseReleaseEvent(QMouseEvent* event) {
  QGraphicsView::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !pressed_) return;
  pressed_ = false;
  if ((event->position().toPoint() - pressedAt_).manhattanLength() <= kClickSlop)
    emit clickedAt(mapToScene(event->position().toPoint()), zoom());
}

void NetworkGraphicsView::resizeEvent(QResizeEvent* event) {
  QGraphicsView::resizeEvent(event);
  emit zoomChanged();
}

// ---- the tab ----

NetworkView::NetworkView(const session::Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  scene_ = new QGraphicsScene(this);
  view_ = new NetworkGraphicsView(scene_, this);
  fit_ = new QPushButton(QStringLiteral("适合窗口"), this);
  fit_->setToolTip(QStringLiteral("整个网图显示在窗口中（Ctrl+0）"));
  fit_->setFocusPolicy(Qt::TabFocus);
  message_ = new QLabel(this);
  message_->setWordWrap(true);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(4, 2, 4, 2);
  bar->addWidget(fit_);
  bar->addWidget(new QLabel(QStringLiteral("滚轮缩放，拖动平移，点击选中"), this), 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(bar);
  layout->addWidget(message_);
  layout->addWidget(view_, 1);
  legend_ = new QLabel(this);
  legend_->setTextFormat(Qt::RichText);
  layout->addWidget(legend_);
  message_->hide();

  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this);
  shortcut->setContext(Qt::WidgetWithChildrenShortcut);
  connect(shortcut, &QShortcut::activated, this, &NetworkView::fitToWindow);
  connect(fit_, &QPushButton::clicked, this, &NetworkView::fitToWindow);
  connect(view_, &NetworkGraphicsView::zoomChanged, this, &NetworkView::updateLevelOfDetail);
  connect(view_, &NetworkGraphicsView::clickedAt, this, &NetworkView::onClick);
  labelling_ = new QTimer(this);
  labelling_->setInterval(0);
  connect(labelling_, &QTimer::timeout, this, [this] { addLabels(kLabelsPerSlice); });
  pending_ = new QTimer(this);
  pending_->setSingleShot(true);
  pending_->setInterval(kRedrawDelayMs);
  connect(pending_, &QTimer::timeout, this, [this] {
    if (isVisible()) refresh();
  });
}

// A layout under way cannot be stopped: the view waits for it.
NetworkView::~NetworkView() {
  if (worker_) {
    worker_->wait();
    delete worker_;
  }
}

void NetworkView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

void NetworkView::networkChanged() {
  if (isVisible()) pending_->start();
}

void NetworkView::refresh() {
  pending_->stop();
  const std::pair<std::uint64_t, std::uint64_t> key{session_.revision(), session_.outcomeCount()};
  if (drawn_ && *drawn_ == key) return;
  if (worker_) {  // drawn again once the drawing under way is done
    again_ = true;
    return;
  }
  drawn_ = key;
  session::Session::DrawingJob job = session_.drawingJob();
  const int points = job.design ? job.design->net.pointCount : job.network.points.rows() - 1;
  if (points <= kDrawInlinePoints) {
    try {
      adopt(job.draw(), nullptr);
    } catch (const std::exception&) {
      adopt(std::nullopt, std::current_exception());
    }
    return;
  }
  struct Outcome {
    std::optional<plot::NetworkDrawing> drawing;
    std::exception_ptr error;
  };
  auto outcome = std::make_shared<Outcome>();
  worker_ = QThread::create([job = std::move(job), outcome] {
    useMainThreadPrecision();
    try {
      outcome->drawing = job.draw();
    } catch (...) {
      outcome->error = std::current_exception();
    }
  });
  connect(worker_, &QThread::finished, this, [this, outcome] {
    worker_->deleteLater();
    worker_ = nullptr;
    adopt(std::move(outcome->drawing), outcome->error);
    if (again_) {
      again_ = false;
      refresh();
    }
  });
  message_->setText(QStringLiteral("正在绘制网图……"));
  message_->show();
  worker_->start();
}

void NetworkView::adopt(std::optional<plot::NetworkDrawing> drawing, const std::exception_ptr& error) {
  drawing_ = std::move(drawing);
  if (error) {
    // A network half typed cannot be drawn: the reason is shown, the
    // window goes on.
    message_->setText(QStringLiteral("网图：") + failureText(error, QStringLiteral("绘制网图")));
    message_->show();
  } else {
    message_->hide();
  }
  rebuild();
}

// The drawing's legend as a line of coloured symbols and their texts.
static QString legendText(const plot::NetworkDrawing& d) {
  QString html;
  for (const plot::LegendEntry& e : d.legend) {
    QString symbol;
    switch (e.symbol) {
      case plot::LegendSymbol::benchmark:
        symbol = QStringLiteral("▲");
        break;
      case plot::LegendSymbol::unknown:
        symbol = QStringLiteral("○");
        break;
      case plot::LegendSymbol::failedLoop:
        symbol = QStringLiteral("<span style=\"color:%1\">┅┅</span>").arg(print::loopColour().name());
        break;
      default: {
        const plot::RouteMark mark = e.symbol == plot::LegendSymbol::suspectedRoute   ? plot::RouteMark::suspected
                                     : e.symbol == plot::LegendSymbol::uncheckedRoute ? plot::RouteMark::unchecked
                                     : e.symbol == plot::LegendSymbol::weakRoute      ? plot::RouteMark::weak
                                                                                      : plot::RouteMark::plain;
        symbol = QStringLiteral("<span style=\"color:%1\"><b>%2</b></span>")
                     .arg(print::routeColour(mark).name(),
                          print::routeDashed(mark) ? QStringLiteral("╍╍") : QStringLiteral("━━"));
      }
    }
    html += symbol + QStringLiteral(" ") + q(e.text).toHtmlEscaped() + QStringLiteral("&nbsp;&nbsp;&nbsp;");
  }
  return html;
}

void NetworkView::rebuild() {
  labelling_->stop();
  scene_->clear();
  labels_.clear();
  symbols_.clear();
  symbolScale_ = 1.0;
  highlight_ = nullptr;
  legend_->setText(drawing_ ? legendText(*drawing_) : QString());
  if (!drawing_) return;
  const plot::NetworkDrawing& d = *drawing_;
  const double line = 1.3;  // pixels, whatever the zoom
  for (const std::vector<int>& loop : d.failedLoops) {
    QPolygonF outline;
    for (const int i : loop) outline << scenePoint(d.points[static_cast<std::size_t>(i)]);
    QPen pen(print::loopColour(), line, Qt::DotLine);
    pen.setCosmetic(true);
    scene_->addPolygon(outline, pen)->setZValue(0);
  }
  for (const plot::DrawnRoute& r : d.routes) {
    QPen pen(print::routeColour(r.mark), r.mark == plot::RouteMark::suspected ? 2.5 * line : line);
    if (print::routeDashed(r.mark)) pen.setStyle(Qt::DashLine);
    pen.setCosmetic(true);
    QGraphicsPathItem* item = scene_->addPath(routePath(d, r), pen);
    item->setZValue(1);
    item->setToolTip(q(r.detail));
  }
  QPen outline(Qt::black, line);
  outline.setCosmetic(true);
  // Symbols keep their size on screen, as on a map: an ordinary one
  // kSymbolPixels, a design's circles in proportion to their expected M.
  for (const plot::DrawnPoint& p : d.points) {
    const double r = symbolPixels(d, p);
    QGraphicsItem* item = nullptr;
    if (p.known)
      item = scene_->addPolygon(trianglePolygon(QPointF(0, 0), r), outline, Qt::black);
    else
      item = scene_->addEllipse(QRectF(-r, -r, 2 * r, 2 * r), outline, Qt::white);
    item->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    item->setPos(scenePoint(p));
    item->setZValue(2);
    symbols_.append(item);
    std::string tip = p.name;
    if (!p.elevation.empty()) tip += "  " + p.elevation;
    if (!p.error.empty()) tip += "  " + p.error;
    item->setToolTip(q(tip));
  }
  // Labels keep their size on screen; they show when they fit. A large
  // network gets them a slice at a time after its picture is shown, so the
  // window is not held up by tens of thousands of texts it cannot show yet.
  labelled_ = 0;
  if (static_cast<int>(d.points.size()) <= kDrawInlinePoints)
    addLabels(labelCount());
  else
    labelling_->start();
  const double margin = std::max(std::max(d.maxX - d.minX, d.maxY - d.minY) * 0.06, 1e-6);
  scene_->setSceneRect(
      QRectF(QPointF(d.minX - margin, -d.maxY - margin), QPointF(d.maxX + margin * 2, -d.minY + margin)));
  if (highlightedPoint_ != 0) highlightPoint(highlightedPoint_);
  if (highlightedRoute_ != 0) highlightRoute(highlightedRoute_);
  if (fitPending_) {
    fitPending_ = false;
    fitToWindow();
  } else {
    updateLevelOfDetail();
  }
}

int NetworkView::labelCount() const {
  return drawing_ ? static_cast<int>(drawing_->points.size() + drawing_->routes.size()) : 0;
}

void NetworkView::addLabels(int count) {
  if (!drawing_) return;
  const plot::NetworkDrawing& d = *drawing_;
  const QFont nameFont = font();
  QFont figureFont = font();
  figureFont.setPointSizeF(std::max(6.0, font().pointSizeF() - 1.0));
  const qreal nameHeight = QFontMetricsF(nameFont).height();
  const auto add = [&](QGraphicsSimpleTextItem* label) {
    label->setFlag(QGraphicsItem::ItemIgnoresTransformations);
    label->setZValue(3);
    label->setVisible(labelsShown_);
    labels_.append(label);
  };
  const int points = static_cast<int>(d.points.size());
  const int end = std::min(labelCount(), labelled_ + count);
  for (; labelled_ < end; ++labelled_) {
    if (labelled_ < points) {
      // The name above and the figures below the point's right.
      const plot::DrawnPoint& p = d.points[static_cast<std::size_t>(labelled_)];
      std::string figures = p.elevation;
      if (!p.error.empty()) figures += (figures.empty() ? "" : " ") + p.error;
      const double right = symbolPixels(d, p) + 2;
      auto* name = scene_->addSimpleText(q(p.name), nameFont);
      name->setPos(scenePoint(p));
      name->setTransform(QTransform::fromTranslate(right, -nameHeight));
      add(name);
      if (!figures.empty()) {
        auto* more = scene_->addSimpleText(q(figures), figureFont);
        more->setBrush(QColor(85, 85, 85));
        more->setPos(scenePoint(p));
        more->setTransform(QTransform::fromTranslate(right, 0));
        add(more);
      }
    } else {
      const plot::DrawnRoute& r = d.routes[static_cast<std::size_t>(labelled_ - points)];
      const plot::DrawingPoint m = plot::routePoint(d.points[static_cast<std::size_t>(r.from)],
                                                    d.points[static_cast<std::size_t>(r.to)], r.bend, 0.5);
      auto* label = scene_->addSimpleText(q(r.label), figureFont);
      label->setBrush(QColor(31, 78, 154));
      label->setPos(scenePoint(m.x, m.y));
      const QRectF box = label->boundingRect();
      label->setTransform(QTransform::fromTranslate(-box.width() / 2, -box.height() / 2));
      add(label);
    }
  }
  if (labelled_ >= labelCount()) labelling_->stop();
}

void NetworkView::fitToWindow() {
  if (!drawing_) return;
  view_->fitInView(scene_->sceneRect(), Qt::KeepAspectRatio);
  updateLevelOfDetail();
}

void NetworkView::updateLevelOfDetail() {
  if (!drawing_) return;
  // A typical route is about symbolSize / 0.12 long (the drawing model's rule).
  const double typical = drawing_->symbolSize / 0.12 * view_->zoom();
  // Symbols at most a sixth of a typical route on screen (down to a fifth
  // of their size), so a dense network stays a network, not a blot.
  const double scale = std::clamp(std::round(typical / 6.0 / kSymbolPixels * 10.0) / 10.0, 0.2, 1.0);
  if (scale != symbolScale_) {
    symbolScale_ = scale;
    for (QGraphicsItem* symbol : symbols_) symbol->setScale(scale);
  }
  const bool show = typical >= kLabelRoutePixels;
  if (show == labelsShown_ && !labels_.isEmpty() && labels_.front()->isVisible() == show) return;
  labelsShown_ = show;
  for (QGraphicsItem* label : labels_) label->setVisible(show);
}

void NetworkView::highlightPoint(int point) {
  highlightedPoint_ = point;
  highlightedRoute_ = 0;
  if (highlight_) {
    scene_->removeItem(highlight_);
    delete highlight_;
    highlight_ = nullptr;
  }
  if (!drawing_ || point < 1 || point > static_cast<int>(drawing_->points.size())) return;
  const plot::DrawnPoint& p = drawing_->points[static_cast<std::size_t>(point) - 1];
  QPainterPath ring;
  const double r = symbolPixels(*drawing_, p) + 5;
  ring.addEllipse(QPointF(0, 0), r, r);
  QPen pen(QColor(0, 150, 255), 3.0);
  pen.setCosmetic(true);
  highlight_ = scene_->addPath(ring, pen);
  highlight_->setFlag(QGraphicsItem::ItemIgnoresTransformations);
  highlight_->setPos(scenePoint(p));
  highlight_->setZValue(4);
}

void NetworkView::highlightRoute(int route) {
  highlightedRoute_ = route;
  highlightedPoint_ = 0;
  if (highlight_) {
    scene_->removeItem(highlight_);
    delete highlight_;
    highlight_ = nullptr;
  }
  if (!drawing_ || route < 1 || route > static_cast<int>(drawing_->routes.size())) return;
  QPen pen(QColor(0, 150, 255, 150), 7.0);
  pen.setCosmetic(true);
  highlight_ = scene_->addPath(routePath(*drawing_, drawing_->routes[static_cast<std::size_t>(route) - 1]), pen);
  highlight_->setZValue(0.5);
}

void NetworkView::onClick(QPointF at, double pixelsPerUnit) {
  if (!drawing_ || !(pixelsPerUnit > 0.0)) return;
  const plot::NetworkDrawing& d = *drawing_;
  const double slack = kPickPixels / pixelsPerUnit;
  // A point first: its symbol, or near it.
  int nearestPoint = 0;
  double best = 0.0;
  for (const plot::DrawnPoint& p : d.points) {
    const double distance = std::hypot(at.x() - p.x, at.y() + p.y);
    if (distance <= symbolPixels(d, p) * symbolScale_ / pixelsPerUnit + slack &&
        (nearestPoint == 0 || distance < best)) {
      nearestPoint = p.point;
      best = distance;
    }
  }
  if (nearestPoint != 0) {
    emit pointClicked(nearestPoint);
    return;
  }
  // Else the route whose curve passes nearest, within the slack.
  int nearestRoute = 0;
  for (const plot::DrawnRoute& r : d.routes) {
    const plot::DrawnPoint& a = d.points[static_cast<std::size_t>(r.from)];
    const plot::DrawnPoint& b = d.points[static_cast<std::size_t>(r.to)];
    constexpr int kPieces = 24;
    plot::DrawingPoint previous{a.x, a.y};
    for (int i = 1; i <= kPieces; ++i) {
      const plot::DrawingPoint next = plot::routePoint(a, b, r.bend, static_cast<double>(i) / kPieces);
      // Distance from the click to the piece between previous and next.
      const double px = at.x(), py = -at.y();
      const double dx = next.x - previous.x, dy = next.y - previous.y;
      const double length2 = dx * dx + dy * dy;
      double t = length2 > 0.0 ? ((px - previous.x) * dx + (py - previous.y) * dy) / length2 : 0.0;
      t = std::clamp(t, 0.0, 1.0);
      const double distance = std::hypot(px - (previous.x + t * dx), py - (previous.y + t * dy));
      if (distance <= slack && (nearestRoute == 0 || distance < best)) {
        nearestRoute = r.observation;
        best = distance;
      }
      previous = next;
    }
  }
  if (nearestRoute != 0) emit routeClicked(nearestRoute);
}

QPoint NetworkView::pointPosition(int point) const {
  if (!drawing_ || point < 1 || point > static_cast<int>(drawing_->points.size())) return {};
  return view_->mapFromScene(scenePoint(drawing_->points[static_cast<std::size_t>(point) - 1]));
}

QPoint NetworkView::routeMiddle(int route) const {
  if (!drawing_ || route < 1 || route > static_cast<int>(drawing_->routes.size())) return {};
  const plot::DrawnRoute& r = drawing_->routes[static_cast<std::size_t>(route) - 1];
  const plot::DrawingPoint m = plot::routePoint(drawing_->points[static_cast<std::size_t>(r.from)],
                                                drawing_->points[static_cast<std::size_t>(r.to)], r.bend, 0.5);
  return view_->mapFromScene(scenePoint(m.x, m.y));
}

}  // namespace levelnet::ui
