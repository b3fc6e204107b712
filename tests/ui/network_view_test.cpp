// The 网图 tab through the real widgets: a click on a point or route selects
// its row, a row selected is highlighted, an edit of a cell redraws the
// picture, 平差 and 检核 put their figures and colours on it, a network
// that cannot be gathered is told in the tab and the window goes on.
#include <QComboBox>
#include <QGraphicsSimpleTextItem>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QWheelEvent>

#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "network/number_text.h"
#include "session/network_design.h"
#include "session/network_files.h"
#include "ui/design_pane.h"
#include "ui/network_view.h"
#include "window_fixture.h"

using namespace levelnet::ui;
using namespace levelnet::ui::testing;

namespace {

const QString kCityNetwork = QStringLiteral(LEVELNET_EXAMPLES_DIR "/city_network.pc");

int pointIndex(const levelnet::plot::NetworkDrawing& d, const std::string& name) {
  for (const levelnet::plot::DrawnPoint& p : d.points)
    if (p.name == name) return p.point;
  return 0;
}

}  // namespace

class NetworkViewTest : public QObject {
  Q_OBJECT

 private:
  // The city network open and its 网图 tab shown.
  static void openCity(WindowFixture& f) {
    QVERIFY(f.ready());
    QVERIFY(f.window->openFile(kCityNetwork));
    f.window->resultTabs()->setCurrentWidget(&f.window->networkView());
    QTRY_VERIFY(f.window->networkView().drawing() != nullptr);
    f.window->networkView().fitToWindow();
  }

 private slots:
  void clickingAPointOrRouteSelectsItsRow() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    QCOMPARE(int(view.drawing()->points.size()), 12);
    QCOMPARE(int(view.drawing()->routes.size()), 19);
    struct Case {
      int point;  // or 0
      int route;  // or 0
    };
    for (const Case c : {Case{5, 0}, Case{1, 0}, Case{12, 0}, Case{0, 7}, Case{0, 13}}) {
      const QPoint at = c.point ? view.pointPosition(c.point) : view.routeMiddle(c.route);
      QTest::mouseClick(view.view()->viewport(), Qt::LeftButton, {}, at);
      if (c.point)
        QCOMPARE(f.window->input().pointTable()->currentRow(), c.point);
      else
        QCOMPARE(f.window->input().observationTable()->currentRow(), c.route);
    }
    // A click on empty ground selects nothing new.
    f.window->input().pointTable()->setCurrentRow(2);
    QTest::mouseClick(view.view()->viewport(), Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(f.window->input().pointTable()->currentRow(), 2);
  }

  void aRowSelectedIsHighlighted() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    f.window->input().pointTable()->setCurrentRow(4);
    QCOMPARE(view.highlightedPoint(), 4);
    f.window->input().observationTable()->setCurrentRow(9);
    QCOMPARE(view.highlightedRoute(), 9);
    QCOMPARE(view.highlightedPoint(), 0);
  }

  void editingACellRedrawsThePicture() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    const int before = view.drawing()->routes[0].to;
    CellGrid* table = f.window->input().observationTable();
    table->setCurrentRow(1);
    table->setCurrentColumn(2);  // 终点
    table->setFocus();
    WindowFixture::type(QStringLiteral("渡口"));
    WindowFixture::enter();
    QCOMPARE(table->cellText(1, 2), QStringLiteral("渡口"));
    const int ferry = pointIndex(*view.drawing(), "渡口") - 1;
    QVERIFY(ferry != before);
    QTRY_COMPARE(view.drawing()->routes[0].to, ferry);
  }

  void adjustAndCheckPutTheirFiguresOnIt() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    const int ferry = pointIndex(*view.drawing(), "渡口") - 1;
    QVERIFY(view.drawing()->points[ferry].error.empty());
    f.window->onAdjust();
    QCOMPARE(view.drawing()->points[ferry].error, std::string("M=1.4mm"));
    QCOMPARE(view.drawing()->points[ferry].elevation, std::string("H=50.6003"));
    // The blunder case: the check marks its flagged route in red.
    QVERIFY(f.window->openFile(QStringLiteral(LEVELNET_CASES_DIR "/city_blunder.pc")));
    f.window->checkPane().gradeBox()->setCurrentIndex(
        f.window->checkPane().gradeBox()->findText(QStringLiteral("三等")));
    f.window->onCheck();
    f.window->resultTabs()->setCurrentWidget(&f.window->networkView());
    QTRY_VERIFY(view.drawing() != nullptr);
    int suspected = 0;
    for (const levelnet::plot::DrawnRoute& r : view.drawing()->routes)
      if (r.mark == levelnet::plot::RouteMark::suspected) ++suspected;
    QVERIFY(suspected >= 1);
  }

  void aNetworkThatCannotBeDrawnIsToldAndTheWindowGoesOn() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    CellGrid* table = f.window->input().observationTable();
    table->setCurrentRow(2);
    table->setCurrentColumn(4);  // 水准路线长度
    table->setFocus();
    WindowFixture::type(QStringLiteral("x"));
    WindowFixture::enter();
    QTRY_VERIFY(view.drawing() == nullptr);
    QVERIFY(view.messageLabel()->isVisible());
    QVERIFY(view.messageLabel()->text().contains(QStringLiteral("第 2 行")));
    QVERIFY(view.messageLabel()->text().contains(QStringLiteral("“x”")));
    // Mended, it draws again.
    table->setCurrentRow(2);
    table->setCurrentColumn(4);
    table->setFocus();
    WindowFixture::type(QStringLiteral("2.1"));
    WindowFixture::enter();
    QTRY_VERIFY(view.drawing() != nullptr);
    QVERIFY(!view.messageLabel()->isVisible());
  }

  // A network planned, not yet leveled: its observed differences empty.
  void designWithEmptyObservedValuesGivesTheDesignsFigures() {
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("planned.pc"));
    QVERIFY(writeBytes(file, QByteArray("2,2,4,1\r\nBM1,10.000\r\nBM2,12.500\r\nP1,\r\nP2,\r\n"
                                        "BM1,P1,,1.2\r\nP1,P2,,0.8\r\nP2,BM2,,1.5\r\nBM1,P2,,2.0\r\n")));
    WindowFixture f;
    QVERIFY(f.ready());
    QVERIFY(f.window->openFile(file));
    DesignPane& pane = f.window->designPane();
    pane.sigmaEdit()->setText(QStringLiteral("2"));
    f.window->onDesign();
    QCOMPARE(f.boxes.warnings(), 0);
    const levelnet::session::DesignRun* run = f.window->session().design();
    QVERIFY(run != nullptr);
    // The figures `levelnet design --sigma-km 2` gives for the same file.
    const levelnet::NetworkText network = levelnet::session::openNetwork(file.toStdString()).network;
    const levelnet::session::DesignRun expected = levelnet::session::designNetwork(
        network, levelnet::session::designOptions("", "平原", "2", ""), {}, "planned.pc");
    QCOMPARE(run->findings.pointErrors, expected.findings.pointErrors);
    QCOMPARE(run->findings.weakestPoint, expected.findings.weakestPoint);
    QVERIFY(pane.view()->toPlainText().contains(QStringLiteral("最弱点")));
    QCOMPARE(f.window->resultTabs()->currentWidget(), &pane);
    // The 网图: circles scaled by the expected M, which the labels give.
    NetworkView& view = f.window->networkView();
    f.window->resultTabs()->setCurrentWidget(&view);
    QTRY_VERIFY(view.drawing() != nullptr);
    const levelnet::plot::DrawnPoint& p1 = view.drawing()->points[2];
    QCOMPARE(p1.error, "预估M=" + levelnet::fixedText(expected.findings.pointErrors[1], 1) + "mm");
    const levelnet::plot::DrawnPoint& p2 = view.drawing()->points[3];
    QVERIFY((p1.radius < p2.radius) == (expected.findings.pointErrors[1] < expected.findings.pointErrors[2]));

    // Routes 2 and 3 unticked: designed without them, no redundancy is
    // left and both routes are unchecked; the rows left out are no route of
    // the picture, row 4 is its second route.
    f.window->resultTabs()->setCurrentWidget(&pane);
    QCOMPARE(pane.routeList()->count(), 4);
    pane.routeList()->item(1)->setCheckState(Qt::Unchecked);
    pane.routeList()->item(2)->setCheckState(Qt::Unchecked);
    pane.designButton()->click();
    QCOMPARE(f.window->session().design()->net.observationCount, 2);
    QVERIFY(pane.view()->toPlainText().contains(QStringLiteral("去掉原第 2 个观测值")));
    f.window->resultTabs()->setCurrentWidget(&view);
    QTRY_COMPARE(int(view.drawing()->routes.size()), 2);
    for (const levelnet::plot::DrawnRoute& r : view.drawing()->routes)
      QCOMPARE(int(r.mark), int(levelnet::plot::RouteMark::unchecked));
    f.window->input().observationTable()->setCurrentRow(3);
    QCOMPARE(view.highlightedRoute(), 0);
    f.window->input().observationTable()->setCurrentRow(4);
    QCOMPARE(view.highlightedRoute(), 2);
    QTest::mouseClick(view.view()->viewport(), Qt::LeftButton, {}, view.routeMiddle(1));
    QCOMPARE(f.window->input().observationTable()->currentRow(), 1);
    // An edit of the tables: the design is no longer of them; the picture
    // is the tables' network again.
    CellGrid* table = f.window->input().observationTable();
    table->setCurrentRow(1);
    table->setCurrentColumn(4);
    table->setFocus();
    WindowFixture::type(QStringLiteral("1.3"));
    WindowFixture::enter();
    QTRY_COMPARE(int(view.drawing()->routes.size()), 4);
    QVERIFY(view.drawing()->points[2].error.empty());
  }

  // A network beyond kDrawInlinePoints is drawn on a worker thread: the
  // window's event loop goes on meanwhile, and the picture comes when done.
  void aLargeNetworkIsDrawnOffTheWindowsThread() {
    const int n = 40;  // 1600 points
    QByteArray file = QByteArray::number(2) + "," + QByteArray::number(n * n - 2) + "," +
                      QByteArray::number(2 * n * (n - 1)) + ",1\r\n";
    auto name = [](int i, int j) { return "P" + QByteArray::number(i) + "_" + QByteArray::number(j); };
    file += name(0, 0) + ",10\r\n" + name(n - 1, n - 1) + ",11\r\n";
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (!((i == 0 && j == 0) || (i == n - 1 && j == n - 1))) file += name(i, j) + ",\r\n";
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        if (j + 1 < n) file += name(i, j) + "," + name(i, j + 1) + ",0.01,1\r\n";
        if (i + 1 < n) file += name(i, j) + "," + name(i + 1, j) + ",0.02,1.2\r\n";
      }
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("grid.pc"));
    QVERIFY(writeBytes(path, file));
    WindowFixture f;
    QVERIFY(f.ready());
    QVERIFY(f.window->openFile(path));
    NetworkView& view = f.window->networkView();
    f.window->resultTabs()->setCurrentWidget(&view);
    QVERIFY(view.drawingInProgress());
    QVERIFY(view.messageLabel()->text().contains(QStringLiteral("正在绘制")));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    QTRY_VERIFY_WITH_TIMEOUT(!view.drawingInProgress(), 60000);
    QVERIFY(ticks >= 1);
    QVERIFY(view.drawing() != nullptr);
    QCOMPARE(int(view.drawing()->points.size()), n * n);
    QVERIFY(!view.messageLabel()->isVisible());
    // Its labels come a slice at a time after the picture, every one of
    // them: a name per point, a number per route, the elevations of the two
    // benchmarks (no other figures before 平差).
    QTRY_VERIFY_WITH_TIMEOUT(view.labelsComplete(), 20000);
    QVERIFY(!view.labelsShown());
    const auto texts = [&](bool visibleOnly) {
      int count = 0;
      for (QGraphicsItem* item : view.view()->scene()->items())
        if (item->type() == QGraphicsSimpleTextItem::Type && (!visibleOnly || item->isVisible())) ++count;
      return count;
    };
    QCOMPARE(texts(false), n * n + 2 * n * (n - 1) + 2);
    QCOMPARE(texts(true), 0);
    const QPoint middle = view.pointPosition(n * n / 2 + n / 2);
    for (int i = 0; i < 20 && !view.labelsShown(); ++i) {
      QWheelEvent wheel(middle, view.view()->viewport()->mapToGlobal(QPointF(middle)), QPoint(), QPoint(0, 120),
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view.view()->viewport(), &wheel);
    }
    QVERIFY(view.labelsShown());
    QCOMPARE(texts(true), texts(false));
  }

  void labelsShowOnlyWhenTheyFit() {
    WindowFixture f;
    openCity(f);
    NetworkView& view = f.window->networkView();
    f.window->resize(1400, 900);
    view.fitToWindow();
    QVERIFY(view.labelsShown());
    // Zoomed far out, the routes are too short for labels.
    for (int i = 0; i < 12; ++i) {
      QWheelEvent wheel(QPointF(50, 50), view.view()->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                        QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(view.view()->viewport(), &wheel);
    }
    QVERIFY(!view.labelsShown());
    view.fitButton()->click();
    QVERIFY(view.labelsShown());
  }
};

QTEST_MAIN(NetworkViewTest)
#include "network_view_test.moc"
