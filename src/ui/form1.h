// The main window: the four parameter fields, the points table and the
// observation table with their in-cell editors, the commands New, Open,
// Save and Adjust, and the report box. Handlers are named after their
// control and event and stay thin: the engine reads, writes and adjusts the
// network; the grid adapter and CellEditing do the table work.
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

class FileDialogs;
class FlexGrid;
class MessageBoxes;
class TextBox;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // The window in its first state (Form_Load has run). `dialogs` and `boxes`
  // stand in for the file dialog and the message boxes (tests); null gives
  // Qt's. They must outlive the window.
  explicit Form1(FileDialogs* dialogs = nullptr, MessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
  ~Form1() override;

  // Loads a .pc file as Open does once its dialog has chosen `path`. A file
  // that cannot be used is reported in a message box and changes nothing.
  // Returns whether the file was loaded.
  bool openFile(const QString& path);

  // The name the file dialog starts with: the last one chosen.
  QString dialogFileName() const { return cd1FileName_; }

  // The controls, by their names in the window's design.
  QGroupBox* Frame1 = nullptr;
  QLabel* Label1[4] = {};
  TextBox* txtKnow = nullptr;
  TextBox* txtUnknow = nullptr;
  TextBox* Text3 = nullptr;
  TextBox* Text4 = nullptr;
  FlexGrid* MSFlexGrid1 = nullptr;  // PointTable
  FlexGrid* MSFlexGrid2 = nullptr;  // ObservationTable
  QPlainTextEdit* txtOutput = nullptr;
  QPushButton* cmdNew = nullptr;
  QPushButton* cmdOpen = nullptr;
  QPushButton* cmdSave = nullptr;
  QPushButton* cmdRun = nullptr;
  QLabel* Label2 = nullptr;
  TextBox* Text1 = nullptr;  // in-cell editor of MSFlexGrid1
  TextBox* Text2 = nullptr;  // in-cell editor of MSFlexGrid2

  void Setup();
  // Offers to save unsaved changes before the window closes. True when it
  // may close: nothing changed, the user answered No, or the save succeeded;
  // false when the user cancelled, the save dialog was cancelled or the save
  // failed, and the data must stay as they are.
  bool ExitSystem();

  // Whether a field or cell was edited since the last Open, Save or New.
  bool isModified() const { return modified_; }
  // The file the window's data came from or went to last; empty for none.
  QString currentFile() const { return currentFile_; }
  void ShowTextBox1();
  void ShowTextBox2();

 public slots:
  void cmdNew_Click();
  void cmdOpen_Click();
  void cmdSave_Click();
  // Save with its dialog; true only when a file was written.
  bool saveWithDialog();
  void cmdRun_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void createWidgets();
  void connectSignals();
  void Form_Load();

  void txtKnow_KeyPress(int& KeyAscii);
  void txtUnknow_KeyPress(int& KeyAscii);
  void Text3_KeyPress(int& KeyAscii);
  void MSFlexGrid1_KeyPress(int& KeyAscii);
  void MSFlexGrid1_MouseDown(int Button, int Shift, int X, int Y);
  void MSFlexGrid1_RowColChange();
  void MSFlexGrid1_DblClick();
  void Text1_KeyPress(int& KeyAscii);
  void MSFlexGrid2_KeyPress(int& KeyAscii);
  void MSFlexGrid2_MouseDown(int Button, int Shift, int X, int Y);
  void MSFlexGrid2_RowColChange();
  void MSFlexGrid2_DblClick();
  void Text2_KeyPress(int& KeyAscii);

  // Sizes `grid` for the count in `countText` (plus `extraText` where not
  // null) and numbers its rows; false, with a message naming the field, when
  // a count is not usable.
  bool sizeTable(FlexGrid& grid, TextBox& countField, TextBox* extraField);
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
  QString cd1FileName_;  // the file dialog's remembered name
  QString currentFile_;  // shown in the title; empty: 未命名
  bool modified_ = false;
  std::unique_ptr<CellEditing> pointEditing_;
  std::unique_ptr<CellEditing> observationEditing_;
};

}  // namespace levelnet::ui
