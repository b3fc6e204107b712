// Long work (reading a large file, adjusting, checking, writing a PDF) runs
// on a worker thread while the window keeps painting. A progress dialog with
// 取消 appears when the work takes longer than a moment. The caller keeps its
// window from taking input meanwhile, so the data cannot change under the work.
#pragma once

#include <QString>
#include <atomic>
#include <exception>
#include <functional>

class QWidget;

namespace levelnet::ui {

// Set when the user pressed 取消; the work looks at it where it can stop.
using CancelFlag = std::atomic<bool>;

// Thrown by work that saw the cancel flag set.
struct TaskCancelled : std::exception {
  const char* what() const noexcept override { return "cancelled"; }
};

// Throws TaskCancelled when `flag` is set.
inline void stopIfCancelled(const CancelFlag& flag) {
  if (flag.load(std::memory_order_relaxed)) throw TaskCancelled();
}

enum class TaskEnd { finished, cancelled, failed };

struct TaskResult {
  TaskEnd end = TaskEnd::finished;
  std::exception_ptr error;  // the exception the work ended with (failed)
};

// Runs `work` on a worker thread and returns when it has ended; meanwhile
// the calling thread runs an event loop, so the window repaints. `label`
// is the progress dialog's text ("正在平差……"). The work must not touch
// widgets. Work that throws TaskCancelled ends `cancelled`; any other
// exception ends `failed` with it.
TaskResult runInBackground(QWidget* parent, const QString& label, const std::function<void(const CancelFlag&)>& work);

}  // namespace levelnet::ui
