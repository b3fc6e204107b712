#include "ui/check_pane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/data_check.h"
#include "session/grades.h"
#include "ui/chinese_ui.h"
#include "ui/report_preview.h"
#include "ui/twips.h"

namespace levelnet::ui {

CheckPane::CheckPane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  // Two rows, so that every caption shows whole at the window's first size.
  auto* options = new QGridLayout;
  gradeBox_ = new QComboBox(this);
  gradeBox_->addItem(QStringLiteral("不指定"));
  for (const std::string& g : session::checkGrades()) gradeBox_->addItem(QString::fromStdString(g));
  terrainBox_ = new QComboBox(this);
  terrainBox_->addItems({QStringLiteral("平原"), QStringLiteral("山区")});
  sigmaEdit_ = new QLineEdit(this);
  sigmaEdit_->setPlaceholderText(QStringLiteral("不指定"));
  sigmaEdit_->setMaximumWidth(pixelsX(1000));
  iterateBox_ = new QCheckBox(QStringLiteral("迭代剔除粗差(&I)"), this);
  iterateBox_->setToolTip(QStringLiteral("剔除可疑粗差后重新平差、检核，直到没有可疑粗差"));
  checkButton_ = new QPushButton(QStringLiteral("检核"), this);
  checkButton_->setAutoDefault(false);
  gradeBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  terrainBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  const struct {
    const char* caption;
    QWidget* field;
    int row, column;
  } fields[] = {{"等级:", gradeBox_, 0, 0}, {"地形:", terrainBox_, 0, 2}, {"每公里中误差 σ (mm):", sigmaEdit_, 1, 0}};
  for (const auto& f : fields) {
    auto* label = new QLabel(QString::fromUtf8(f.caption), this);
    label->setBuddy(f.field);
    // The caption of σ is the longest: it takes the first two columns.
    options->addWidget(label, f.row, f.column, 1, f.row == 1 ? 2 : 1);
    options->addWidget(f.field, f.row, f.row == 1 ? 2 : f.column + 1, 1, f.row == 1 ? 3 : 1, Qt::AlignLeft);
  }
  options->addWidget(iterateBox_, 1, 4, Qt::AlignRight);
  options->addWidget(checkButton_, 0, 4, Qt::AlignRight);
  options->setColumnStretch(4, 1);
  layout->addLayout(options);
  view_ = new QPlainTextEdit(this);
  view_->setFont(reportFont());
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  view_->setReadOnly(true);
  view_->setPlaceholderText(QStringLiteral("选择等级后按“检核”：闭合差、χ² 检验、粗差探测和可发现的最小粗差。"));
  layout->addWidget(view_, 1);
}

QString CheckPane::grade() const { return gradeBox_->currentIndex() > 0 ? gradeBox_->currentText() : QString(); }

CheckOptions CheckPane::options() const {
  return session::checkOptions(grade().toStdString(), terrainBox_->currentText().toStdString(),
                               sigmaEdit_->text().trimmed().toStdString(), "", iterateBox_->isChecked());
}

void CheckPane::showReport(const std::string& report) { view_->setPlainText(reportViewText(report)); }

void CheckPane::clear() { view_->setPlainText(QString()); }

}  // namespace levelnet::ui
