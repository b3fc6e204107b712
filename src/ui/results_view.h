// The 成果表 tab: the precision summary above a table of the points and a
// table of the observations, each figure the text the report shows. The
// tables read the results through models, so tens of thousands of rows cost
// no widgets.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <memory>

#include "adjust/results_table.h"

class QLabel;
class QSplitter;
class QTableView;

namespace levelnet::ui {

// One of the 成果表's two tables as a model: the rows of ResultsTable::points
// (序号, 点号, 类型, 高程(m), 中误差(mm)) or of ResultsTable::observations
// (序号, 起点, 终点, 观测高差(m), 路线长度(km), 改正数(mm), 平差值(m)).
class ResultRowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class Rows { points, observations };
  explicit ResultRowsModel(Rows rows, QObject* parent = nullptr) : QAbstractTableModel(parent), rows_(rows) {}
  void setTable(std::shared_ptr<const ResultsTable> table);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QString text(int row, int column) const;
  Rows rows_;
  std::shared_ptr<const ResultsTable> table_;
};

// The precision summary as the lines every output shows (precisionSummaryLines).
QString precisionSummaryText(const PrecisionSummary& precision);

class ResultsPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ResultsPanel(QWidget* parent = nullptr);
  // Shows `table`; null empties the panel.
  void setTable(std::shared_ptr<const ResultsTable> table);
  const ResultsTable* table() const { return table_.get(); }
  // The table shown is of data edited since: said above it.
  void markStale();

  QLabel* summaryLabel = nullptr;
  QSplitter* splitter = nullptr;
  QTableView* pointView = nullptr;
  QTableView* observationView = nullptr;

 private:
  std::shared_ptr<const ResultsTable> table_;
  ResultRowsModel* pointModel_ = nullptr;
  ResultRowsModel* observationModel_ = nullptr;
};

}  // namespace levelnet::ui
