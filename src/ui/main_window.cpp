#include "ui/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <cstddef>
#include <exception>
#include <new>

#include "adjust/adjustment_run.h"
#include "network/input_error.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "ui/cell_grid.h"
#include "ui/chinese_ui.h"
#include "ui/dialogs.h"
#include "ui/key_codes.h"
#include "ui/keyed_line_edit.h"
#include "ui/table_rows.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");
const QString kFilter = QStringLiteral("平差文件 (*.pc)");
const QString kExitTitle = QStringLiteral("退出Vantrel平差");
const QString kExitQuestion = QStringLiteral("平差数据已输完或修改，是否保存再退出？");
const QString kReplaceQuestion = QStringLiteral("是否保存对当前网的修改？");
const QString kUntitled = QStringLiteral("未命名");

// The client area and every control's left, top, width, height, in twips;
// the parameter fields and their captions relative to the frame around them.
constexpr int kClientWidth = 10680;
constexpr int kClientHeight = 6090;
struct Place {
  int left, top, width, height;
};
constexpr Place kCountsFrame{200, 200, 1700, 1815};
constexpr Place kCountLabels[4] = {
    {120, 360, 630, 180}, {120, 720, 630, 180}, {120, 1080, 630, 180}, {120, 1440, 990, 180}};
constexpr Place kKnownCountEdit{840, 320, 495, 270};
constexpr Place kUnknownCountEdit{840, 680, 495, 270};
constexpr Place kObservationCountEdit{840, 1000, 495, 270};
constexpr Place kUnitLengthEdit{1120, 1400, 400, 270};
constexpr Place kPointTable{2055, 285, 2475, 1725};
constexpr Place kObservationTable{195, 2280, 4335, 2895};
constexpr Place kReportView{4680, 280, 5775, 4900};
constexpr Place kNewButton{240, 5400, 900, 375};
constexpr Place kOpenButton{1300, 5400, 900, 375};
constexpr Place kSaveButton{2350, 5400, 900, 375};
constexpr Place kAdjustButton{3400, 5400, 900, 375};
constexpr Place kHintLabel{4800, 5520, 5670, 180};
// Where the in-cell editors start out; each is moved over its cell when it
// opens.
constexpr Place kPointCellEditor{3000, 1080, 615, 270};
constexpr Place kObservationCellEditor{1800, 4080, 735, 270};

void place(QWidget* widget, const Place& p) {
  widget->setGeometry(pixelsX(p.left), pixelsY(p.top), pixelsX(p.width), pixelsY(p.height));
}

// A label sized to its caption, with its top-left corner at the given place.
void placeAutoSize(QLabel* label, const Place& p) {
  label->move(pixelsX(p.left), pixelsY(p.top));
  label->adjustSize();
}

struct Column {
  const char* header;
  int width;  // twips
};
constexpr Column kPointColumns[] = {{"序号", 600}, {"点号", 600}, {"高程(m)", 1000}};
constexpr Column kObservationColumns[] = {
    {"序号", 500}, {"起点", 600}, {"终点", 600}, {"观测值(m)", 1000}, {"水准路线长度(km)", 1500}};

constexpr int kMinimumRowHeight = 270;  // twips
// Every column's texts, headers and row numbers included.
constexpr Qt::Alignment kColumnAlignment = Qt::AlignHCenter | Qt::AlignTop;

// Writes the header row through the current cell, which is left on the
// header of the last column, then sets widths, row height and alignment.
template <std::size_t N>
void formatTable(CellGrid& grid, const Column (&columns)[N]) {
  for (int k = 0; k < static_cast<int>(N); ++k) {
    grid.setCurrentColumn(k);
    grid.setCurrentRow(0);
    grid.setCurrentText(QString::fromUtf8(columns[k].header));
  }
  for (int k = 0; k < static_cast<int>(N); ++k) grid.setColumnWidth(k, columns[k].width);
  grid.setMinimumRowHeight(kMinimumRowHeight);
  for (int k = 0; k < static_cast<int>(N); ++k) grid.setColumnAlignment(k, kColumnAlignment);
}

QString fieldCaption(const QLabel* label) {
  QString caption = label->text();
  if (caption.endsWith(u':')) caption.chop(1);
  return caption;
}

}  // namespace

MainWindow::MainWindow(FileDialogs* dialogs, MessageBoxes* boxes, QWidget* parent) : QWidget(parent) {
  if (dialogs == nullptr) {
    ownDialogs_ = std::make_unique<QtFileDialogs>();
    dialogs = ownDialogs_.get();
  }
  if (boxes == nullptr) {
    ownBoxes_ = std::make_unique<QtMessageBoxes>();
    boxes = ownBoxes_.get();
  }
  dialogs_ = dialogs;
  boxes_ = boxes;
  createWidgets();
  connectSignals();
  setupTables();
  knownCountEdit->setFocus(Qt::OtherFocusReason);  // typing a network begins with 已知点
}

MainWindow::~MainWindow() = default;

void MainWindow::createWidgets() {
  setWindowTitle(kTitle);
  setFont(songFont(9));
  setFixedSize(pixelsX(kClientWidth), pixelsY(kClientHeight));

  countsFrame = new QGroupBox(this);
  place(countsFrame, kCountsFrame);
  const char* captions[4] = {"已知点:", "待定点:", "观测值:", "单位权长度:"};
  for (int i = 0; i < 4; ++i) {
    countLabels[i] = new QLabel(QString::fromUtf8(captions[i]), countsFrame);
    placeAutoSize(countLabels[i], kCountLabels[i]);
  }
  knownCountEdit = new KeyedLineEdit(countsFrame);
  place(knownCountEdit, kKnownCountEdit);
  unknownCountEdit = new KeyedLineEdit(countsFrame);
  place(unknownCountEdit, kUnknownCountEdit);
  observationCountEdit = new KeyedLineEdit(countsFrame);
  place(observationCountEdit, kObservationCountEdit);
  unitLengthEdit = new KeyedLineEdit(countsFrame);
  place(unitLengthEdit, kUnitLengthEdit);

  pointTable = new CellGrid(2, static_cast<int>(std::size(kPointColumns)), this);
  place(pointTable, kPointTable);
  observationTable = new CellGrid(2, static_cast<int>(std::size(kObservationColumns)), this);
  place(observationTable, kObservationTable);

  reportView = new QPlainTextEdit(this);
  place(reportView, kReportView);
  reportView->setFont(reportFont());
  reportView->setLineWrapMode(QPlainTextEdit::NoWrap);
  reportView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView->setTabChangesFocus(true);
  // The report is a result: it can be selected and copied, never edited.
  reportView->setReadOnly(true);
  reportView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  newButton = new QPushButton(QStringLiteral("新建(&N)"), this);
  place(newButton, kNewButton);
  openButton = new QPushButton(QStringLiteral("打开(&O)"), this);
  place(openButton, kOpenButton);
  saveButton = new QPushButton(QStringLiteral("保存(&S)"), this);
  place(saveButton, kSaveButton);
  adjustButton = new QPushButton(QStringLiteral("平差(&R)"), this);
  place(adjustButton, kAdjustButton);
  // The access keys marked by "&" in the captions. Qt derives them from the
  // caption only where the platform uses mnemonics; set them everywhere.
  const Qt::Key accessKeys[] = {Qt::Key_N, Qt::Key_O, Qt::Key_S, Qt::Key_R};
  QPushButton* buttons[] = {newButton, openButton, saveButton, adjustButton};
  for (int i = 0; i < 4; ++i) {
    buttons[i]->setAutoDefault(false);
    buttons[i]->setShortcut(QKeySequence(Qt::ALT | accessKeys[i]));
  }
  // The shortcuts every editor has, besides the access keys.
  const struct {
    Qt::Key key;
    void (MainWindow::*command)();
  } shortcuts[] = {{Qt::Key_N, &MainWindow::onNew}, {Qt::Key_O, &MainWindow::onOpen}, {Qt::Key_S, &MainWindow::onSave}};
  for (const auto& s : shortcuts)
    connect(new QShortcut(QKeySequence(Qt::CTRL | s.key), this), &QShortcut::activated, this, s.command);
  // A .pc file dropped on the window opens as Open would open it.
  setAcceptDrops(true);

  hintLabel = new QLabel(QStringLiteral("输入数值后按回车逐格前进；输完后按“平差”计算。"), this);
  placeAutoSize(hintLabel, kHintLabel);

  // The editors are created last so they lie in front of the tables.
  pointCellEditor = new KeyedLineEdit(this);
  place(pointCellEditor, kPointCellEditor);
  pointCellEditor->hide();
  observationCellEditor = new KeyedLineEdit(this);
  place(observationCellEditor, kObservationCellEditor);
  observationCellEditor->hide();

  // The Tab order: 已知点, the two tables, the four commands and the report,
  // then 待定点, 观测值, 单位权长度 and the in-cell editors (skipped while
  // hidden). The count fields are walked by Enter, so from 单位权长度 two Tabs
  // lead round to the points table.
  QWidget* order[] = {knownCountEdit, pointTable,      observationTable,     newButton,        openButton,
                      saveButton,     adjustButton,    reportView,           unknownCountEdit, observationCountEdit,
                      unitLengthEdit, pointCellEditor, observationCellEditor};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  pointEditing_ = std::make_unique<CellEditing>(*pointTable, *pointCellEditor, [this] { markModified(); });
  observationEditing_ =
      std::make_unique<CellEditing>(*observationTable, *observationCellEditor, [this] { markModified(); });
  updateTitle();
}

void MainWindow::connectSignals() {
  connect(newButton, &QPushButton::clicked, this, &MainWindow::onNew);
  connect(openButton, &QPushButton::clicked, this, &MainWindow::onOpen);
  connect(saveButton, &QPushButton::clicked, this, &MainWindow::onSave);
  connect(adjustButton, &QPushButton::clicked, this, &MainWindow::onAdjust);
  connect(knownCountEdit, &KeyedLineEdit::characterTyped, this, &MainWindow::onKnownCountKey);
  connect(unknownCountEdit, &KeyedLineEdit::characterTyped, this, &MainWindow::onUnknownCountKey);
  connect(observationCountEdit, &KeyedLineEdit::characterTyped, this, &MainWindow::onObservationCountKey);
  for (KeyedLineEdit* field : {knownCountEdit, unknownCountEdit, observationCountEdit, unitLengthEdit})
    connect(field, &QLineEdit::textEdited, this, [this] { markModified(); });
  connectCellEditing(pointTable, pointCellEditor, pointEditing_.get());
  connectCellEditing(observationTable, observationCellEditor, observationEditing_.get());
}

void MainWindow::connectCellEditing(CellGrid* table, KeyedLineEdit* editor, CellEditing* editing) {
  connect(table, &CellGrid::characterTyped, this, [editing](int& code) { editing->onTableCharacter(code); });
  connect(table, &CellGrid::pressed, this, [editing] { editing->onTablePressed(); });
  connect(table, &CellGrid::currentCellChanged, this, [editing] { editing->onCurrentCellChanged(); });
  connect(table, &CellGrid::deletePressed, this, [editing] { editing->onTableDelete(); });
  connect(editor, &KeyedLineEdit::characterTyped, this, [editing](int& code) { editing->onEditorCharacter(code); });
  connect(editor, &KeyedLineEdit::verticalKey, this, [editing](int step) { editing->onEditorVertical(step); });
  connect(editor, &KeyedLineEdit::focusLost, this, [editing] { editing->onEditorFocusLost(); });
}

// Closing goes on only when nothing unsaved would be lost: a cancelled
// question, a cancelled or failed save keeps the window open with its data.
void MainWindow::closeEvent(QCloseEvent* event) {
  commitEditors();
  if (confirmDiscardOrSave())
    event->accept();
  else
    event->ignore();
}

void MainWindow::setupTables() {
  formatTable(*pointTable, kPointColumns);
  formatTable(*observationTable, kObservationColumns);
}

bool MainWindow::confirmDiscardOrSave() { return offerToSave(SaveQuestion::closing); }

bool MainWindow::offerToSave(SaveQuestion kind) {
  if (!modified_) return true;
  const bool closing = kind == SaveQuestion::closing;
  switch (boxes_->askToSave(this, closing ? kExitTitle : kTitle, closing ? kExitQuestion : kReplaceQuestion, kind)) {
    case SaveAnswer::save:
      return saveWithDialog();
    case SaveAnswer::discard:
      return true;
    case SaveAnswer::cancel:
      break;
  }
  return false;
}

void MainWindow::commitEditors() {
  pointEditing_->commitEditor();
  observationEditing_->commitEditor();
}

void MainWindow::markModified() { setModified(true); }

void MainWindow::setModified(bool modified) {
  if (modified_ == modified) return;
  modified_ = modified;
  updateTitle();
}

// The title names the current file (or 未命名) and ends in "*" while the
// window holds changes not yet saved.
void MainWindow::updateTitle() {
  setWindowTitle(kTitle + QStringLiteral(" - [") + (currentFile_.isEmpty() ? kUntitled : currentFile_) +
                 QStringLiteral("]") + (modified_ ? QStringLiteral("*") : QString()));
}

ParameterFields MainWindow::fields() const {
  return {knownCountEdit->text().toStdString(), unknownCountEdit->text().toStdString(),
          observationCountEdit->text().toStdString(), unitLengthEdit->text().toStdString()};
}

void MainWindow::warn(const QString& text) { boxes_->warn(this, kTitle, text); }

// ---- commands ----

void MainWindow::onNew() {
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;  // the data were not saved: keep them
  // An editor left open would hold a header text after setupTables, and
  // Enter in it would write that into the new empty table.
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  knownCountEdit->setFocus(Qt::OtherFocusReason);
  for (KeyedLineEdit* field : {knownCountEdit, unknownCountEdit, observationCountEdit, unitLengthEdit})
    field->setText(QString());
  for (CellGrid* grid : {pointTable, observationTable}) {
    grid->setRowCount(2);
    grid->clearAllCells();
  }
  reportView->setPlainText(QString());
  setupTables();
  for (CellGrid* grid : {pointTable, observationTable}) grid->setCurrentCellUserPlaced(false);
  // A new network has no file yet: Save asks for a name.
  currentFile_.clear();
  dialogFileName_.clear();
  modified_ = false;
  updateTitle();
}

namespace {

// The one local file a drag carries, or nothing.
std::optional<QString> droppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  return url.toLocalFile();
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedFile(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = droppedFile(event->mimeData());
  if (!path) return;
  event->acceptProposedAction();
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;
  dialogFileName_ = *path;
  openFile(*path);
}

void MainWindow::onOpen() {
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;
  const std::optional<QString> chosen = dialogs_->openFileName(this, kFilter, dialogFileName_);
  if (!chosen) return;
  dialogFileName_ = *chosen;
  openFile(*chosen);
}

bool MainWindow::openFile(const QString& path) {
  const QString fullPath = QFileInfo(path).absoluteFilePath();
  ProjectData data;
  try {
    data = readProjectFile(QFile::encodeName(fullPath).toStdString());
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("文件“%1”：内存不足，无法打开。").arg(fullPath));
    return false;
  } catch (const std::exception& e) {
    warn(QString::fromStdString(e.what()));
    return false;
  }
  if (data.points.size() >= kMaxTableRows || data.observations.size() >= kMaxTableRows) {
    warn(QStringLiteral("文件 %1 有 %2 个点、%3 个观测值；每个表格最多 %4 行数据，文件未打开。")
             .arg(fullPath)
             .arg(data.points.size())
             .arg(data.observations.size())
             .arg(kMaxTableRows - 1));
    return false;
  }
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  currentFile_ = fullPath;
  modified_ = false;
  updateTitle();
  reportView->setPlainText(QString());
  ParameterFields loaded;
  applyProject(data, loaded, *pointTable, *observationTable);
  knownCountEdit->setText(QString::fromStdString(loaded.known));
  unknownCountEdit->setText(QString::fromStdString(loaded.unknown));
  observationCountEdit->setText(QString::fromStdString(loaded.observations));
  unitLengthEdit->setText(QString::fromStdString(loaded.unitLength));
  for (CellGrid* grid : {pointTable, observationTable}) grid->setCurrentCellUserPlaced(false);
  // A file in UTF-8 is read as such, and the user is told: Save writes GBK.
  const std::string note = encodingNote(data, fullPath.toStdString());
  if (!note.empty()) warn(QString::fromStdString(note) + QStringLiteral("。"));
  return true;
}

void MainWindow::onSave() { saveWithDialog(); }

namespace {

// A new name typed without a suffix gets ".pc", so the file shows up under
// the dialog's filter next time; an existing name is used as it is.
QString withProjectSuffix(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() || !info.suffix().isEmpty()) return path;
  return path.endsWith(u'.') ? path + QStringLiteral("pc") : path + QStringLiteral(".pc");
}

}  // namespace

bool MainWindow::saveWithDialog() {
  commitEditors();
  const std::optional<QString> typed = dialogs_->saveFileName(this, kFilter, dialogFileName_);
  if (!typed) return false;
  const QString chosen = withProjectSuffix(*typed);
  dialogFileName_ = chosen;
  try {
    writeProjectFile(QFile::encodeName(chosen).toStdString(), fields(), *pointTable, *observationTable);
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("无法保存到“%1”：内存不足。").arg(chosen));
    return false;
  } catch (const std::exception& e) {
    warn(QString::fromStdString(e.what()));
    return false;
  }
  currentFile_ = QFileInfo(chosen).absoluteFilePath();
  modified_ = false;
  updateTitle();
  return true;
}

void MainWindow::onAdjust() {
  commitEditors();
  reportView->setPlainText(QString());
  if (knownCountEdit->text().isEmpty()) return;
  AdjustmentOutcome outcome;
  StringSink report;
  try {
    outcome = adjustNetwork(fields(), *pointTable, *observationTable, report);
  } catch (const InputError& e) {
    warn(QString::fromStdString(e.what()));
    return;
  } catch (const std::bad_alloc&) {
    warn(QStringLiteral("内存不足：平差未能完成。"));
    return;
  } catch (const std::exception& e) {
    warn(QStringLiteral("平差未能完成：") + QString::fromStdString(e.what()));
    return;
  }
  // A point typed twice is not refused (observations refer to its first
  // row), but the user hears of it before reading the report.
  if (!outcome.duplicateNames.empty()) {
    constexpr std::size_t kListed = 20;
    QString text = QStringLiteral("点名重复：");
    for (std::size_t i = 0; i < outcome.duplicateNames.size() && i < kListed; ++i)
      text += QStringLiteral("\n") + QString::fromStdString(duplicateNameWarning(outcome.duplicateNames[i]));
    if (outcome.duplicateNames.size() > kListed)
      text += QStringLiteral("\n……另有 %1 处未列出").arg(outcome.duplicateNames.size() - kListed);
    warn(text);
  }
  // The run took the empty elevation cells as 0; the table shows it.
  for (int row : outcome.emptyElevationRows) pointTable->setCellText(row, 2, QStringLiteral("0"));
  // The report's lines end in CR LF; the view keeps lines, not line ends.
  reportView->setPlainText(QString::fromStdString(report.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  reportView->moveCursor(QTextCursor::Start);
  reportView->verticalScrollBar()->setValue(0);
  reportView->horizontalScrollBar()->setValue(0);
}

// ---- count fields ----

bool MainWindow::sizeTable(CellGrid& table, KeyedLineEdit& countField, KeyedLineEdit* extraField) {
  double count = 0;
  for (KeyedLineEdit* field : {&countField, extraField}) {
    if (field == nullptr) continue;
    const QLabel* label = countLabels[field == knownCountEdit ? 0 : field == unknownCountEdit ? 1 : 2];
    if (field->text().isEmpty()) {
      warn(QStringLiteral("“%1”为空：请先输入个数，再按回车。").arg(fieldCaption(label)));
      return false;
    }
    const std::optional<double> value = parseNumber(field->text().toStdString());
    if (!value) {
      warn(QStringLiteral("“%1”中的“%2”不是数字：请输入个数，再按回车。").arg(fieldCaption(label), field->text()));
      return false;
    }
    count += *value;
  }
  const QString what = extraField != nullptr ? QStringLiteral("“待定点”与“已知点”合计的点数")
                                             : QStringLiteral("“%1”的个数").arg(fieldCaption(countLabels[2]));
  const TableRowCount sized = tableRowsFor(count);
  const int rows = sized.rows;
  switch (sized.status) {
    case TableRows::tooFew:
      warn(QStringLiteral("%1 %2 太小：表格连标题行都保留不了，表格未改变。")
               .arg(what, QString::fromStdString(numberText(count))));
      return false;
    case TableRows::tooMany:
      warn(QStringLiteral("%1 %2 太大：每个表格最多 %3 行数据，表格未改变。")
               .arg(what, QString::fromStdString(numberText(count)))
               .arg(kMaxTableRows - 1));
      return false;
    case TableRows::ok:
      break;
  }
  table.setRowCount(rows);
  for (int i = 1; i <= count; ++i) {
    table.setCurrentColumn(0);
    table.setCurrentRow(i);
    table.setCurrentText(QString::number(i));
  }
  // Typing the table begins at its first data cell.
  if (table.rowCount() > table.headerRowCount()) {
    table.setCurrentRow(table.headerRowCount());
    table.setCurrentColumn(table.headerColumnCount());
  }
  table.setCurrentCellUserPlaced(false);
  return true;
}

void MainWindow::onKnownCountKey(int& code) {
  if (code == kEnterCode) unknownCountEdit->setFocus(Qt::OtherFocusReason);
}

void MainWindow::onUnknownCountKey(int& code) {
  if (code != kEnterCode) return;
  // 待定点 is read first, then 已知点: a fault in 待定点 is the one reported.
  if (sizeTable(*pointTable, *unknownCountEdit, knownCountEdit)) {
    observationCountEdit->setFocus(Qt::OtherFocusReason);
  } else {
    unknownCountEdit->setFocus(Qt::OtherFocusReason);
  }
}

void MainWindow::onObservationCountKey(int& code) {
  if (code != kEnterCode) return;
  if (sizeTable(*observationTable, *observationCountEdit, nullptr)) {
    unitLengthEdit->setFocus(Qt::OtherFocusReason);
  } else {
    observationCountEdit->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace levelnet::ui
