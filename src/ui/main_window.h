// The main window: the input pane on the left of a splitter; on the right, in
// tabs, what comes out: the report (报告), the results table (成果表) and the
// data check (检核). A menu bar holds every command. The window owns the
// session (what the user works on) and hands each command to the part that
// does it: the input pane, the check pane, the deliverables; the use cases
// themselves are the session library's. The window can be resized; its size
// and the splitters are remembered.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>

#include "session/session.h"
#include "ui/deliverables.h"
#include "ui/dialogs.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;

namespace levelnet::ui {

class CheckPane;
class DesignPane;
class Computations;
class InputPane;
class MonitoringView;
class NetworkView;
class RecentFiles;
class ResultTabs;
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
  // The files most recently opened or saved, newest first, at most 8.
  QStringList recentFiles() const;
  // Offers to save unsaved changes before the window closes. True when it
  // may close: nothing changed, the user answered No, or the save succeeded;
  // false when the user cancelled, the save dialog was cancelled or the save
  // failed, and the data must stay as they are.
  bool confirmDiscardOrSave();
  // Whether the data shown differ from what was last opened, saved or made
  // new by the user's edits (undone edits do not count), or came from field
  // books and were not saved yet.
  bool isModified() const;
  // The file the window's data came from or went to last; empty for none.
  QString currentFile() const { return currentFile_; }
  // Whether the 成果表 and the report are of the data the tables now hold.
  bool resultsCurrent() const { return session_.adjustmentCurrent(); }

  // The parts, for the screenshot mode and the tests.
  InputPane& input() const { return *input_; }
  CheckPane& checkPane() const { return *checkPane_; }
  NetworkView& networkView() const { return *networkView_; }
  DesignPane& designPane() const { return *designPane_; }
  ResultsPanel* resultsPanel() const { return resultsPanel_; }
  QPlainTextEdit* reportView() const { return reportView_; }
  QTabWidget* resultTabs() const { return resultTabs_; }
  QSplitter* mainSplitter() const { return mainSplitter_; }
  const session::Session& session() const { return session_; }

  // The menu commands.
  struct Actions {
    QAction *newFile = nullptr, *open = nullptr, *save = nullptr, *saveAs = nullptr, *import = nullptr;
    QAction *saveReport = nullptr, *exportResults = nullptr, *exportPdf = nullptr, *print = nullptr;
    QAction *quit = nullptr, *undo = nullptr, *redo = nullptr, *adjust = nullptr, *check = nullptr;
    QAction *help = nullptr, *about = nullptr, *monitoring = nullptr, *design = nullptr;
  };
  const Actions& actions() const { return actions_; }
  QMenu* recentMenu() const { return recentMenu_; }

 public slots:
  void onNew();
  void onOpen();
  void onSave();
  // Save with its dialog; true only when a file was written.
  bool saveWithDialog();
  // Another name for the same data: the save dialog, starting at the current file.
  void onSaveAs();
  void onAdjust();
  // The data check of the current tables with the 检核 tab's grade, terrain
  // and σ, and the station checks of the field books the tables were
  // imported from; its report goes to the 检核 tab.
  void onCheck();
  // 设计 (精度预估) of the tables as they are, observed values empty or not:
  // the report in the 设计 tab, the expected M on the 网图.
  void onDesign();
  // 导入观测手簿: field records reduced and checked station by station, the
  // known points asked for, then the network in the tables as a new, unsaved
  // one and the station report in the 检核 tab. True when the tables were filled.
  bool onImportFieldBook();
  bool onSaveReport() { return deliverables_->saveReport(); }
  bool onExportResults() { return deliverables_->exportResults(); }
  bool onExportPdf() { return deliverables_->exportPdf(); }
  bool onPrint() { return deliverables_->print(); }
  void onUndo();
  void onRedo();
  // 沉降监测: the monitoring window (made on first use, kept while the window lives).
  MonitoringView* onMonitoring();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createParts();
  void createMenus();
  void connectSignals();
  // The 网图 and the tables select each other's points and routes.
  void connectNetworkView();
  void giveInputWidth(int pixels);
  void restoreSettings();
  void saveSettings() const;
  void openRecent(const QString& path);
  // While long work runs, the window takes no input.
  void setBusy(bool busy);
  // Runs `work` off the UI thread with the window busy; a failure is told in
  // a message naming `task`. True when the work finished.
  bool runBusy(const QString& label, const QString& task, const std::function<void(const CancelFlag&)>& work);
  // Not busy, editors committed: a command may go on.
  bool readyForCommand();
  // A fresh start after New, Open or an import: no report, no results, no check.
  void clearOutputs();
  void warn(const QString& text);
  // The question before unsaved changes are closed or replaced; true when
  // the caller may go on.
  bool offerToSave(SaveQuestion kind);
  void dataEdited();
  // The data are as in the file now (opened, saved, new).
  void markSaved();
  void updateTitle();

  std::unique_ptr<FileDialogs> ownDialogs_;
  std::unique_ptr<MessageBoxes> ownBoxes_;
  FileDialogs* dialogs_;
  MessageBoxes* boxes_;
  session::Session session_;
  InputPane* input_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  ResultTabs* resultPane_ = nullptr;
  QTabWidget* resultTabs_ = nullptr;
  QPlainTextEdit* reportView_ = nullptr;
  ResultsPanel* resultsPanel_ = nullptr;
  CheckPane* checkPane_ = nullptr;
  NetworkView* networkView_ = nullptr;
  DesignPane* designPane_ = nullptr;
  Deliverables* deliverables_ = nullptr;
  Computations* computations_ = nullptr;
  Actions actions_;
  MonitoringView* monitoring_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  RecentFiles* recentFiles_ = nullptr;
  QString dialogFileName_;        // the file dialog's remembered name
  QString currentFile_;           // shown in the title; empty: 未命名
  bool importedUnsaved_ = false;  // a network imported from field books, not yet in a file
  bool busy_ = false;
  QPointer<QWidget> focusBeforeBusy_;
  QString lastKnownPoints_;  // what the import's question was last answered
  QString lastCorrections_;  // and its question of the corrections (一、二等)
};

}  // namespace levelnet::ui
