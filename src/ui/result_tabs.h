// The right side of the window: the tabs 报告 (the report, read-only, to
// select and copy), 成果表, 检核, 网图 and 设计, and the typing hint under them.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QTabWidget;

namespace levelnet::session {
class Session;
}

namespace levelnet::ui {

class CheckPane;
class DesignPane;
class NetworkView;
class ResultsPanel;

class ResultTabs : public QWidget {
  Q_OBJECT

 public:
  // `session` (the 网图's network) must outlive the tabs.
  explicit ResultTabs(const session::Session& session, QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  QPlainTextEdit* reportView() const { return reportView_; }
  ResultsPanel* resultsPanel() const { return resultsPanel_; }
  CheckPane* checkPane() const { return checkPane_; }
  NetworkView* networkView() const { return networkView_; }
  DesignPane* designPane() const { return designPane_; }

  // Shows the report's text from its start.
  void showReport(const QString& text);

 private:
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* reportView_ = nullptr;
  ResultsPanel* resultsPanel_ = nullptr;
  CheckPane* checkPane_ = nullptr;
  NetworkView* networkView_ = nullptr;
  DesignPane* designPane_ = nullptr;
};

}  // namespace levelnet::ui
