#include "ui/design_pane.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <set>

#include "network/number_text.h"
#include "session/grades.h"
#include "session/network_design.h"
#include "ui/chinese_ui.h"
#include "ui/report_preview.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

QString q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

}  // namespace

DesignPane::DesignPane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* options = new QGridLayout;
  gradeBox_ = new QComboBox(this);
  gradeBox_->addItem(QStringLiteral("不指定"));
  for (const std::string& g : session::checkGrades()) gradeBox_->addItem(q(g));
  gradeBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  terrainBox_ = new QComboBox(this);
  terrainBox_->addItems({QStringLiteral("平原"), QStringLiteral("山区")});
  terrainBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  sigmaEdit_ = new QLineEdit(this);
  sigmaEdit_->setPlaceholderText(QStringLiteral("按等级"));
  sigmaEdit_->setMaximumWidth(pixelsX(1000));
  designButton_ = new QPushButton(QStringLiteral("设计"), this);
  designButton_->setAutoDefault(false);
  const struct {
    const char* caption;
    QWidget* field;
    int row, column;
  } fields[] = {
      {"等级:", gradeBox_, 0, 0}, {"地形:", terrainBox_, 0, 2}, {"预计每公里中误差 σ (mm):", sigmaEdit_, 1, 0}};
  for (const auto& f : fields) {
    auto* label = new QLabel(QString::fromUtf8(f.caption), this);
    label->setBuddy(f.field);
    options->addWidget(label, f.row, f.column, 1, f.row == 1 ? 2 : 1);
    options->addWidget(f.field, f.row, f.row == 1 ? 2 : f.column + 1, 1, f.row == 1 ? 3 : 1, Qt::AlignLeft);
  }
  options->addWidget(designButton_, 0, 4, Qt::AlignRight);
  options->setColumnStretch(4, 1);
  layout->addLayout(options);

  auto* split = new QSplitter(Qt::Vertical, this);
  routes_ = new QListWidget(split);
  routes_->setToolTip(QStringLiteral("去掉勾选的路线按不测设计，看最弱点和无法检核的路线如何变化"));
  view_ = new QPlainTextEdit(split);
  view_->setFont(reportFont());
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  view_->setReadOnly(true);
  view_->setPlaceholderText(QStringLiteral(
      "按“设计”：不用观测高差，由路线长度、已知点和预计的每公里中误差估算各点中误差、最弱点和各路线的可靠性。"));
  split->addWidget(routes_);
  split->addWidget(view_);
  split->setStretchFactor(1, 3);
  layout->addWidget(split, 1);
}

DesignOptions DesignPane::options() const {
  const QString grade = gradeBox_->currentIndex() > 0 ? gradeBox_->currentText() : QString();
  return session::designOptions(grade.toStdString(), terrainBox_->currentText().toStdString(),
                                sigmaEdit_->text().trimmed().toStdString(), "");
}

void DesignPane::listRoutes(const NetworkText& network) {
  std::set<int> unticked;
  for (const int row : removedRows()) unticked.insert(row);
  const int tableRows = network.observations.rows() - 1;
  const std::optional<double> count = parseNumber(network.fields.observations);
  const int rows = count && isCount(*count) && *count <= tableRows ? static_cast<int>(*count) : tableRows;
  routes_->clear();
  for (int row = 1; row <= rows; ++row) {
    const std::string& from = network.observations.text(row, 1);
    const std::string& to = network.observations.text(row, 2);
    const std::string& length = network.observations.text(row, 4);
    auto* item = new QListWidgetItem(QStringLiteral("第 %1 条：%2 → %3，%4 km")
                                         .arg(row)
                                         .arg(q(from), q(to), length.empty() ? QStringLiteral("?") : q(length)),
                                     routes_);
    item->setData(Qt::UserRole, row);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(unticked.count(row) ? Qt::Unchecked : Qt::Checked);
  }
}

std::vector<int> DesignPane::removedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < routes_->count(); ++i)
    if (routes_->item(i)->checkState() == Qt::Unchecked) rows.push_back(routes_->item(i)->data(Qt::UserRole).toInt());
  return rows;
}

void DesignPane::showReport(const std::string& report) { view_->setPlainText(reportViewText(report)); }

void DesignPane::clear() { view_->setPlainText(QString()); }

}  // namespace levelnet::ui
