// What the window hands out of an adjustment: 保存报告 (the report as a
// text file), 导出成果表 (CSV, XLSX, JSON or text), 导出 PDF and 打印. Each
// refuses (with a message) when the window holds no adjustment of the data
// shown, and writes through the safe save.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "session/results_files.h"
#include "ui/background_task.h"

class QWidget;

namespace levelnet::session {
class Session;
}

namespace levelnet::ui {

class FileDialogs;
class MessageBoxes;

// How a part of the window runs long work: off the window's thread with the
// window busy, a failure told in a message naming `task`. True when the work
// finished.
using RunBusy =
    std::function<bool(const QString& label, const QString& task, const std::function<void(const CancelFlag&)>& work)>;

// What the parts of the window need of it: running long work, whether it
// can take a command now (not busy; the editors are then committed), and
// being set busy for work that must stay on the window's thread.
struct WindowHooks {
  RunBusy runBusy;
  std::function<bool()> ready;
  std::function<void(bool busy)> setBusy;
};

class Deliverables : public QObject {
  Q_OBJECT

 public:
  // Everything given must outlive this.
  Deliverables(session::Session& session, FileDialogs& dialogs, MessageBoxes& boxes, QWidget* window,
               WindowHooks hooks);

  bool saveReport();
  bool exportResults();
  bool exportPdf();
  bool print();

  // The name documents and dialogs give the network: its file's name, or 未命名.
  QString documentName() const;

 private:
  // False, with the message, when there is no adjustment of the data shown.
  bool requireCurrentResults();
  QString startName(const QString& suffix) const;
  std::optional<session::ResultsFormat> exportFormat(const QString& path, int filterIndex);
  void warn(const QString& text);

  session::Session& session_;
  FileDialogs& dialogs_;
  MessageBoxes& boxes_;
  QWidget* window_;
  WindowHooks hooks_;
};

}  // namespace levelnet::ui
