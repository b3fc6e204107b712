// The 沉降监测 window: opens a monitoring project (the project file and its
// epochs' .pc files), runs the monitoring off the window's thread, lists the
// epochs, shows the six tables of `levelnet monitor` and its curves, and
// exports what the command line writes (text, CSV, XLSX, JSON, PDF) through
// the safe save.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <optional>

#include "monitor/settlement.h"
#include "session/monitoring.h"

class QLabel;
class QListWidget;
class QTabWidget;

namespace levelnet::ui {

class FileDialogs;
class MessageBoxes;

// The curves of the last monitoring, painted as the PDF's first pages.
class SettlementCurves : public QWidget {
 public:
  enum class Kind { curves, bars };
  SettlementCurves(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}
  void setResults(const monitor::MonitoringResults* results) {
    results_ = results;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kind kind_;
  const monitor::MonitoringResults* results_ = nullptr;
};

class MonitoringView : public QDialog {
 public:
  MonitoringView(FileDialogs& dialogs, MessageBoxes& boxes, QWidget* parent);

  // 打开项目…: the file dialog, then openProject.
  bool chooseProject();
  // Reads and runs the project off the window's thread; true when it ran.
  // A refusal is told in a message and leaves what was shown.
  bool openProject(const QString& path);
  // 添加期…: the epoch's .pc chosen in the file dialog, then its date
  // (and stage, note) asked; 删除期: the selected epoch, after a question.
  // The project file is edited through the safe save only once the edited
  // project has been read and run; true when it was saved.
  bool addEpoch();
  bool removeSelectedEpoch();
  // 导出…: the tables or the curves to a file chosen in the dialog.
  bool exportResults();
  // The same to `path` in the format its filter names (0 text, 1 CSV,
  // 2 CSV in GBK, 3 XLSX, 4 JSON, 5 PDF); true when written.
  bool exportTo(const QString& path, int filterIndex);

  // For the tests.
  QListWidget* epochList() const { return epochs_; }
  QTabWidget* tabs() const { return tabs_; }
  const std::optional<monitor::MonitoringResults>& results() const { return results_; }

 private:
  void display(const session::MonitoringInput& input);
  // Reads and runs `bytes` as the project, then saves them over it.
  bool applyEdit(const std::string& bytes);
  // Runs the reading and the monitoring off the window's thread.
  bool run(const std::function<session::MonitoringInput()>& open);
  void warn(const QString& text);

  FileDialogs& dialogs_;
  MessageBoxes& boxes_;
  QLabel* summary_ = nullptr;
  QListWidget* epochs_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  SettlementCurves* curves_ = nullptr;
  SettlementCurves* bars_ = nullptr;
  QString projectPath_;
  std::vector<std::string> inputFiles_;
  std::optional<monitor::MonitoringResults> results_;
};

}  // namespace levelnet::ui
