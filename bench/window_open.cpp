// The window's open and adjust of a large network, measured on the real
// path (MainWindow::openFile and onAdjust, off-screen): wall time of each,
// and the longest the window's event loop went without running (a timer
// ticks every 10 ms meanwhile), which tells whether painting was blocked.
//   levelnet_window_open [ROWS COLS [RUNS]]   default a 45 x 45 grid, 5 runs
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "session/network_files.h"
#include "support/network_generator.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "window_timing.h"

using levelnet::bench::median;
using levelnet::bench::SilentBoxes;
using levelnet::bench::timed;
using levelnet::bench::Timing;

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = argc > 2 ? std::atoi(argv[1]) : 45, cols = argc > 2 ? std::atoi(argv[2]) : 45;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  QTemporaryDir dir;
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
  const QString file = dir.filePath(QStringLiteral("grid.pc"));
  const levelnet::NetworkText grid = levelnet::testing::gridNetwork(rows, cols, 1);
  levelnet::session::saveNetwork(file.toStdString(), grid);
  std::printf("grid %d x %d: %s points, %s observations\n", rows, cols, grid.fields.unknown.c_str(),
              grid.fields.observations.c_str());
  std::vector<double> openWall, openGap, adjustWall, adjustGap;
  for (int run = 0; run < runs; ++run) {
    SilentBoxes boxes;
    levelnet::ui::MainWindow window(nullptr, &boxes);
    window.show();
    QApplication::processEvents();
    bool opened = false;
    const Timing open = timed([&] {
      opened = window.openFile(file);
      QApplication::processEvents();  // the tables painted
    });
    if (!opened) return 1;
    const Timing adjust = timed([&] {
      window.onAdjust();
      QApplication::processEvents();
    });
    if (window.reportView()->toPlainText().isEmpty()) return 1;
    openWall.push_back(open.wall);
    openGap.push_back(open.longestGap);
    adjustWall.push_back(adjust.wall);
    adjustGap.push_back(adjust.longestGap);
  }
  std::printf("open:   %.0f ms (median of %d), the event loop at most %.0f ms without running\n", median(openWall),
              runs, median(openGap));
  std::printf("adjust: %.0f ms (median of %d), the event loop at most %.0f ms without running\n", median(adjustWall),
              runs, median(adjustGap));
  return 0;
}
