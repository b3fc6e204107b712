// The 网图 of a large network in the window and as files, measured on the
// real path: the grid opened (MainWindow::openFile), the 网图 tab shown, and
// the time until its picture is on screen, with the longest the window's
// event loop went without running meanwhile (a timer ticks every 10 ms);
// then the PNG and PDF of the same drawing (levelnet plot -o .png/.pdf).
//   levelnet_network_view [ROWS COLS [RUNS]]   default a 100 x 100 grid, 3 runs
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "print/network_picture.h"
#include "session/network_files.h"
#include "support/network_generator.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/network_view.h"
#include "ui/result_tabs.h"
#include "window_timing.h"

namespace {

double spread(const std::vector<double>& v) {
  const auto [low, high] = std::minmax_element(v.begin(), v.end());
  return *high - *low;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = argc > 2 ? std::atoi(argv[1]) : 100, cols = argc > 2 ? std::atoi(argv[2]) : 100;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  QTemporaryDir dir;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  const QString file = dir.filePath(QStringLiteral("grid.pc"));
  const levelnet::NetworkText grid = levelnet::testing::gridNetwork(rows, cols, 1);
  levelnet::session::saveNetwork(file.toStdString(), grid);
  std::printf("grid %d x %d: %s unknown points, %s observations\n", rows, cols, grid.fields.unknown.c_str(),
              grid.fields.observations.c_str());
  std::vector<double> shown, gaps, png, pdf;
  for (int run = 0; run < runs; ++run) {
    levelnet::bench::SilentBoxes boxes;
    levelnet::ui::MainWindow window(nullptr, &boxes);
    window.resize(1200, 800);
    window.show();
    QApplication::processEvents();
    if (!window.openFile(file)) return 1;
    QApplication::processEvents();
    levelnet::ui::NetworkView& view = window.networkView();
    const levelnet::bench::Timing on = levelnet::bench::timed([&] {
      window.resultTabs()->setCurrentWidget(&view);
      // On screen: the drawing adopted and the view painted once more.
      while (view.drawing() == nullptr || view.drawingInProgress()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
      }
      QApplication::processEvents();
    });
    shown.push_back(on.wall);
    gaps.push_back(on.longestGap);
    const levelnet::plot::NetworkDrawing& d = *view.drawing();
    std::size_t bytes = 0;
    png.push_back(levelnet::bench::timed([&] { bytes += levelnet::print::networkPng(d).size(); }).wall);
    pdf.push_back(levelnet::bench::timed([&] { bytes += levelnet::print::networkPdf(d).size(); }).wall);
    if (bytes == 0) return 1;
  }
  std::printf(
      "网图 tab: on screen after %.0f ms (median of %d, spread %.0f), the event loop at most %.0f ms "
      "without running\n",
      levelnet::bench::median(shown), runs, spread(shown), levelnet::bench::median(gaps));
  std::printf("PNG of the drawing: %.0f ms (spread %.0f); PDF: %.0f ms (spread %.0f)\n", levelnet::bench::median(png),
              spread(png), levelnet::bench::median(pdf), spread(pdf));
  return 0;
}
