// What the window benchmarks share: message boxes that answer by
// themselves, a work's wall time with the longest the event loop went
// without running meanwhile (a 10 ms timer ticks), and the median.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/dialogs.h"

namespace levelnet::bench {

class SilentBoxes : public ui::MessageBoxes {
 public:
  ui::SaveAnswer askToSave(QWidget*, const QString&, const QString&, ui::SaveQuestion) override {
    return ui::SaveAnswer::discard;
  }
  void warn(QWidget*, const QString&, const QString& text) override {
    std::fprintf(stderr, "warning: %s\n", text.toUtf8().constData());
  }
};

// Runs `work` and returns its wall time and the longest gap between ticks
// of a 10 ms timer while it ran, in milliseconds.
struct Timing {
  double wall = 0, longestGap = 0;
};
template <class Work>
Timing timed(Work&& work) {
  QElapsedTimer clock, sinceTick;
  double longest = 0;
  QTimer ticker;
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
    sinceTick.restart();
  });
  clock.start();
  sinceTick.start();
  ticker.start();
  work();
  ticker.stop();
  longest = std::max(longest, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
  return {static_cast<double>(clock.nsecsElapsed()) / 1e6, longest};
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace levelnet::bench
