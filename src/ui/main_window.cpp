#include "ui/main_window.h"
#include "ui/file_names.h"
#include "ui/monitoring_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>

#include "network/file_identity.h"
#include "session/network_files.h"
#include "ui/cell_grid.h"
#include "ui/check_pane.h"
#include "ui/chinese_ui.h"
#include "ui/computations.h"
#include "ui/design_pane.h"
#include "ui/error_text.h"
#include "ui/field_book_import.h"
#include "ui/help_dialogs.h"
#include "ui/input_pane.h"
#include "ui/keyed_line_edit.h"
#include "ui/network_view.h"
#include "ui/recent_files.h"
#include "ui/report_preview.h"
#include "ui/result_tabs.h"
#include "ui/results_view.h"
#include "ui/twips.h"

namespace levelnet::ui {

namespace {

const QString kTitle = QStringLiteral("Vantrel水准网平差");
const QString kFilter = QStringLiteral("平差文件 (*.pc)");
const QString kExitTitle = QStringLiteral("退出Vantrel平差");
const QString kExitQuestion = QStringLiteral("平差数据已输完或修改，是否保存再退出？");
const QString kReplaceQuestion = QStringLiteral("是否保存对当前网的修改？");
const QString kUntitled = QStringLiteral("未命名");

// The client area's width, in twips, as designed.
constexpr int kClientWidth = 10680;
constexpr int kReportMinimumWidth = 3000;  // what widening the input leaves the report

// A new name typed without a suffix gets ".pc", so the file shows up under
// the dialog's filter next time; an existing name is used as it is.
QString withProjectSuffix(const QString& path) {
  const QFileInfo info(path);
  if (info.exists() || !info.suffix().isEmpty()) return path;
  return path.endsWith(u'.') ? path + QStringLiteral("pc") : path + QStringLiteral(".pc");
}

// The one local file a drag carries, or nothing.
std::optional<QString> droppedFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) return std::nullopt;
  const QUrl url = mime->urls().front();
  if (!url.isLocalFile()) return std::nullopt;
  return url.toLocalFile();
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
  createParts();
  createMenus();
  connectSignals();
  restoreSettings();
  input_->knownCountEdit()->setFocus(Qt::OtherFocusReason);  // typing a network begins with 已知点
}

// The panes show the session's tables: they go before the session does.
MainWindow::~MainWindow() { delete takeCentralWidget(); }

void MainWindow::createParts() {
  setWindowTitle(kTitle);
  setFont(songFont(9));
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  mainSplitter_->setChildrenCollapsible(false);
  setCentralWidget(mainSplitter_);
  input_ = new InputPane(session_, *boxes_, mainSplitter_);

  auto* resultPane = new ResultTabs(session_, mainSplitter_);
  resultTabs_ = resultPane->tabs();
  reportView_ = resultPane->reportView();
  resultsPanel_ = resultPane->resultsPanel();
  checkPane_ = resultPane->checkPane();
  networkView_ = resultPane->networkView();
  designPane_ = resultPane->designPane();
  resultPane_ = resultPane;
  // The tabs' controls may be squeezed so the input can take the room its
  // columns need; the report stays readable.
  resultPane->setMinimumWidth(pixelsX(kReportMinimumWidth));
  mainSplitter_->addWidget(input_);
  mainSplitter_->addWidget(resultPane);
  mainSplitter_->setStretchFactor(0, 0);
  mainSplitter_->setStretchFactor(1, 1);
  mainSplitter_->setSizes(
      {InputPane::designedSize().width(), pixelsX(kClientWidth) - InputPane::designedSize().width()});

  // The Tab order: 已知点, the two tables, the four commands and the report,
  // then 待定点, 观测值, 单位权长度 and the in-cell editors (skipped while
  // hidden). The count fields are walked by Enter, so from 单位权长度 two Tabs
  // lead round to the points table. The controls of the other tabs follow
  // the editors and are skipped while their tab is hidden; the tab bar takes
  // the focus by click only (Ctrl+Tab switches tabs).
  InputPane& in = *input_;
  QWidget* order[] = {in.knownCountEdit(),       in.pointTable(),           in.observationTable(), in.newButton(),
                      in.openButton(),           in.saveButton(),           in.adjustButton(),     reportView_,
                      in.unknownCountEdit(),     in.observationCountEdit(), in.unitLengthEdit(),   in.pointCellEditor(),
                      in.observationCellEditor()};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  const WindowHooks hooks{
      [this](const QString& label, const QString& task, const std::function<void(const CancelFlag&)>& work) {
        return runBusy(label, task, work);
      },
      [this] { return readyForCommand(); }, [this](bool busy) { setBusy(busy); }};
  deliverables_ = new Deliverables(session_, *dialogs_, *boxes_, this, hooks);
  computations_ =
      new Computations(session_, *resultPane_, *boxes_, this, hooks, [this] { return deliverables_->documentName(); });
  // A .pc file dropped on the window opens as Open would open it.
  setAcceptDrops(true);
  // The window opens in the size it was designed with, menu bar added.
  resize(pixelsX(kClientWidth), InputPane::designedSize().height() + menuBar()->sizeHint().height());
  updateTitle();
}

void MainWindow::createMenus() {
  const auto action = [this](QMenu* menu, const QString& text, auto slot, QKeySequence keys = {}) {
    QAction* a = menu->addAction(text);
    if (!keys.isEmpty()) a->setShortcut(keys);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  Actions& a = actions_;
  QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
  a.newFile = action(file, QStringLiteral("新建"), &MainWindow::onNew, QKeySequence(Qt::CTRL | Qt::Key_N));
  a.open = action(file, QStringLiteral("打开…"), &MainWindow::onOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
  a.save = action(file, QStringLiteral("保存…"), &MainWindow::onSave, QKeySequence(Qt::CTRL | Qt::Key_S));
  a.saveAs =
      action(file, QStringLiteral("另存为…"), &MainWindow::onSaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  recentMenu_ = file->addMenu(QStringLiteral("最近打开的文件"));
  recentFiles_ = new RecentFiles(
      recentMenu_, [this](const QString& path) { openRecent(path); }, this);
  file->addSeparator();
  a.import = action(file, QStringLiteral("导入观测手簿…"), &MainWindow::onImportFieldBook);
  a.monitoring =
      action(file, QStringLiteral("沉降监测…"), &MainWindow::onMonitoring, QKeySequence(Qt::CTRL | Qt::Key_M));
  file->addSeparator();
  a.saveReport = action(file, QStringLiteral("保存报告…"), &MainWindow::onSaveReport);
  a.exportResults = action(file, QStringLiteral("导出成果表…"), &MainWindow::onExportResults);
  a.exportPdf = action(file, QStringLiteral("导出 PDF…"), &MainWindow::onExportPdf);
  a.print = action(file, QStringLiteral("打印…"), &MainWindow::onPrint, QKeySequence(Qt::CTRL | Qt::Key_P));
  file->addSeparator();
  a.quit = action(file, QStringLiteral("退出"), &MainWindow::close, QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
  a.undo = action(edit, QStringLiteral("撤销"), &MainWindow::onUndo, QKeySequence(Qt::CTRL | Qt::Key_Z));
  a.redo = action(edit, QStringLiteral("重做"), &MainWindow::onRedo, QKeySequence(Qt::CTRL | Qt::Key_Y));
  a.undo->setEnabled(false);
  a.redo->setEnabled(false);
  connect(input_->undoStack(), &QUndoStack::canUndoChanged, a.undo, &QAction::setEnabled);
  connect(input_->undoStack(), &QUndoStack::canRedoChanged, a.redo, &QAction::setEnabled);

  QMenu* adjust = menuBar()->addMenu(QStringLiteral("平差(&A)"));
  a.adjust = action(adjust, QStringLiteral("平差"), &MainWindow::onAdjust, QKeySequence(Qt::Key_F5));
  a.check = action(adjust, QStringLiteral("检核"), &MainWindow::onCheck, QKeySequence(Qt::Key_F6));
  a.design = action(adjust, QStringLiteral("设计（精度预估）"), &MainWindow::onDesign, QKeySequence(Qt::Key_F7));

  QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
  a.help = action(
      help, QStringLiteral("使用说明"), [this] { showHelp(this); }, QKeySequence(Qt::Key_F1));
  a.about = action(help, QStringLiteral("关于"), [this] { showAbout(this); });

  // Ctrl+Tab and Ctrl+Shift+Tab go through the tabs 报告, 成果表, 检核, 网图 and 设计
  // wherever the focus is.
  for (const auto& [keys, step] : {std::pair{QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
                                   std::pair{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                                   std::pair{QKeySequence(Qt::CTRL | Qt::Key_Backtab), -1}}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, step = step] {
      const int count = resultTabs_->count();
      resultTabs_->setCurrentIndex((resultTabs_->currentIndex() + step + count) % count);
    });
  }
}

void MainWindow::connectSignals() {
  connect(input_->newButton(), &QPushButton::clicked, this, &MainWindow::onNew);
  connect(input_->openButton(), &QPushButton::clicked, this, &MainWindow::onOpen);
  connect(input_->saveButton(), &QPushButton::clicked, this, &MainWindow::onSave);
  connect(input_->adjustButton(), &QPushButton::clicked, this, &MainWindow::onAdjust);
  connect(checkPane_->checkButton(), &QPushButton::clicked, this, &MainWindow::onCheck);
  connect(designPane_->designButton(), &QPushButton::clicked, this, &MainWindow::onDesign);
  // The 设计 tab lists the routes as the table holds them when it is shown.
  connect(resultTabs_, &QTabWidget::currentChanged, this, [this] {
    if (resultTabs_->currentWidget() == designPane_) designPane_->listRoutes(session_.network());
  });
  connect(input_, &InputPane::edited, this, &MainWindow::dataEdited);
  connectNetworkView();
  // The splitter has its sizes only once the window is shown and laid out:
  // the width is given after the events now pending.
  connect(input_, &InputPane::widthWanted, this, [this](int pixels) {
    QTimer::singleShot(0, this, [this, pixels] {
      if (isVisible()) giveInputWidth(pixels);
    });
  });
}

void MainWindow::connectNetworkView() {
  connect(networkView_, &NetworkView::pointClicked, this, [this](int point) {
    CellGrid* table = input_->pointTable();
    if (point < table->rows()) table->setCurrentRow(point);
  });
  connect(networkView_, &NetworkView::routeClicked, this, [this](int route) {
    CellGrid* table = input_->observationTable();
    const int row = session_.observationRowOf(route);
    if (row >= 1 && row < table->rows()) table->setCurrentRow(row);
  });
  connect(input_->pointTable(), &CellGrid::currentCellChanged, this,
          [this] { networkView_->highlightPoint(input_->pointTable()->currentRow()); });
  connect(input_->observationTable(), &CellGrid::currentCellChanged, this, [this] {
    networkView_->highlightRoute(session_.routeOfObservationRow(input_->observationTable()->currentRow()));
  });
  connect(input_, &InputPane::edited, networkView_, &NetworkView::networkChanged);
}

// Gives the input pane the width its tables' columns need, as far as the
// window has room beside a usable report; never narrows it.
void MainWindow::giveInputWidth(int needed) {
  const QList<int> sizes = mainSplitter_->sizes();
  if (sizes.size() != 2 || sizes[0] >= needed) return;
  const int total = sizes[0] + sizes[1];
  const int left = std::min(needed, total - pixelsX(kReportMinimumWidth));
  if (left > sizes[0]) mainSplitter_->setSizes({left, total - left});
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  const int wanted = input_->wantedWidth();
  QTimer::singleShot(0, this, [this, wanted] {
    if (isVisible()) giveInputWidth(wanted);
  });
}

// Closing goes on only when nothing unsaved would be lost: a cancelled
// question, a cancelled or failed save keeps the window open with its data.
void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy_) {  // the work under way reads the tables; 取消 it first
    event->ignore();
    return;
  }
  input_->commitEditors();
  if (confirmDiscardOrSave()) {
    saveSettings();
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (droppedFile(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const std::optional<QString> path = droppedFile(event->mimeData());
  if (!path) return;
  event->acceptProposedAction();
  if (!readyForCommand() || !offerToSave(SaveQuestion::replacing)) return;
  dialogFileName_ = *path;
  openFile(*path);
}

// ---- the document's life ----

bool MainWindow::confirmDiscardOrSave() { return offerToSave(SaveQuestion::closing); }

bool MainWindow::isModified() const { return importedUnsaved_ || input_->hasUnsavedEdits(); }

bool MainWindow::offerToSave(SaveQuestion kind) {
  if (!isModified()) return true;
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

void MainWindow::dataEdited() {
  updateTitle();
  // The 成果表 and the report stay in view but are no longer of these data.
  if (session_.adjustment() && !session_.adjustmentCurrent()) resultsPanel_->markStale();
}

void MainWindow::markSaved() {
  input_->markSaved();
  importedUnsaved_ = false;
  updateTitle();
}

// The title names the current file (or 未命名) and ends in "*" while the
// window holds changes not yet saved.
void MainWindow::updateTitle() {
  setWindowTitle(kTitle + QStringLiteral(" - [") + (currentFile_.isEmpty() ? kUntitled : currentFile_) +
                 QStringLiteral("]") + (isModified() ? QStringLiteral("*") : QString()));
}

void MainWindow::warn(const QString& text) { boxes_->warn(this, kTitle, text); }

void MainWindow::clearOutputs() {
  reportView_->setPlainText(QString());
  resultsPanel_->setTable(nullptr);
  checkPane_->clear();
  designPane_->clear();
  networkView_->networkChanged();
}

void MainWindow::onNew() {
  input_->commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;  // the data were not saved: keep them
  input_->startAfresh();
  clearOutputs();
  // A new network has no file yet: Save asks for a name.
  currentFile_.clear();
  session_.setFilePath({});
  dialogFileName_.clear();
  markSaved();
}

void MainWindow::onOpen() {
  input_->commitEditors();
  if (!offerToSave(SaveQuestion::replacing)) return;
  const std::optional<QString> chosen = dialogs_->openFileName(this, kFilter, dialogFileName_);
  if (!chosen) return;
  dialogFileName_ = *chosen;
  openFile(*chosen);
}

bool MainWindow::openFile(const QString& path) {
  const QString fullPath = QFileInfo(path).absoluteFilePath();
  session::OpenedNetwork opened;
  // Reading and splitting a large file takes a moment; the window paints meanwhile.
  if (!runBusy(QStringLiteral("正在打开 %1……").arg(fullPath), QStringLiteral("打开"),
               [&](const CancelFlag&) { opened = session::openNetwork(localPath(fullPath)); }))
    return false;
  // Bytes that read as well in UTF-8 were read as GBK by the rule alone: the
  // user says which they are.
  if (opened.encodingAmbiguous) {
    const std::optional<int> answer = boxes_->askChoice(
        this, kTitle, QString::fromStdString(opened.encodingNote) + QStringLiteral("。按哪种编码打开？"),
        {QStringLiteral("按 GBK（平差文件的格式）"), QStringLiteral("按 UTF-8")});
    if (!answer) return false;
    if (*answer == 1 &&
        !runBusy(QStringLiteral("正在打开 %1……").arg(fullPath), QStringLiteral("打开"), [&](const CancelFlag&) {
          opened = session::openNetwork(localPath(fullPath), {FileEncoding::utf8, kReportLimits});
        }))
      return false;
    if (*answer == 0) opened.encodingNote.clear();  // the user chose: nothing more to say
  }
  input_->showNetwork(std::move(opened.network));
  clearOutputs();
  currentFile_ = fullPath;
  dialogFileName_ = fullPath;  // 保存 offers the file's own name, however it was opened
  session_.setFilePath(fullPath.toStdString());
  markSaved();
  recentFiles_->remember(fullPath);
  // A file in UTF-8 is read as such, and the user is told: Save writes GBK.
  if (!opened.encodingNote.empty()) warn(QString::fromStdString(opened.encodingNote) + QStringLiteral("。"));
  return true;
}

void MainWindow::onSave() { saveWithDialog(); }

bool MainWindow::saveWithDialog() {
  input_->commitEditors();
  const std::optional<QString> typed = dialogs_->saveFileName(this, kFilter, dialogFileName_);
  if (!typed) return false;
  const QString chosen = withProjectSuffix(*typed);
  dialogFileName_ = chosen;
  try {
    // The network's own file may be saved over; a field book it came from may not.
    refuseOutputOverInput(localPath(chosen), session_.fieldBookFiles());
    session::saveNetwork(localPath(chosen), session_.network());
  } catch (const std::exception&) {
    warn(failureText(std::current_exception(), QStringLiteral("保存")));
    input_->showPlaceOf(std::current_exception());
    return false;
  }
  currentFile_ = QFileInfo(chosen).absoluteFilePath();
  session_.setFilePath(currentFile_.toStdString());
  markSaved();
  recentFiles_->remember(currentFile_);
  return true;
}

void MainWindow::onSaveAs() {
  if (!currentFile_.isEmpty()) dialogFileName_ = currentFile_;
  saveWithDialog();
}

bool MainWindow::onImportFieldBook() {
  if (!readyForCommand() || !offerToSave(SaveQuestion::replacing)) return false;
  FieldBookImportDialogs import(*dialogs_, *boxes_, this);
  const std::optional<FieldBookImportRequest> request =
      import.ask(dialogFileName_, lastKnownPoints_, checkPane_->grade(), checkPane_->terrainBox()->currentText(),
                 lastCorrections_);
  if (!request) return false;
  lastKnownPoints_ = request->knownText;
  if (!request->correctionsText.isEmpty()) lastCorrections_ = request->correctionsText;
  std::optional<FieldBookImported> imported;
  if (!runBusy(QStringLiteral("正在导入观测手簿……"), QStringLiteral("导入观测手簿"),
               [&](const CancelFlag&) { imported = importFieldBooks(*request); }))
    return false;
  input_->showNetwork(std::move(imported->run.network));
  session_.setFieldBooks(std::move(imported->books), imported->run.report, request->settings.corrections);
  clearOutputs();
  // A new network, not yet in a file: Save asks for a name, closing asks first.
  currentFile_.clear();
  session_.setFilePath({});
  dialogFileName_ = request->files.front();
  importedUnsaved_ = true;
  updateTitle();
  checkPane_->showReport(session_.importReport());
  resultTabs_->setCurrentWidget(checkPane_);
  if (!imported->run.passed) warn(QStringLiteral("有测站或测段超出限差：详见“检核”页的观测手簿检核报告。"));
  return true;
}

// ---- computing ----

void MainWindow::setBusy(bool busy) {
  // Disabling the window takes the keyboard focus from it; it goes back to
  // the widget that had it, so keys typed next land where they were aimed.
  if (busy && !busy_) focusBeforeBusy_ = QApplication::focusWidget();
  busy_ = busy;
  centralWidget()->setEnabled(!busy);
  menuBar()->setEnabled(!busy);
  for (QAction* a : menuBar()->actions()) a->setEnabled(!busy);
  const Actions& a = actions_;
  for (QAction* command : {a.newFile, a.open, a.save, a.saveAs, a.import, a.saveReport, a.exportResults, a.exportPdf,
                           a.print, a.quit, a.adjust, a.check, a.design, a.help, a.about})
    command->setEnabled(!busy);
  a.undo->setEnabled(!busy && input_->undoStack()->canUndo());
  a.redo->setEnabled(!busy && input_->undoStack()->canRedo());
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
  } else {
    QApplication::restoreOverrideCursor();
    if (focusBeforeBusy_ && focusBeforeBusy_->isVisible() && focusBeforeBusy_->isEnabled())
      focusBeforeBusy_->setFocus(Qt::OtherFocusReason);
    focusBeforeBusy_.clear();
  }
}

bool MainWindow::runBusy(const QString& label, const QString& task,
                         const std::function<void(const CancelFlag&)>& work) {
  setBusy(true);
  const TaskResult run = runInBackground(this, label, work);
  setBusy(false);
  if (run.end == TaskEnd::failed) {
    warn(failureText(run.error, task));
    input_->showPlaceOf(run.error);
  }
  return run.end == TaskEnd::finished;
}

bool MainWindow::readyForCommand() {
  if (busy_) return false;
  input_->commitEditors();
  return true;
}

// The 网图 shows the outcomes at once when it is in view.
void MainWindow::onAdjust() {
  computations_->adjust();
  if (networkView_->isVisible()) networkView_->refresh();
}

void MainWindow::onCheck() {
  computations_->check();
  if (networkView_->isVisible()) networkView_->refresh();
}

void MainWindow::onDesign() { computations_->design(); }

MonitoringView* MainWindow::onMonitoring() {
  if (!monitoring_) monitoring_ = new MonitoringView(*dialogs_, *boxes_, this);
  monitoring_->show();
  monitoring_->raise();
  monitoring_->activateWindow();
  return monitoring_;
}

void MainWindow::onUndo() {
  input_->commitEditors();
  input_->undoStack()->undo();
}

void MainWindow::onRedo() {
  input_->commitEditors();
  input_->undoStack()->redo();
}

// ---- settings, recent files ----

QStringList MainWindow::recentFiles() const { return recentFiles_->files(); }

void MainWindow::openRecent(const QString& path) {
  if (!readyForCommand() || !offerToSave(SaveQuestion::replacing)) return;
  if (!QFileInfo::exists(path)) {
    warn(QStringLiteral("文件“%1”已不存在，已从最近打开的文件中删除。").arg(path));
    recentFiles_->forget(path);
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
    mainSplitter_->restoreState(settings.value(QStringLiteral("window/splitter")).toByteArray());
  if (settings.contains(QStringLiteral("window/resultsSplitter")))
    resultsPanel_->splitter->restoreState(settings.value(QStringLiteral("window/resultsSplitter")).toByteArray());
}

void MainWindow::saveSettings() const {
  QSettings settings;
  settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
  settings.setValue(QStringLiteral("window/splitter"), mainSplitter_->saveState());
  settings.setValue(QStringLiteral("window/resultsSplitter"), resultsPanel_->splitter->saveState());
}

}  // namespace levelnet::ui
