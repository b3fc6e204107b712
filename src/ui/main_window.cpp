#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>

#include "adjust/adjustment_run.h"
#include "adjust/results_export.h"
#include "adjust/results_table.h"
#include "fieldbook/import.h"
#include "network/errors.h"
#include "network/gbk.h"
#include "network/number_text.h"
#include "network/project_file.h"
#include "network/safe_file.h"
#include "print/report_document.h"
#include "ui/background_task.h"
#include "ui/cell_grid.h"
#include "ui/chinese_ui.h"
#include "ui/dialogs.h"
#include "ui/key_codes.h"
#include "ui/keyed_line_edit.h"
#include "ui/report_preview.h"
#include "ui/results_view.h"
#include "ui/table_rows.h"
#include "ui/twips.h"

#ifdef LEVELNET_WITH_CHECK
#include "check/network_check.h"
#endif

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
constexpr int kInputPaneWidth = 4680;      // the input, left of the report
constexpr int kReportMinimumWidth = 3000;  // what widening the input leaves the report
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
// Where the in-cell editors start out; each is moved over its cell when it
// opens.
constexpr Place kPointCellEditor{3000, 1080, 615, 270};
constexpr Place kObservationCellEditor{1800, 4080, 735, 270};

// Puts `widget` at its place, moved down by `down` and grown by `wider` and
// `taller` pixels.
void place(QWidget* widget, const Place& p, int down = 0, int wider = 0, int taller = 0) {
  widget->setGeometry(pixelsX(p.left), pixelsY(p.top) + down, pixelsX(p.width) + wider, pixelsY(p.height) + taller);
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

MainWindow::MainWindow(FileDialogs* dialogs, MessageBoxes* boxes, QWidget* parent) : QMainWindow(parent) {
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
  undoStack_ = new QUndoStack(this);
  createWidgets();
  createMenus();
  connectSignals();
  setupTables();
  restoreSettings();
  knownCountEdit->setFocus(Qt::OtherFocusReason);  // typing a network begins with 已知点
}

MainWindow::~MainWindow() = default;

void MainWindow::createWidgets() {
  setWindowTitle(kTitle);
  setFont(songFont(9));

  mainSplitter = new QSplitter(Qt::Horizontal, this);
  mainSplitter->setChildrenCollapsible(false);
  setCentralWidget(mainSplitter);

  // The input keeps the places and sizes it was designed with; when the pane
  // grows, the tables grow with it (layoutInputPane).
  inputPane = new QWidget(mainSplitter);
  inputPane->setMinimumSize(pixelsX(kInputPaneWidth), pixelsY(kClientHeight));
  inputPane->installEventFilter(this);
  QWidget* pane = inputPane;

  countsFrame = new QGroupBox(pane);
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

  pointTable = new CellGrid(2, static_cast<int>(std::size(kPointColumns)), pane);
  place(pointTable, kPointTable);
  observationTable = new CellGrid(2, static_cast<int>(std::size(kObservationColumns)), pane);
  place(observationTable, kObservationTable);

  newButton = new QPushButton(QStringLiteral("新建(&N)"), pane);
  place(newButton, kNewButton);
  openButton = new QPushButton(QStringLiteral("打开(&O)"), pane);
  place(openButton, kOpenButton);
  saveButton = new QPushButton(QStringLiteral("保存(&S)"), pane);
  place(saveButton, kSaveButton);
  adjustButton = new QPushButton(QStringLiteral("平差(&R)"), pane);
  place(adjustButton, kAdjustButton);
  // The access keys marked by "&" in the captions. Qt derives them from the
  // caption only where the platform uses mnemonics; set them everywhere.
  const Qt::Key accessKeys[] = {Qt::Key_N, Qt::Key_O, Qt::Key_S, Qt::Key_R};
  QPushButton* buttons[] = {newButton, openButton, saveButton, adjustButton};
  for (int i = 0; i < 4; ++i) {
    buttons[i]->setAutoDefault(false);
    buttons[i]->setShortcut(QKeySequence(Qt::ALT | accessKeys[i]));
  }
  // A .pc file dropped on the window opens as Open would open it.
  setAcceptDrops(true);

  // The editors are created last so they lie in front of the tables.
  pointCellEditor = new KeyedLineEdit(pane);
  place(pointCellEditor, kPointCellEditor);
  pointCellEditor->hide();
  observationCellEditor = new KeyedLineEdit(pane);
  place(observationCellEditor, kObservationCellEditor);
  observationCellEditor->hide();

  auto* resultPane = new QWidget(mainSplitter);
  createResultTabs(resultPane);
  // The tabs' controls may be squeezed so the input can take the room its
  // columns need; the report stays readable.
  resultPane->setMinimumWidth(pixelsX(kReportMinimumWidth));
  mainSplitter->addWidget(inputPane);
  mainSplitter->addWidget(resultPane);
  mainSplitter->setStretchFactor(0, 0);
  mainSplitter->setStretchFactor(1, 1);
  mainSplitter->setSizes({pixelsX(kInputPaneWidth), pixelsX(kClientWidth - kInputPaneWidth)});

  // The Tab order: 已知点, the two tables, the four commands and the report,
  // then 待定点, 观测值, 单位权长度 and the in-cell editors (skipped while
  // hidden). The count fields are walked by Enter, so from 单位权长度 two Tabs
  // lead round to the points table. The controls of the other tabs follow
  // the editors and are skipped while their tab is hidden; the tab bar takes
  // the focus by click only (Ctrl+Tab switches tabs).
  QWidget* order[] = {knownCountEdit, pointTable,      observationTable,     newButton,        openButton,
                      saveButton,     adjustButton,    reportView,           unknownCountEdit, observationCountEdit,
                      unitLengthEdit, pointCellEditor, observationCellEditor};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  pointEditing_ = std::make_unique<CellEditing>(
      *pointTable, *pointCellEditor, [this](int row, int column, const QString& before, const QString& after) {
        cellEdited(*pointTable, row, column, before, after);
      });
  observationEditing_ =
      std::make_unique<CellEditing>(*observationTable, *observationCellEditor,
                                    [this](int row, int column, const QString& before, const QString& after) {
                                      cellEdited(*observationTable, row, column, before, after);
                                    });
  // The window opens in the size it was designed with, menu bar added.
  resize(pixelsX(kClientWidth), pixelsY(kClientHeight) + menuBar()->sizeHint().height());
  updateTitle();
}

void MainWindow::createResultTabs(QWidget* pane) {
  auto* layout = new QVBoxLayout(pane);
  layout->setContentsMargins(0, pixelsY(kReportView.top) - 4,
                             pixelsX(kClientWidth - kReportView.left - kReportView.width), 4);
  resultTabs = new QTabWidget(pane);
  resultTabs->tabBar()->setFocusPolicy(Qt::ClickFocus);
  layout->addWidget(resultTabs, 1);

  reportView = new QPlainTextEdit(resultTabs);
  reportView->setFont(reportFont());
  reportView->setLineWrapMode(QPlainTextEdit::NoWrap);
  reportView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  reportView->setTabChangesFocus(true);
  // The report is a result: it can be selected and copied, never edited.
  reportView->setReadOnly(true);
  reportView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  resultTabs->addTab(reportView, QStringLiteral("报告"));

  resultsPanel = new ResultsPanel(resultTabs);
  resultTabs->addTab(resultsPanel, QStringLiteral("成果表"));

  auto* checkPage = new QWidget(resultTabs);
  auto* checkLayout = new QVBoxLayout(checkPage);
  checkLayout->setContentsMargins(4, 4, 4, 4);
  auto* options = new QHBoxLayout;
  gradeBox = new QComboBox(checkPage);
  gradeBox->addItems({QStringLiteral("不指定"), QStringLiteral("二等"), QStringLiteral("三等"), QStringLiteral("四等"),
                      QStringLiteral("等外")});
  terrainBox = new QComboBox(checkPage);
  terrainBox->addItems({QStringLiteral("平原"), QStringLiteral("山区")});
  sigmaEdit = new QLineEdit(checkPage);
  sigmaEdit->setPlaceholderText(QStringLiteral("不指定"));
  sigmaEdit->setMaximumWidth(pixelsX(1000));
  checkButton = new QPushButton(QStringLiteral("检核"), checkPage);
  checkButton->setAutoDefault(false);
  const struct {
    const char* caption;
    QWidget* field;
  } fields[] = {{"等级:", gradeBox}, {"地形:", terrainBox}, {"每公里中误差 σ (mm):", sigmaEdit}};
  for (const auto& f : fields) {
    auto* label = new QLabel(QString::fromUtf8(f.caption), checkPage);
    label->setBuddy(f.field);
    options->addWidget(label);
    options->addWidget(f.field);
  }
  options->addStretch(1);
  options->addWidget(checkButton);
  checkLayout->addLayout(options);
  checkView = new QPlainTextEdit(checkPage);
  checkView->setFont(reportFont());
  checkView->setLineWrapMode(QPlainTextEdit::NoWrap);
  checkView->setReadOnly(true);
  checkView->setPlaceholderText(QStringLiteral("选择等级后按“检核”：闭合差、χ² 检验、粗差探测和可发现的最小粗差。"));
  checkLayout->addWidget(checkView, 1);
  resultTabs->addTab(checkPage, QStringLiteral("检核"));

  hintLabel = new QLabel(QStringLiteral("输入数值后按回车逐格前进；输完后按“平差”计算。"), pane);
  layout->addWidget(hintLabel);
}

void MainWindow::createMenus() {
  const auto action = [this](QMenu* menu, const QString& text, auto slot, QKeySequence keys = {}) {
    QAction* a = menu->addAction(text);
    if (!keys.isEmpty()) a->setShortcut(keys);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
  newAction = action(file, QStringLiteral("新建"), &MainWindow::onNew, QKeySequence(Qt::CTRL | Qt::Key_N));
  openAction = action(file, QStringLiteral("打开…"), &MainWindow::onOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
  saveAction = action(file, QStringLiteral("保存…"), &MainWindow::onSave, QKeySequence(Qt::CTRL | Qt::Key_S));
  saveAsAction =
      action(file, QStringLiteral("另存为…"), &MainWindow::onSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  recentMenu = file->addMenu(QStringLiteral("最近打开的文件"));
  file->addSeparator();
  importAction = action(file, QStringLiteral("导入观测手簿…"), &MainWindow::onImportFieldBook);
  file->addSeparator();
  saveReportAction = action(file, QStringLiteral("保存报告…"), &MainWindow::onSaveReport);
  exportResultsAction = action(file, QStringLiteral("导出成果表…"), &MainWindow::onExportResults);
  exportPdfAction = action(file, QStringLiteral("导出 PDF…"), &MainWindow::onExportPdf);
  printAction = action(file, QStringLiteral("打印…"), &MainWindow::onPrint, QKeySequence(Qt::CTRL | Qt::Key_P));
  file->addSeparator();
  quitAction = action(file, QStringLiteral("退出"), &MainWindow::close, QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
  undoAction = action(edit, QStringLiteral("撤销"), &MainWindow::onUndo, QKeySequence(Qt::CTRL | Qt::Key_Z));
  redoAction = action(edit, QStringLiteral("重做"), &MainWindow::onRedo, QKeySequence(Qt::CTRL | Qt::Key_Y));
  undoAction->setEnabled(false);
  redoAction->setEnabled(false);
  connect(undoStack_, &QUndoStack::canUndoChanged, undoAction, &QAction::setEnabled);
  connect(undoStack_, &QUndoStack::canRedoChanged, redoAction, &QAction::setEnabled);

  QMenu* adjust = menuBar()->addMenu(QStringLiteral("平差(&A)"));
  adjustAction = action(adjust, QStringLiteral("平差"), &MainWindow::onAdjust, QKeySequence(Qt::Key_F5));
  checkAction = action(adjust, QStringLiteral("检核"), &MainWindow::onCheck, QKeySequence(Qt::Key_F6));

  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
  helpAction = action(help, QStringLiteral("使用说明"), &MainWindow::showHelp, QKeySequence(Qt::Key_F1));
  aboutAction = action(help, QStringLiteral("关于"), &MainWindow::showAbout);
  updateRecentMenu();
}

void MainWindow::connectSignals() {
  connect(newButton, &QPushButton::clicked, this, &MainWindow::onNew);
  connect(openButton, &QPushButton::clicked, this, &MainWindow::onOpen);
  connect(saveButton, &QPushButton::clicked, this, &MainWindow::onSave);
  connect(adjustButton, &QPushButton::clicked, this, &MainWindow::onAdjust);
  connect(checkButton, &QPushButton::clicked, this, &MainWindow::onCheck);
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
  if (busy_) {  // the work under way reads the tables; 取消 it first
    event->ignore();
    return;
  }
  commitEditors();
  if (confirmDiscardOrSave()) {
    saveSettings();
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  widenInputForTables();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == inputPane && event->type() == QEvent::Resize) layoutInputPane();
  return QMainWindow::eventFilter(watched, event);
}

// The fields and buttons keep their places; the tables take what the pane
// has beyond its designed size, the points table a third of the height.
void MainWindow::layoutInputPane() {
  commitEditors();  // an open editor would be left over a cell that moved
  const int wider = std::max(0, inputPane->width() - pixelsX(kInputPaneWidth));
  const int taller = std::max(0, inputPane->height() - pixelsY(kClientHeight));
  const int pointsTaller = taller / 3;
  place(pointTable, kPointTable, 0, wider, pointsTaller);
  place(observationTable, kObservationTable, pointsTaller, wider, taller - pointsTaller);
  place(newButton, kNewButton, taller);
  place(openButton, kOpenButton, taller);
  place(saveButton, kSaveButton, taller);
  place(adjustButton, kAdjustButton, taller);
}

void MainWindow::setupTables() {
  formatTable(*pointTable, kPointColumns);
  formatTable(*observationTable, kObservationColumns);
}

namespace {

constexpr int kCellPaddingPx = 14;  // the cell's margins and grid line

template <std::size_t N>
int designedWidth(const Column (&columns)[N], int column) {
  return column < static_cast<int>(N) ? columns[column].width : 0;
}

}  // namespace

void MainWindow::fitColumns(CellGrid& table, int row) {
  const QFontMetrics metrics(table.font());
  const bool points = &table == pointTable;
  const int first = row < 0 ? 0 : row;
  const int last = row < 0 ? table.rowCount() - 1 : row;
  for (int column = 0; column < table.columnCount(); ++column) {
    int widest = 0;
    for (int r = first; r <= last && r < table.rowCount(); ++r)
      widest = std::max(widest, metrics.horizontalAdvance(table.cellText(r, column)));
    const int needed = twipsX(widest + kCellPaddingPx);
    const int designed = points ? designedWidth(kPointColumns, column) : designedWidth(kObservationColumns, column);
    // Measuring one row only widens; measuring all may also give back room.
    const int width = row < 0 ? std::max(designed, needed) : std::max(table.columnWidth(column), needed);
    if (width != table.columnWidth(column)) table.setColumnWidth(column, width);
  }
  widenInputForTables();
}

// Gives the input pane the width its tables' columns need, as far as the
// window has room beside a usable report; never narrows it.
void MainWindow::widenInputForTables() {
  // The designed pane fits the designed columns; it grows by what the
  // columns grew beyond them.
  int grown = 0;
  for (const CellGrid* table : {pointTable, observationTable}) {
    const bool points = table == pointTable;
    int extra = 0;
    for (int c = 0; c < table->columnCount(); ++c)
      extra +=
          table->columnWidth(c) - (points ? designedWidth(kPointColumns, c) : designedWidth(kObservationColumns, c));
    grown = std::max(grown, extra);
  }
  // Widened tables also make room for their vertical scroll bar, which the
  // designed widths leave out.
  const int needed =
      pixelsX(kInputPaneWidth + grown) + (grown > 0 ? style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 0);
  // The splitter has its sizes only once the window is shown and laid out:
  // the width is given after the events now pending.
  QTimer::singleShot(0, this, [this, needed] {
    if (isVisible()) giveInputWidth(needed);
  });
}

void MainWindow::giveInputWidth(int needed) {
  const QList<int> sizes = mainSplitter->sizes();
  if (sizes.size() != 2 || sizes[0] >= needed) return;
  const int total = sizes[0] + sizes[1];
  const int left = std::min(needed, total - pixelsX(kReportMinimumWidth));
  if (left > sizes[0]) mainSplitter->setSizes({left, total - left});
}

namespace {

// One cell edit for undo: the text before and after.
class CellEditCommand : public QUndoCommand {
 public:
  CellEditCommand(CellGrid& table, int row, int column, QString before, QString after, std::function<void()> changed)
      : table_(table),
        row_(row),
        column_(column),
        before_(std::move(before)),
        after_(std::move(after)),
        changed_(std::move(changed)) {
    setText(QStringLiteral("编辑单元格"));
  }
  // The edit is already in the cell when the command is pushed.
  void redo() override {
    if (pushed_) set(after_);
    pushed_ = true;
  }
  void undo() override { set(before_); }

 private:
  void set(const QString& text) {
    if (row_ >= table_.rowCount() || column_ >= table_.columnCount()) return;
    table_.setCellText(row_, column_, text);
    changed_();
  }
  CellGrid& table_;
  int row_, column_;
  QString before_, after_;
  std::function<void()> changed_;
  bool pushed_ = false;
};

}  // namespace

void MainWindow::cellEdited(CellGrid& table, int row, int column, const QString& before, const QString& after) {
  markModified();
  fitColumns(table, row);
  CellGrid* grid = &table;
  undoStack_->push(new CellEditCommand(table, row, column, before, after, [this, grid, row] {
    markModified();
    fitColumns(*grid, row);
  }));
}

void MainWindow::onUndo() {
  commitEditors();
  undoStack_->undo();
}

void MainWindow::onRedo() {
  commitEditors();
  undoStack_->redo();
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

void MainWindow::markModified() {
  setModified(true);
  // The 成果表 and the report stay in view but are no longer of these data.
  if (resultsCurrent_ || checkCurrent_) {
    resultsCurrent_ = false;
    checkCurrent_ = false;
    if (resultsTable_)
      resultsPanel->summaryLabel->setText(precisionSummaryText(resultsTable_->precision) +
                                          QStringLiteral("\n（数据已修改：此成果为修改前的平差结果，请重新平差。）"));
  }
}

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
  clearResults();
  fieldRecordsReport_.clear();
  undoStack_->clear();
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
  // Reading and splitting a large file takes a moment; the window paints meanwhile.
  const TaskResult read = runInBackground(this, QStringLiteral("正在打开 %1……").arg(fullPath), [&](const CancelFlag&) {
    data = readProjectFile(QFile::encodeName(fullPath).toStdString());
  });
  if (read.end != TaskEnd::finished) {
    try {
      if (read.error) std::rethrow_exception(read.error);
    } catch (const std::bad_alloc&) {
      warn(QStringLiteral("文件“%1”：内存不足，无法打开。").arg(fullPath));
    } catch (const std::exception& e) {
      warn(QString::fromStdString(e.what()));
    }
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
  showProject(data);
  rememberFile(fullPath);
  // A file in UTF-8 is read as such, and the user is told: Save writes GBK.
  const std::string note = encodingNote(data, fullPath.toStdString());
  if (!note.empty()) warn(QString::fromStdString(note) + QStringLiteral("。"));
  return true;
}

void MainWindow::showProject(const ProjectData& data) {
  reportView->setPlainText(QString());
  clearResults();
  fieldRecordsReport_.clear();
  undoStack_->clear();
  ParameterFields loaded;
  applyProject(data, loaded, *pointTable, *observationTable);
  knownCountEdit->setText(QString::fromStdString(loaded.known));
  unknownCountEdit->setText(QString::fromStdString(loaded.unknown));
  observationCountEdit->setText(QString::fromStdString(loaded.observations));
  unitLengthEdit->setText(QString::fromStdString(loaded.unitLength));
  for (CellGrid* grid : {pointTable, observationTable}) {
    grid->setCurrentCellUserPlaced(false);
    fitColumns(*grid);
  }
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
  rememberFile(currentFile_);
  return true;
}

void MainWindow::onSaveAs() {
  if (!currentFile_.isEmpty()) dialogFileName_ = currentFile_;
  saveWithDialog();
}

namespace {

// A copy of a table the worker thread may read while the window stays as it is.
MemoryTable snapshot(const CellGrid& grid) {
  MemoryTable copy(grid.cols(), grid.rows());
  for (int r = 0; r < grid.rows(); ++r)
    for (int c = 0; c < grid.cols(); ++c) copy.setText(r, c, grid.text(r, c));
  return copy;
}

// The message for work that ended in an exception.
QString failureText(const std::exception_ptr& error, const QString& task) {
  try {
    std::rethrow_exception(error);
  } catch (const Error& e) {
    return QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("内存不足：%1未能完成。").arg(task);
  } catch (const std::exception& e) {
    return QStringLiteral("%1未能完成：").arg(task) + QString::fromStdString(e.what());
  }
  return QStringLiteral("%1未能完成。").arg(task);
}

}  // namespace

void MainWindow::setBusy(bool busy) {
  busy_ = busy;
  centralWidget()->setEnabled(!busy);
  menuBar()->setEnabled(!busy);
  for (QAction* a : menuBar()->actions()) a->setEnabled(!busy);
  for (QAction* a :
       {newAction, openAction, saveAction, saveAsAction, importAction, saveReportAction, exportResultsAction,
        exportPdfAction, printAction, quitAction, adjustAction, checkAction, helpAction, aboutAction})
    a->setEnabled(!busy);
  undoAction->setEnabled(!busy && undoStack_->canUndo());
  redoAction->setEnabled(!busy && undoStack_->canRedo());
  if (busy)
    QApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QApplication::restoreOverrideCursor();
}

void MainWindow::onAdjust() {
  if (busy_) return;
  commitEditors();
  reportView->setPlainText(QString());
  if (knownCountEdit->text().isEmpty()) return;
  const ParameterFields input = fields();
  const MemoryTable points = snapshot(*pointTable);
  const MemoryTable observations = snapshot(*observationTable);
  AdjustmentOutcome outcome;
  std::shared_ptr<ResultsTable> table;
  std::unique_ptr<ReportPreviewSink> report;
  setBusy(true);
  const TaskResult run = runInBackground(this, QStringLiteral("正在平差……"), [&](const CancelFlag& cancel) {
    report = std::make_unique<ReportPreviewSink>(&cancel);
    outcome = adjustNetwork(input, points, observations, *report);
    stopIfCancelled(cancel);
    if (outcome.results) table = std::make_shared<ResultsTable>(makeResultsTable(*outcome.results));
  });
  setBusy(false);
  if (run.end == TaskEnd::cancelled) return;  // nothing shown, nothing changed
  if (run.end == TaskEnd::failed) {
    warn(failureText(run.error, QStringLiteral("平差")));
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
  if (!outcome.results) return;
  // The report's lines end in CR LF; the view keeps lines, not line ends.
  reportView->setPlainText(report->viewText());
  reportView->moveCursor(QTextCursor::Start);
  reportView->verticalScrollBar()->setValue(0);
  reportView->horizontalScrollBar()->setValue(0);
  results_ = outcome.results;
  resultsTable_ = std::move(table);
  resultsCurrent_ = true;
  resultsPanel->setTable(resultsTable_);
  checkCurrent_ = false;
}

void MainWindow::clearResults() {
  results_.reset();
  resultsTable_.reset();
  resultsCurrent_ = false;
  resultsPanel->setTable(nullptr);
  checkReport_.clear();
  checkCurrent_ = false;
  checkView->setPlainText(QString());
}

bool MainWindow::runBusy(const QString& label, const QString& task,
                         const std::function<void(const CancelFlag&)>& work) {
  setBusy(true);
  const TaskResult run = runInBackground(this, label, work);
  setBusy(false);
  if (run.end == TaskEnd::failed) warn(failureText(run.error, task));
  return run.end == TaskEnd::finished;
}

bool MainWindow::readyToDeliver() {
  if (busy_) return false;
  commitEditors();
  return requireCurrentResults();
}

bool MainWindow::requireCurrentResults() {
  if (resultsCurrent()) return true;
  warn(results_ ? QStringLiteral("数据在平差后已修改：请先按“平差”重新计算，再保存或输出成果。")
                : QStringLiteral("还没有平差结果：请先按“平差”计算。"));
  return false;
}

QString MainWindow::documentName() const {
  return currentFile_.isEmpty() ? kUntitled : QFileInfo(currentFile_).fileName();
}

namespace {

// The start of a dialog's name: the network's file with another suffix.
QString withSuffix(const QString& networkFile, const QString& suffix) {
  if (networkFile.isEmpty()) return QStringLiteral("成果") + suffix;
  const QFileInfo info(networkFile);
  return info.dir().filePath(info.completeBaseName() + suffix);
}

// Adds the suffix when the name typed has none.
QString ensureSuffix(const QString& path, const QString& suffix) {
  return QFileInfo(path).suffix().isEmpty() ? (path.endsWith(u'.') ? path.chopped(1) : path) + suffix : path;
}

}  // namespace

void MainWindow::onCheck() {
  if (busy_) return;
#ifdef LEVELNET_WITH_CHECK
  commitEditors();
  if (knownCountEdit->text().isEmpty()) {
    warn(QStringLiteral("还没有网：请先输入或打开一个水准网。"));
    return;
  }
  CheckOptions options;
  if (gradeBox->currentIndex() > 0) options.grade = gradeBox->currentText().toStdString();
  options.terrain = terrainBox->currentText().toStdString();
  const QString sigmaText = sigmaEdit->text().trimmed();
  if (!sigmaText.isEmpty()) {
    const std::optional<double> sigma = parseNumber(sigmaText.toStdString());
    if (!sigma || !(*sigma > 0) || *sigma > 1000) {
      warn(QStringLiteral("“每公里中误差 σ”中的“%1”不是大于 0 的毫米数。").arg(sigmaText));
      return;
    }
    options.sigmaGiven = true;
    options.sigmaKm = *sigma;
  }
  const ParameterFields input = fields();
  const MemoryTable points = snapshot(*pointTable);
  const MemoryTable observations = snapshot(*observationTable);
  const std::string name = documentName().toStdString();
  CheckOutcome outcome;
  setBusy(true);
  const TaskResult run = runInBackground(this, QStringLiteral("正在检核……"), [&](const CancelFlag&) {
    outcome = checkNetwork(gatherNetwork(input, points, observations), options, name);
  });
  setBusy(false);
  if (run.end == TaskEnd::cancelled) return;
  if (run.end == TaskEnd::failed) {
    warn(failureText(run.error, QStringLiteral("检核")));
    return;
  }
  checkReport_ = reportViewText(outcome.report);
  if (!fieldRecordsReport_.isEmpty())
    checkReport_ += QStringLiteral("\n观测手簿检核（导入时；此后对表格的修改不在其中）\n\n") + fieldRecordsReport_;
  // The 成果表 of the same data gets the check's r and w (τ).
  if (resultsCurrent()) {
    auto checked = std::make_shared<ResultsTable>(*resultsTable_);
    try {
      addCheckFigures(*checked, outcome.residuals);
      resultsTable_ = std::move(checked);
      resultsPanel->setTable(resultsTable_);
    } catch (const InputError&) {
      // Not the same observations: the 成果表 stays as the adjustment gave it.
    }
  }
  checkGrade_ = gradeBox->currentIndex() > 0 ? gradeBox->currentText() : QString();
  checkView->setPlainText(checkReport_);
  checkCurrent_ = true;
  resultTabs->setCurrentWidget(checkView->parentWidget());
#else
  warn(QStringLiteral("此版本未包含检核（编译时缺少 Boost.Math）。"));
#endif
}

namespace {

// "BM1=12.345, BM2=13.000" (also "，" or blanks between) as name and
// elevation pairs; nothing, with `bad` set to the offending piece, when a
// piece has no "=".
std::optional<std::vector<std::pair<std::string, std::string>>> knownPoints(const QString& text, QString& bad) {
  std::vector<std::pair<std::string, std::string>> known;
  static const QRegularExpression separators(QStringLiteral("[,，;；\\s]+"));
  for (const QString& piece : text.split(separators, Qt::SkipEmptyParts)) {
    const qsizetype equals = piece.indexOf(u'=');
    if (equals <= 0 || equals == piece.size() - 1) {
      bad = piece;
      return std::nullopt;
    }
    known.emplace_back(piece.left(equals).toStdString(), piece.mid(equals + 1).toStdString());
  }
  return known;
}

}  // namespace

bool MainWindow::onImportFieldBook() {
  if (busy_) return false;
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return false;
  const std::optional<QStringList> files = dialogs_->openFileNames(
      this, QStringLiteral("观测手簿和电子水准仪数据 (*.csv *.gsi *.dat *.txt)"), dialogFileName_);
  if (!files) return false;
  const std::optional<QString> typed =
      boxes_->askText(this, QStringLiteral("导入观测手簿"),
                      QStringLiteral("已知点及其高程（m），如 BM1=12.345, BM2=13.000：\n"
                                     "（也可以留空，导入后在点表中输入）"),
                      lastKnownPoints_);
  if (!typed) return false;
  QString bad;
  const auto known = knownPoints(*typed, bad);
  if (!known) {
    warn(QStringLiteral("已知点“%1”应写成 点名=高程。").arg(bad));
    return false;
  }
  lastKnownPoints_ = *typed;
  fieldbook::ImportOptions options;
  // The check tab's grade where the field checks know it, 等外 as the
  // engineering fifth order (as check --records takes it); 四等 otherwise.
  const QString grade = gradeBox->currentText();
  if (grade == QStringLiteral("二等") || grade == QStringLiteral("三等") || grade == QStringLiteral("四等"))
    options.grade = grade.toStdString();
  if (grade == QStringLiteral("等外")) options.grade = "工程五等";
  options.terrain = terrainBox->currentText().toStdString();
  options.known = *known;
  std::vector<std::string> paths;
  for (const QString& f : *files) paths.push_back(QFile::encodeName(QFileInfo(f).absoluteFilePath()).toStdString());
  fieldbook::FieldImport imported;
  if (!runBusy(QStringLiteral("正在导入观测手簿……"), QStringLiteral("导入观测手簿"),
               [&](const CancelFlag&) { imported = fieldbook::importFieldFiles(paths, options); }))
    return false;
  if (imported.project.points.size() >= kMaxTableRows || imported.project.observations.size() >= kMaxTableRows) {
    warn(QStringLiteral("观测手簿有 %1 个点、%2 个观测值；每个表格最多 %3 行数据，未导入。")
             .arg(imported.project.points.size())
             .arg(imported.project.observations.size())
             .arg(kMaxTableRows - 1));
    return false;
  }
  pointEditing_->hideEditor();
  observationEditing_->hideEditor();
  showProject(imported.project);
  // A new network, not yet in a file: Save asks for a name, closing asks first.
  currentFile_.clear();
  dialogFileName_ = files->front();
  modified_ = true;
  updateTitle();
  fieldRecordsReport_ = reportViewText(imported.report);
  checkView->setPlainText(fieldRecordsReport_);
  resultTabs->setCurrentWidget(checkView->parentWidget());
  if (!imported.passed) warn(QStringLiteral("有测站或测段超出限差：详见“检核”页的观测手簿检核报告。"));
  return true;
}

bool MainWindow::onSaveReport() {
  if (!readyToDeliver()) return false;
  const QStringList filters = {QStringLiteral("文本文件，GBK 编码 (*.txt)"),
                               QStringLiteral("文本文件，UTF-8 编码 (*.txt)")};
  const std::optional<ChosenFile> chosen =
      dialogs_->saveFileAs(this, QStringLiteral("保存报告"), filters, withSuffix(currentFile_, QStringLiteral(".txt")));
  if (!chosen) return false;
  const QString path = ensureSuffix(chosen->path, QStringLiteral(".txt"));
  const bool gbk = chosen->filterIndex == 0;
  std::shared_ptr<const AdjustmentResults> results = results_;
  return runBusy(QStringLiteral("正在保存报告……"), QStringLiteral("保存报告"), [&](const CancelFlag& cancel) {
    StringSink report;
    writeReport(*results, report);
    stopIfCancelled(cancel);
    std::string bytes;
    if (gbk) {
      std::optional<std::string> encoded = utf8ToGbk(report.text);
      if (!encoded) throw InputError("报告中有 GBK 无法表示的字符：请选择 UTF-8 编码保存");
      bytes = std::move(*encoded);
    } else {
      bytes = std::move(report.text);
    }
    saveFileSafely(QFile::encodeName(path).toStdString(), bytes);
  });
}

bool MainWindow::onExportResults() {
  if (!readyToDeliver()) return false;
  struct Format {
    const char* filter;
    const char* suffix;
  };
  static constexpr Format kFormats[] = {{"CSV，UTF-8 编码，Excel 可直接打开 (*.csv)", ".csv"},
                                        {"CSV，GBK 编码 (*.csv)", ".csv"},
                                        {"Excel 工作簿 (*.xlsx)", ".xlsx"},
                                        {"JSON (*.json)", ".json"},
                                        {"文本文件 (*.txt)", ".txt"}};
  QStringList filters;
  for (const Format& f : kFormats) filters << QString::fromUtf8(f.filter);
  const std::optional<ChosenFile> chosen = dialogs_->saveFileAs(this, QStringLiteral("导出成果表"), filters,
                                                                withSuffix(currentFile_, QStringLiteral(".csv")));
  if (!chosen) return false;
  const int format = std::clamp(chosen->filterIndex, 0, static_cast<int>(std::size(kFormats)) - 1);
  const QString path = ensureSuffix(chosen->path, QString::fromUtf8(kFormats[format].suffix));
  std::shared_ptr<const ResultsTable> table = resultsTable_;
  return runBusy(QStringLiteral("正在导出成果表……"), QStringLiteral("导出成果表"), [&](const CancelFlag&) {
    std::string bytes;
    switch (format) {
      case 0:
        bytes = resultsCsv(*table, ResultsEncoding::utf8);
        break;
      case 1:
        bytes = resultsCsv(*table, ResultsEncoding::gbk);
        break;
      case 2:
        bytes = resultsXlsx(*table);
        break;
      case 3:
        bytes = resultsJson(*table);
        break;
      default:
        bytes = resultsText(*table, ResultsEncoding::utf8);
        break;
    }
    saveFileSafely(QFile::encodeName(path).toStdString(), bytes);
  });
}

print::ReportDocument MainWindow::reportDocument() const {
  print::ReportDocument document;
  document.fileName =
      currentFile_.isEmpty() ? kUntitled.toStdString() : QFileInfo(currentFile_).fileName().toStdString();
  document.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
  if (results_) {
    document.knownCount = results_->net.knownCount;
    document.unknownCount = results_->net.unknownCount;
    document.observationCount = results_->net.observationCount;
  }
  if (resultsTable_) document.results = *resultsTable_;
  if (checkCurrent_) {
    document.grade = checkGrade_.toStdString();
    document.checkText = checkReport_.toStdString();
  }
  return document;
}

bool MainWindow::onExportPdf() {
  if (!readyToDeliver()) return false;
  const std::optional<ChosenFile> chosen =
      dialogs_->saveFileAs(this, QStringLiteral("导出 PDF"), {QStringLiteral("PDF 文件 (*.pdf)")},
                           withSuffix(currentFile_, QStringLiteral(".pdf")));
  if (!chosen) return false;
  const QString path = ensureSuffix(chosen->path, QStringLiteral(".pdf"));
  print::ReportDocument document = reportDocument();
  std::shared_ptr<const AdjustmentResults> results = results_;
  return runBusy(QStringLiteral("正在生成 PDF……"), QStringLiteral("导出 PDF"), [&](const CancelFlag& cancel) {
    StringSink report;
    writeReport(*results, report);
    document.reportText = std::move(report.text);
    stopIfCancelled(cancel);
    saveFileSafely(QFile::encodeName(path).toStdString(), print::reportDocumentPdf(document));
  });
}

bool MainWindow::onPrint() {
  if (!readyToDeliver()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setDocName(documentName());
  if (!dialogs_->choosePrinter(this, printer)) return false;
  print::ReportDocument document = reportDocument();
  StringSink report;
  // The printer is painted on this thread: Qt's print engines belong to it.
  setBusy(true);
  bool printed = false;
  try {
    writeReport(*results_, report);
    document.reportText = std::move(report.text);
    printed = print::paintReportDocument(printer, document) > 0;
  } catch (const std::exception&) {
    setBusy(false);
    warn(failureText(std::current_exception(), QStringLiteral("打印")));
    return false;
  }
  setBusy(false);
  if (!printed) warn(QStringLiteral("打印未能完成：打印机没有接受输出。"));
  return printed;
}

// ---- settings, recent files, help ----

namespace {

constexpr int kRecentFileCount = 8;
const QString kRecentKey = QStringLiteral("recentFiles");

}  // namespace

QStringList MainWindow::recentFiles() const { return QSettings().value(kRecentKey).toStringList(); }

void MainWindow::rememberFile(const QString& path) {
  QStringList files = recentFiles();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kRecentFileCount) files.removeLast();
  QSettings().setValue(kRecentKey, files);
  updateRecentMenu();
}

void MainWindow::updateRecentMenu() {
  recentMenu->clear();
  const QStringList files = recentFiles();
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    QAction* a = recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
    connect(a, &QAction::triggered, this, [this, path] { openRecent(path); });
  }
  recentMenu->setEnabled(!files.isEmpty());
}

void MainWindow::openRecent(const QString& path) {
  if (busy_) return;
  commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;
  if (!QFileInfo::exists(path)) {
    warn(QStringLiteral("文件“%1”已不存在，已从最近打开的文件中删除。").arg(path));
    QStringList files = recentFiles();
    files.removeAll(path);
    QSettings().setValue(kRecentKey, files);
    updateRecentMenu();
    return;
  }
  dialogFileName_ = path;
  openFile(path);
}

void MainWindow::restoreSettings() {
  const QSettings settings;
  if (settings.contains(QStringLiteral("window/geometry")))
    restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
  if (settings.contains(QStringLiteral("window/splitter")))
    mainSplitter->restoreState(settings.value(QStringLiteral("window/splitter")).toByteArray());
  if (settings.contains(QStringLiteral("window/resultsSplitter")))
    resultsPanel->splitter->restoreState(settings.value(QStringLiteral("window/resultsSplitter")).toByteArray());
}

void MainWindow::saveSettings() const {
  QSettings settings;
  settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("window/splitter"), mainSplitter->saveState());
  settings.setValue(QStringLiteral("window/resultsSplitter"), resultsPanel->splitter->saveState());
}

void MainWindow::showHelp() {
  QDialog dialog(this);
  dialog.setWindowTitle(QStringLiteral("使用说明"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QTextBrowser(&dialog);
  text->setHtml(QStringLiteral(
      "<h3>水准网平差：使用说明</h3>"
      "<ol>"
      "<li>在“已知点”“待定点”“观测值”中输入个数，每项按回车；在“单位权长度”中输入单位权对应的路线长度（km）。</li>"
      "<li>"
      "点表：先已知点后待定点，填点号和高程（待定点高程可空）。观测值表：起点、终点、观测高差（m）、水准路线长度（km）"
      "。"
      "回车逐格前进，Esc 放弃正在输入的内容，Ctrl+Z 撤销。</li>"
      "<li>按“平差”（Alt+R 或 F5）：“报告”页显示完整的平差报告，“成果表”页显示点成果、观测值成果和精度评定。</li>"
      "<li>“检核”页：选择等级和地形后按“检核”（F6），检查闭合差、χ² 检验、粗差和可发现的最小粗差。</li>"
      "<li>“文件”菜单：保存报告、导出成果表（CSV、Excel、JSON、文本）、导出 PDF、打印。</li>"
      "</ol>"
      "<p>文件为 .pc 格式，以 GBK 编码保存；保存时先写临时文件再替换，原文件不会因保存失败而损坏。</p>"));
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(pixelsX(7000), pixelsY(5000));
  dialog.exec();
}

void MainWindow::showAbout() {
  QMessageBox::about(this, QStringLiteral("关于"),
                     QStringLiteral("<b>levelnet %1</b><br>水准网间接平差：平差报告、成果表、数据检核。<br>"
                                    "以 GNU 通用公共许可证第 3 版或更高版本发布。")
                         .arg(QStringLiteral(LEVELNET_VERSION)));
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
