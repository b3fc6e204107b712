#include "ui/monitoring_view.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "monitor/monitoring_tables.h"
#include "network/errors.h"
#include "network/file_identity.h"
#include "network/safe_file.h"
#include "print/monitoring_charts.h"
#include "session/report_document.h"
#include "ui/background_task.h"
#include "ui/dialogs.h"
#include "ui/error_text.h"
#include "ui/file_names.h"

namespace levelnet::ui {

namespace {

QString q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

QTableWidget* tableOf(const monitor::OutputTable& t, QWidget* parent) {
  auto* table =
      new QTableWidget(static_cast<int>(t.sheet.rows.size()), static_cast<int>(t.sheet.header.size()), parent);
  QStringList header;
  for (const std::string& h : t.sheet.header) header << q(h);
  table->setHorizontalHeaderLabels(header);
  for (std::size_t r = 0; r < t.sheet.rows.size(); ++r)
    for (std::size_t c = 0; c < t.sheet.rows[r].size(); ++c) {
      auto* item = new QTableWidgetItem(q(t.sheet.rows[r][c].text));
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      if (c < t.rightAligned.size() && t.rightAligned[c]) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (t.sheet.rows[r][c].text == "预警") item->setForeground(QColor(200, 0, 0));
      if (t.sheet.rows[r][c].text == "注意") item->setForeground(QColor(200, 110, 0));
      table->setItem(static_cast<int>(r), static_cast<int>(c), item);
    }
  table->verticalHeader()->setVisible(false);
  table->resizeColumnsToContents();
  table->setToolTip(q(t.title));
  return table;
}

const QStringList kExportFilters = {QStringLiteral("文本 (*.txt)"),       QStringLiteral("CSV (*.csv)"),
                                    QStringLiteral("CSV（GBK） (*.csv)"), QStringLiteral("Excel 工作簿 (*.xlsx)"),
                                    QStringLiteral("JSON (*.json)"),      QStringLiteral("PDF 曲线图 (*.pdf)")};

}  // namespace

void SettlementCurves::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!results_) return;
  painter.setRenderHint(QPainter::Antialiasing);
  const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
  const QRectF area(rect().adjusted(24, 12, -12, -12));
  try {
    if (kind_ == Kind::curves)
      print::paintSettlementCurves(painter, area, *results_, dpi);
    else
      print::paintLastEpochBars(painter, area, *results_, dpi);
  } catch (const std::exception& e) {
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8(e.what()));
  }
}

MonitoringView::MonitoringView(FileDialogs& dialogs, MessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), boxes_(boxes) {
  setWindowTitle(QStringLiteral("沉降监测"));
  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  auto* open = new QPushButton(QStringLiteral("打开项目(&O)…"), this);
  auto* exportButton = new QPushButton(QStringLiteral("导出(&E)…"), this);
  auto* add = new QPushButton(QStringLiteral("添加期(&A)…"), this);
  auto* remove = new QPushButton(QStringLiteral("删除期(&D)"), this);
  buttons->addWidget(open);
  buttons->addWidget(add);
  buttons->addWidget(remove);
  buttons->addWidget(exportButton);
  buttons->addStretch();
  layout->addLayout(buttons);
  summary_ = new QLabel(QStringLiteral("打开监测项目文件（*.mon）：各期平差文件、基准点与预警值"), this);
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(summary_);
  auto* splitter = new QSplitter(this);
  epochs_ = new QListWidget(splitter);
  tabs_ = new QTabWidget(splitter);
  curves_ = new SettlementCurves(SettlementCurves::Kind::curves, tabs_);
  bars_ = new SettlementCurves(SettlementCurves::Kind::bars, tabs_);
  splitter->setStretchFactor(1, 4);
  layout->addWidget(splitter, 1);
  connect(open, &QPushButton::clicked, this, [this] { chooseProject(); });
  connect(exportButton, &QPushButton::clicked, this, [this] { exportResults(); });
  connect(add, &QPushButton::clicked, this, [this] { addEpoch(); });
  connect(remove, &QPushButton::clicked, this, [this] { removeSelectedEpoch(); });
  resize(1100, 700);
}

void MonitoringView::warn(const QString& text) { boxes_.warn(this, QStringLiteral("沉降监测"), text); }

bool MonitoringView::chooseProject() {
  const std::optional<QString> path =
      dialogs_.openFileName(this, QStringLiteral("监测项目 (*.mon *.txt)"), projectPath_);
  return path && openProject(*path);
}

bool MonitoringView::run(const std::function<session::MonitoringInput()>& open) {
  std::optional<session::MonitoringInput> input;
  std::optional<monitor::MonitoringResults> results;
  const TaskResult task =
      runInBackground(this, QStringLiteral("正在平差各期并检验基准点……"), [&](const CancelFlag& cancel) {
        input = open();
        stopIfCancelled(cancel);
        results = session::runMonitoring(*input, [&](int) { stopIfCancelled(cancel); });
      });
  if (task.end == TaskEnd::failed) warn(failureText(task.error, QStringLiteral("沉降监测")));
  if (task.end != TaskEnd::finished) return false;
  inputFiles_ = input->inputFiles;
  results_ = std::move(results);
  display(*input);
  return true;
}

bool MonitoringView::openProject(const QString& path) {
  const std::string file = localPath(path);
  const QString before = projectPath_;
  projectPath_ = path;
  if (run([&] { return session::openMonitoringProject(file); })) return true;
  projectPath_ = before;
  return false;
}

bool MonitoringView::applyEdit(const std::string& bytes) {
  const std::string file = localPath(projectPath_);
  if (!run([&] { return session::openMonitoringProjectBytes(file, bytes); })) return false;
  try {
    session::saveMonitoringProject(file, bytes);
    return true;
  } catch (...) {
    warn(failureText(std::current_exception(), QStringLiteral("保存监测项目")));
    openProject(projectPath_);  // what the file holds again
    return false;
  }
}

bool MonitoringView::addEpoch() {
  if (!results_) {
    warn(QStringLiteral("还没有打开监测项目"));
    return false;
  }
  const QDir folder = QFileInfo(projectPath_).absoluteDir();
  const std::optional<QString> pc = dialogs_.openFileName(this, QStringLiteral("平差文件 (*.pc)"), QString());
  if (!pc) return false;
  const QString relative = folder.relativeFilePath(*pc);
  const std::optional<QString> rest = boxes_.askText(
      this, QStringLiteral("添加观测期"),
      QStringLiteral("%1 的观测日期（2024-03-01 或 2024-03-01 09:30），可再加“, 荷载或施工阶段, 备注”：").arg(relative),
      QString());
  if (!rest || rest->trimmed().isEmpty()) return false;
  const QString file = relative.contains(QLatin1Char(',')) || relative.contains(QStringLiteral("，"))
                           ? QStringLiteral("\"") + relative + QStringLiteral("\"")
                           : relative;
  // The date first, the file after it, then what the user added.
  const QString typed = rest->trimmed();
  const qsizetype a = typed.indexOf(QLatin1Char(',')), b = typed.indexOf(QStringLiteral("，"));
  const qsizetype comma = a < 0 ? b : b < 0 ? a : std::min(a, b);
  const QString line = comma < 0 ? typed + QStringLiteral(", ") + file
                                 : typed.left(comma) + QStringLiteral(", ") + file + typed.mid(comma);
  try {
    const std::string project = localPath(projectPath_);
    return applyEdit(
        session::projectWithEpochAdded(session::monitoringProjectBytes(project), project, line.toStdString()));
  } catch (...) {
    warn(failureText(std::current_exception(), QStringLiteral("添加观测期")));
    return false;
  }
}

bool MonitoringView::removeSelectedEpoch() {
  const int row = epochs_->currentRow();
  if (!results_ || row < 0) {
    warn(QStringLiteral("请先在左边的列表中选出要删除的一期"));
    return false;
  }
  const std::optional<int> answer =
      boxes_.askChoice(this, QStringLiteral("删除观测期"),
                       QStringLiteral("从项目文件中删除第 %1 期（%2）？平差文件本身不删除。")
                           .arg(row + 1)
                           .arg(q(results_->epochs[static_cast<std::size_t>(row)].entry.file)),
                       {QStringLiteral("删除"), QStringLiteral("取消")});
  if (!answer || *answer != 0) return false;
  try {
    const std::string project = localPath(projectPath_);
    return applyEdit(session::projectWithEpochRemoved(session::monitoringProjectBytes(project), project, row));
  } catch (...) {
    warn(failureText(std::current_exception(), QStringLiteral("删除观测期")));
    return false;
  }
}

void MonitoringView::display(const session::MonitoringInput& input) {
  const monitor::MonitoringResults& r = *results_;
  QStringList lines;
  for (const std::string& line : monitor::summaryLines(r)) lines << q(line);
  for (const std::string& note : input.encodingNotes) lines << q(note);
  summary_->setText(lines.mid(1).join(QLatin1Char('\n')));
  epochs_->clear();
  for (std::size_t i = 0; i < r.epochs.size(); ++i) {
    const monitor::EpochResult& e = r.epochs[i];
    QString text = QStringLiteral("第 %1 期  %2  %3").arg(i + 1).arg(q(e.entry.dateText), q(e.entry.file));
    if (!e.entry.stage.empty()) text += QStringLiteral("  ") + q(e.entry.stage) + q(e.entry.load ? r.loadUnit : "");
    if (!e.stability.againstFirst.moved.empty()) text += QStringLiteral("  基准点移动");
    epochs_->addItem(text);
    epochs_->item(static_cast<int>(i))->setToolTip(q(e.stability.note));
  }
  while (tabs_->count() > 0) {
    QWidget* page = tabs_->widget(0);
    tabs_->removeTab(0);
    if (page != curves_ && page != bars_) page->deleteLater();
  }
  tabs_->addTab(curves_, QStringLiteral("曲线"));
  tabs_->addTab(bars_, QStringLiteral("末期沉降"));
  for (const monitor::OutputTable& t : monitor::monitoringTables(r)) tabs_->addTab(tableOf(t, tabs_), q(t.sheet.name));
  curves_->setResults(&*results_);
  bars_->setResults(&*results_);
  setWindowTitle(QStringLiteral("沉降监测 - ") + QFileInfo(projectPath_).fileName());
}

bool MonitoringView::exportResults() {
  if (!results_) {
    warn(QStringLiteral("还没有打开监测项目"));
    return false;
  }
  const QString start = QFileInfo(projectPath_).completeBaseName() + QStringLiteral(".txt");
  const std::optional<ChosenFile> chosen =
      dialogs_.saveFileAs(this, QStringLiteral("导出沉降观测成果"), kExportFilters, start);
  return chosen && exportTo(chosen->path, chosen->filterIndex);
}

bool MonitoringView::exportTo(const QString& path, int filterIndex) {
  if (!results_) return false;
  const std::string target = path.toStdString();
  const session::ResultsFormat formats[] = {session::ResultsFormat::text, session::ResultsFormat::csv,
                                            session::ResultsFormat::csvGbk, session::ResultsFormat::xlsx,
                                            session::ResultsFormat::json};
  try {
    refuseOutputOverInput(target, inputFiles_);
    // The PDF is painted here (QtGui wants its own thread); the tables are
    // made and saved off the window's thread.
    if (filterIndex == 5) {
      saveFileSafely(target, print::monitoringPdf(*results_, session::documentDateFromEnvironment()));
      return true;
    }
    const session::ResultsFormat format = formats[std::clamp(filterIndex, 0, 4)];
    const TaskResult run = runInBackground(this, QStringLiteral("正在导出……"), [&](const CancelFlag&) {
      saveFileSafely(target, session::monitoringFileBytes(*results_, format));
    });
    if (run.end == TaskEnd::failed) warn(failureText(run.error, QStringLiteral("导出")));
    return run.end == TaskEnd::finished;
  } catch (...) {
    warn(failureText(std::current_exception(), QStringLiteral("导出")));
    return false;
  }
}

}  // namespace levelnet::ui
