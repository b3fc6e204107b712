#include "ui/results_view.h"

#include "ui/dialogs.h"

#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace levelnet::ui {

namespace {

QString fromUtf8(const std::string& s) { return QString::fromStdString(s); }

constexpr const char* kPointHeaders[] = {"序号", "点号", "类型", "高程(m)", "中误差(mm)"};
constexpr const char* kObservationHeaders[] = {"序号",         "起点",       "终点",     "观测高差(m)",
                                               "路线长度(km)", "改正数(mm)", "平差值(m)"};
// Names read from the left, figures from the right, as in the report: the
// name columns are 1 and 2 in both tables (点号 and 类型; 起点 and 终点).
bool isNameColumn(int column) { return column == 1 || column == 2 || column == 9; }

QTableView* makeView(QAbstractItemModel* model, QWidget* parent) {
  auto* view = new QTableView(parent);
  view->setModel(model);
  view->verticalHeader()->hide();
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setAlternatingRowColors(true);
  // Fixed row heights: no row is measured, so a long table opens at once.
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
  view->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  // Narrow margins in the cells, so the 成果表 fits the tab at the window's first size.
  view->setStyleSheet(QStringLiteral("QTableView::item { padding: 0px 2px; }"));
  return view;
}

// Columns as wide as their widest text among the first rows and the header.
void fitColumns(QTableView* view) {
  view->horizontalHeader()->setResizeContentsPrecision(500);
  view->resizeColumnsToContents();
}

}  // namespace

void ResultRowsModel::setTable(std::shared_ptr<const ResultsTable> table) {
  beginResetModel();
  table_ = std::move(table);
  endResetModel();
}

int ResultRowsModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !table_) return 0;
  return static_cast<int>(rows_ == Rows::points ? table_->points.size() : table_->observations.size());
}

int ResultRowsModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  if (rows_ == Rows::points) return static_cast<int>(std::size(kPointHeaders));
  // The check's r and w (τ), where they were added.
  const bool checked = table_ && !table_->testStatisticName.empty();
  return static_cast<int>(std::size(kObservationHeaders)) + (checked ? 3 : 0);
}

QString ResultRowsModel::text(int row, int column) const {
  const auto index = static_cast<std::size_t>(row);
  if (rows_ == Rows::points) {
    const PointResult& p = table_->points[index];
    switch (column) {
      case 0:
        return QString::number(p.number);
      case 1:
        return fromUtf8(p.name);
      case 2:
        return p.known ? QStringLiteral("已知点") : QStringLiteral("待定点");
      case 3:
        return fromUtf8(p.elevation.text);
      default:
        return fromUtf8(p.standardErrorText);
    }
  }
  const ObservationResult& o = table_->observations[index];
  switch (column) {
    case 0:
      return QString::number(o.number);
    case 1:
      return fromUtf8(o.from);
    case 2:
      return fromUtf8(o.to);
    case 3:
      return fromUtf8(o.observedDifference.text);
    case 4:
      return fromUtf8(o.routeLength.text);
    case 5:
      return fromUtf8(o.correction.text);
    case 6:
      return fromUtf8(o.adjustedDifference.text);
    case 7:
      return fromUtf8(o.redundancyText);
    case 8:
      return fromUtf8(o.testStatisticText);
    default:
      return fromUtf8(o.attention);
  }
}

QVariant ResultRowsModel::data(const QModelIndex& index, int role) const {
  if (!table_ || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::Alignment(isNameColumn(index.column()) ? Qt::AlignLeft | Qt::AlignVCenter
                                                                          : Qt::AlignRight | Qt::AlignVCenter));
  if (role != Qt::DisplayRole) return {};
  return text(index.row(), index.column());
}

QVariant ResultRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  // The unit under its name, so the columns are no wider than their figures.
  const auto stacked = [](QString header) { return header.replace(u'(', QStringLiteral("\n(")); };
  if (rows_ == Rows::points) return stacked(QString::fromUtf8(kPointHeaders[section]));
  if (section == 7) return QStringLiteral("多余观测\n分量 r");
  if (section == 8) return QStringLiteral("统计量\n") + fromUtf8(table_->testStatisticName);
  if (section == 9) return QStringLiteral("须注意");
  return stacked(QString::fromUtf8(kObservationHeaders[section]));
}

QString precisionSummaryText(const PrecisionSummary& p) {
  // A line that is too long for the tab breaks after its punctuation only,
  // never inside a figure and its unit ("1.317 mm") or inside a word.
  QStringList lines;
  for (const std::string& line : precisionSummaryLines(p))
    lines << readableText(fromUtf8(line).replace(u' ', QChar(0x00A0)));
  return lines.join(u'\n');
}

ResultsPanel::ResultsPanel(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  summaryLabel = new QLabel(QStringLiteral("平差后此处显示成果表。"), this);
  summaryLabel->setWordWrap(true);
  summaryLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(summaryLabel);
  splitter = new QSplitter(Qt::Vertical, this);
  pointModel_ = new ResultRowsModel(ResultRowsModel::Rows::points, this);
  observationModel_ = new ResultRowsModel(ResultRowsModel::Rows::observations, this);
  pointView = makeView(pointModel_, splitter);
  observationView = makeView(observationModel_, splitter);
  splitter->addWidget(pointView);
  splitter->addWidget(observationView);
  layout->addWidget(splitter, 1);
}

void ResultsPanel::setTable(std::shared_ptr<const ResultsTable> table) {
  table_ = std::move(table);
  pointModel_->setTable(table_);
  observationModel_->setTable(table_);
  summaryLabel->setText(table_ ? precisionSummaryText(table_->precision) : QStringLiteral("平差后此处显示成果表。"));
  fitColumns(pointView);
  fitColumns(observationView);
}

void ResultsPanel::markStale() {
  if (table_)
    summaryLabel->setText(precisionSummaryText(table_->precision) +
                          QStringLiteral("\n（数据已修改：此成果为修改前的平差结果，请重新平差。）"));
}

}  // namespace levelnet::ui
