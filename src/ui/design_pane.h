// The 设计 tab (精度预估): the grade, terrain and expected σ per km, the
// routes of the observation table with a tick each (a route unticked is
// designed as left out, as `levelnet design --remove`), the 设计 button and
// the design report. The 网图 shows the design's outcome.
#pragma once

#include <QWidget>
#include <vector>

#include "check/network_design.h"
#include "network/text_table.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace levelnet::ui {

class DesignPane : public QWidget {
  Q_OBJECT

 public:
  explicit DesignPane(QWidget* parent = nullptr);

  QComboBox* gradeBox() const { return gradeBox_; }
  QComboBox* terrainBox() const { return terrainBox_; }
  QLineEdit* sigmaEdit() const { return sigmaEdit_; }
  QListWidget* routeList() const { return routes_; }
  QPushButton* designButton() const { return designButton_; }
  QPlainTextEdit* view() const { return view_; }

  // The settings as chosen. Throws InputError naming what cannot be used.
  DesignOptions options() const;
  // Lists the routes of `network`'s observation table (as many as its
  // count field says, else every row), keeping the ticks of the rows listed
  // before.
  void listRoutes(const NetworkText& network);
  // The rows unticked, ascending.
  std::vector<int> removedRows() const;
  void showReport(const std::string& report);
  void clear();

 private:
  QComboBox* gradeBox_ = nullptr;
  QComboBox* terrainBox_ = nullptr;
  QLineEdit* sigmaEdit_ = nullptr;
  QListWidget* routes_ = nullptr;
  QPushButton* designButton_ = nullptr;
  QPlainTextEdit* view_ = nullptr;
};

}  // namespace levelnet::ui
