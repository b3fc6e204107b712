// The right side of the window: the tabs 报告 (the report, read-only, to
// select and copy), 成果表 and 检核, and the typing hint under them.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QTabWidget;

namespace levelnet::ui {

class CheckPane;
class ResultsPanel;

class ResultTabs : public QWidget {
  Q_OBJECT

 public:
  explicit ResultTabs(QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  QPlainTextEdit* reportView() const { return reportView_; }
  ResultsPanel* resultsPanel() const { return resultsPanel_; }
  CheckPane* checkPane() const { return checkPane_; }

  // Shows the report's text from its start.
  void showReport(const QString& text);

 private:
  QTabWidget* tabs_ = nullptr;
  QPlainTextEdit* reportView_ = nullptr;
  ResultsPanel* resultsPanel_ = nullptr;
  CheckPane* checkPane_ = nullptr;
};

}  // namespace levelnet::ui
