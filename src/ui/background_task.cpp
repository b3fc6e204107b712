#include "ui/background_task.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <memory>

#include "network/thread_precision.h"

namespace levelnet::ui {

namespace {

// Below this the dialog would only flicker.
constexpr int kDialogDelayMs = 400;

}  // namespace

TaskResult runInBackground(QWidget* parent, const QString& label, const std::function<void(const CancelFlag&)>& work) {
  CancelFlag cancelled{false};
  TaskResult result;
  QThread* thread = QThread::create([&] {
    // The worker computes to the last digit as the command line does.
    useMainThreadPrecision();
    try {
      work(cancelled);
    } catch (const TaskCancelled&) {
      result.end = TaskEnd::cancelled;
    } catch (...) {
      result.end = TaskEnd::failed;
      result.error = std::current_exception();
    }
  });

  QEventLoop loop;
  QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);

  // Busy indicator: the work does not know how far along it is.
  QProgressDialog progress(label, QStringLiteral("取消"), 0, 0, parent);
  progress.setWindowTitle(QStringLiteral("请稍候"));
  progress.setWindowModality(Qt::ApplicationModal);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  // Shown once the work has taken a moment (not through setMinimumDuration,
  // which with a busy indicator shows at once).
  QTimer showLater;
  showLater.setSingleShot(true);
  QObject::connect(&showLater, &QTimer::timeout, &progress, [&] {
    if (thread->isRunning()) progress.show();
  });
  QObject::connect(&progress, &QProgressDialog::canceled, [&] {
    cancelled.store(true, std::memory_order_relaxed);
    progress.setLabelText(QStringLiteral("正在取消……"));
  });
  thread->start();
  showLater.start(kDialogDelayMs);
  if (!thread->isFinished()) loop.exec(QEventLoop::DialogExec);
  thread->wait();
  delete thread;
  progress.hide();
  return result;
}

}  // namespace levelnet::ui
