// The 网图 tab: the session's network drawing (session::Session::
// networkDrawing) in a QGraphicsView. The wheel zooms about the pointer,
// dragging pans, 适合窗口 (Ctrl+0) fits the whole network; labels show only
// when the routes are long enough on screen to carry them. A click on a
// point or route tells which (pointClicked, routeClicked); highlight()
// marks the one selected in the tables. The picture is drawn again when
// the session's network or its outcomes changed (refresh), shortly after an
// edit, and only while the tab is shown; a network of more than
// kDrawInlinePoints points is drawn on a worker thread (its layout takes
// seconds) and shown when done.
#pragma once

#include <QGraphicsView>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>

#include "plot/network_drawing.h"

class QGraphicsPathItem;
class QGraphicsScene;
class QLabel;
class QPushButton;
class QThread;
class QTimer;

namespace levelnet::session {
class Session;
}

namespace levelnet::ui {

// The view itself: zoom, pan, clicks without a drag.
class NetworkGraphicsView : public QGraphicsView {
  Q_OBJECT

 public:
  explicit NetworkGraphicsView(QGraphicsScene* scene, QWidget* parent = nullptr);
  // The scale of the view (pixels per drawing unit).
  double zoom() const;

 signals:
  void clickedAt(QPointF scenePoint, double pixelsPerUnit);
  void zoomChanged();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPoint pressedAt_;
  bool pressed_ = false;
};

inline constexpr int kDrawInlinePoints = 1500;

class NetworkView : public QWidget {
  Q_OBJECT

 public:
  // `session` must outlive the view.
  explicit NetworkView(const session::Session& session, QWidget* parent = nullptr);
  ~NetworkView() override;

  NetworkGraphicsView* view() const { return view_; }
  QPushButton* fitButton() const { return fit_; }
  QLabel* messageLabel() const { return message_; }
  QLabel* legendLabel() const { return legend_; }
  // The drawing shown; null before the first or after a failed one.
  const plot::NetworkDrawing* drawing() const { return drawing_ ? &*drawing_ : nullptr; }
  // Whether point and route labels show at the present zoom.
  bool labelsShown() const { return labelsShown_; }
  // Whether every label of the drawing has been made (a large network's
  // are made a slice at a time after its picture is shown).
  bool labelsComplete() const { return labelled_ >= labelCount(); }

  // Draws the network again when it or its outcomes changed since the
  // picture shown (now, whether shown or not).
  void refresh();
  // Whether a drawing is being made on the worker thread.
  bool drawingInProgress() const { return worker_ != nullptr; }
  // The network was edited: drawn again shortly while the tab is shown.
  void networkChanged();
  // Fits the whole network in the view.
  void fitToWindow();
  // Marks point p (1..) or route k (1..) of the drawing; 0 for none.
  void highlightPoint(int point);
  void highlightRoute(int route);
  int highlightedPoint() const { return highlightedPoint_; }
  int highlightedRoute() const { return highlightedRoute_; }

  // Where a point or route of the drawing is, in the view's pixels (tests).
  QPoint pointPosition(int point) const;
  QPoint routeMiddle(int route) const;

 signals:
  void pointClicked(int point);
  void routeClicked(int route);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void rebuild();
  // Shows a drawing made, or the reason it could not be.
  void adopt(std::optional<plot::NetworkDrawing> drawing, const std::exception_ptr& error);
  void updateLevelOfDetail();
  // Labels of the drawing's points, then of its routes, `count` more of them.
  void addLabels(int count);
  int labelCount() const;
  void onClick(QPointF at, double pixelsPerUnit);

  const session::Session& session_;
  QGraphicsScene* scene_ = nullptr;
  NetworkGraphicsView* view_ = nullptr;
  QPushButton* fit_ = nullptr;
  QLabel* message_ = nullptr;
  QLabel* legend_ = nullptr;
  QTimer* pending_ = nullptr;
  QTimer* labelling_ = nullptr;  // adds a large network's labels a slice at a time
  int labelled_ = 0;             // points and routes labelled so far
  // A large network is drawn on this thread; the window goes on meanwhile.
  QThread* worker_ = nullptr;
  bool again_ = false;  // the session changed while the worker drew
  std::optional<plot::NetworkDrawing> drawing_;
  // The session's revision and count of outcomes the picture shows.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> drawn_;
  QList<QGraphicsItem*> labels_;
  QList<QGraphicsItem*> symbols_;
  double symbolScale_ = 1.0;  // symbols shrink where routes are short on screen
  QGraphicsPathItem* highlight_ = nullptr;
  int highlightedPoint_ = 0, highlightedRoute_ = 0;  // kept over a redraw
  bool labelsShown_ = false;
  bool fitPending_ = true;
};

}  // namespace levelnet::ui
