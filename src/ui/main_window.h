// The main window. On the left the input: the four parameter fields, the
// points table and the observation table with their in-cell editors, and the
// commands New, Open, Save and Adjust. On the right, in tabs, what comes out:
// the report (报告), the results table (成果表) and the data check (检核). A
// menu bar adds Save As, recent files, the report and results as files, PDF,
// printing, undo and help. The window can be resized; its size and the
// splitters are remembered.
//
// The handlers stay thin: the engine reads, writes, adjusts and checks the
// network; CellGrid and CellEditing do the table work; long work runs off the
// UI thread (background_task.h).
#pragma once

#include <QMainWindow>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "network/project_file.h"
#include "network/text_table.h"
#include "ui/cell_editing.h"
#include "ui/dialogs.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QUndoStack;

namespace levelnet {
struct AdjustmentResults;
struct ResultsTable;
namespace print {
struct ReportDocument;
}
}  // namespace levelnet

namespace levelnet::ui {

class CellGrid;
class FileDialogs;
class KeyedLineEdit;
class MessageBoxes;
class ResultsPanel;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The window in its first state: empty fields, the tables' header rows
  // written, the keyboard focus in 已知点. `dialogs` and `boxes` stand in for
  // the file dialog and the message boxes (tests); null gives Qt's. They must
  // outlive the window.
  explicit MainWindow(FileDialogs* dialogs = nullptr, MessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Loads a .pc file as Open does once its dialog has chosen `path`. A file
  // that cannot be used is reported in a message box and changes nothing.
  // Returns whether the file was loaded.
  bool openFile(const QString& path);

  // The name the file dialog starts with: the last one chosen.
  QString dialogFileName() const { return dialogFileName_; }

  // The controls; public so that tests and the screenshot mode reach them.
  QGroupBox* countsFrame = nullptr;  // frames the four parameter fields
  // Captions of 已知点, 待定点, 观测值 and 单位权长度, in that order.
  QLabel* countLabels[4] = {};
  KeyedLineEdit* knownCountEdit = nullptr;        // 已知点: number of benchmarks
  KeyedLineEdit* unknownCountEdit = nullptr;      // 待定点: number of points to determine
  KeyedLineEdit* observationCountEdit = nullptr;  // 观测值: number of observations
  KeyedLineEdit* unitLengthEdit = nullptr;        // 单位权长度: route length of unit weight
  CellGrid* pointTable = nullptr;
  CellGrid* observationTable = nullptr;
  QPlainTextEdit* reportView = nullptr;
  QPushButton* newButton = nullptr;
  QPushButton* openButton = nullptr;
  QPushButton* saveButton = nullptr;
  QPushButton* adjustButton = nullptr;
  QLabel* hintLabel = nullptr;                     // the typing hint under the report
  KeyedLineEdit* pointCellEditor = nullptr;        // in-cell editor of pointTable
  KeyedLineEdit* observationCellEditor = nullptr;  // in-cell editor of observationTable

  QSplitter* mainSplitter = nullptr;  // input on the left, results on the right
  QWidget* inputPane = nullptr;       // the fields, tables and buttons
  QTabWidget* resultTabs = nullptr;   // 报告, 成果表, 检核
  ResultsPanel* resultsPanel = nullptr;
  QPlainTextEdit* checkView = nullptr;
  QComboBox* gradeBox = nullptr;    // 等级 of the check: 不指定, 二等, 三等, 四等, 等外
  QComboBox* terrainBox = nullptr;  // 平原, 山区
  QLineEdit* sigmaEdit = nullptr;   // a-priori σ per km, mm; empty: none
  QPushButton* checkButton = nullptr;

  // The menu commands.
  QAction *newAction = nullptr, *openAction = nullptr, *saveAction = nullptr, *saveAsAction = nullptr;
  QMenu* recentMenu = nullptr;      // 最近打开的文件
  QAction* importAction = nullptr;  // 导入观测手簿
  QAction *saveReportAction = nullptr, *exportResultsAction = nullptr, *exportPdfAction = nullptr;
  QAction *printAction = nullptr, *quitAction = nullptr;
  QAction *undoAction = nullptr, *redoAction = nullptr;
  QAction *adjustAction = nullptr, *checkAction = nullptr;
  QAction *helpAction = nullptr, *aboutAction = nullptr;

  // The files most recently opened or saved, newest first, at most 8.
  QStringList recentFiles() const;

  // Writes both tables' header rows and sets their column widths, row height
  // and alignment. Leaves each table's current cell in the header row of its
  // last column.
  void setupTables();
  // Offers to save unsaved changes before the window closes. True when it
  // may close: nothing changed, the user answered No, or the save succeeded;
  // false when the user cancelled, the save dialog was cancelled or the save
  // failed, and the data must stay as they are.
  bool confirmDiscardOrSave();

  // Whether a field or cell was edited since the last Open, Save or New.
  bool isModified() const { return modified_; }
  // The file the window's data came from or went to last; empty for none.
  QString currentFile() const { return currentFile_; }

 public slots:
  void onNew();
  void onOpen();
  void onSave();
  // Save with its dialog; true only when a file was written.
  bool saveWithDialog();
  void onAdjust();
  // Another name for the same data: the save dialog, starting at the current file.
  void onSaveAs();
  // The data check of the current tables with the 检核 tab's grade, terrain
  // and σ; its report goes to the 检核 tab.
  void onCheck();
  // 导入观测手簿: field records (the handbook CSV, Leica GSI, Trimble DiNi)
  // reduced and checked station by station, the known points asked for,
  // then the network in the tables as a new, unsaved one and the station
  // report in the 检核 tab. True when the tables were filled.
  bool onImportFieldBook();
  // 保存报告: the last adjustment's report as a text file, GBK or UTF-8, CR LF.
  bool onSaveReport();
  // 导出成果表: CSV (UTF-8 or GBK), XLSX, JSON or text, by the chosen filter.
  bool onExportResults();
  // 导出 PDF and 打印: the title block, the 成果表, the precision and the
  // report (and the check, when it is of the same data).
  bool onExportPdf();
  bool onPrint();
  void onUndo();
  void onRedo();
  void showHelp();
  void showAbout();

 public:
  // Whether the 成果表 and the report are of the data the tables now hold.
  bool resultsCurrent() const { return results_ != nullptr && resultsCurrent_; }
  // The document 导出 PDF and 打印 make, for the last adjustment.
  print::ReportDocument reportDocument() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createWidgets();
  void createResultTabs(QWidget* pane);
  void createMenus();
  void connectSignals();
  // Lays out the input pane for its size: the tables grow with it.
  void layoutInputPane();
  // Widens the columns of `table` to their texts (never narrower than the
  // header's width); `row` < 0 measures every row, else only that one.
  void fitColumns(CellGrid& table, int row = -1);
  void widenInputForTables();
  void giveInputWidth(int pixels);
  void cellEdited(CellGrid& table, int row, int column, const QString& before, const QString& after);
  // Puts a network read from a file into the fields and tables, as a fresh
  // start: no report, no results, nothing to undo.
  void showProject(const ProjectData& data);
  void restoreSettings();
  void saveSettings() const;
  void rememberFile(const QString& path);
  void updateRecentMenu();
  void openRecent(const QString& path);
  // While long work runs, the window takes no input.
  void setBusy(bool busy);
  // False, with a message, when there is no adjustment of the data shown.
  bool requireCurrentResults();
  // Before 保存报告, the exports and printing: not busy, editors committed,
  // results of the data shown.
  bool readyToDeliver();
  // Runs `work` off the UI thread with the window busy; a failure is told in
  // a message naming `task`. True when the work finished.
  bool runBusy(const QString& label, const QString& task, const std::function<void(const std::atomic<bool>&)>& work);
  void showResults(std::shared_ptr<const AdjustmentResults> results);
  void clearResults();
  // The name the window shows for the current file: its name, or 未命名.
  QString documentName() const;
  // Hands the signals of `table` and of its in-cell `editor` to `editing`.
  void connectCellEditing(CellGrid* table, KeyedLineEdit* editor, CellEditing* editing);

  // Enter in a count field: 已知点 moves on to 待定点; 待定点 sizes the points
  // table, 观测值 the observation table, and each moves on when that worked.
  void onKnownCountKey(int& code);
  void onUnknownCountKey(int& code);
  void onObservationCountKey(int& code);

  // Sizes `table` for the count in `countField` (plus `extraField` where
  // not null) and numbers its rows; false, with a message naming the field,
  // when a count is not usable.
  bool sizeTable(CellGrid& table, KeyedLineEdit& countField, KeyedLineEdit* extraField);
  ParameterFields fields() const;
  void warn(const QString& text);
  // The question before unsaved changes are closed or replaced; true when
  // the caller may go on.
  bool offerToSave(SaveQuestion kind);
  // Commits both in-cell editors, so what is shown is what is used.
  void commitEditors();
  void markModified();
  void setModified(bool modified);
  void updateTitle();

  std::unique_ptr<FileDialogs> ownDialogs_;
  std::unique_ptr<MessageBoxes> ownBoxes_;
  FileDialogs* dialogs_;
  MessageBoxes* boxes_;
  QString dialogFileName_;  // the file dialog's remembered name
  QString currentFile_;     // shown in the title; empty: 未命名
  bool modified_ = false;
  std::unique_ptr<CellEditing> pointEditing_;
  std::unique_ptr<CellEditing> observationEditing_;
  QUndoStack* undoStack_ = nullptr;
  bool busy_ = false;
  // The last adjustment and its 成果表; current until the data change.
  std::shared_ptr<const AdjustmentResults> results_;
  std::shared_ptr<const ResultsTable> resultsTable_;
  bool resultsCurrent_ = false;
  QString checkReport_;  // the last check's report, UTF-8 lines
  QString checkGrade_;   // the grade it was run with
  bool checkCurrent_ = false;
  QString lastKnownPoints_;  // what the import's question was last answered
  // The station report of the field records the tables were imported
  // from; 检核 shows it after its own report. Empty after New and Open.
  QString fieldRecordsReport_;
};

}  // namespace levelnet::ui
