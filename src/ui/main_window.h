// The main window: the four parameter fields, the points table and the
// observation table with their in-cell editors, the commands New, Open,
// Save and Adjust, and the report view. The handlers stay thin: the engine
// reads, writes and adjusts the network; CellGrid and CellEditing do the
// table work.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "network/text_table.h"
#include "ui/cell_editing.h"
#include "ui/dialogs.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace levelnet::ui {

class CellGrid;
class FileDialogs;
class KeyedLineEdit;
class MessageBoxes;

class MainWindow : public QWidget {
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

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createWidgets();
  void connectSignals();
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
};

}  // namespace levelnet::ui
