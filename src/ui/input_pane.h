// The input side of the window: the four count fields (已知点, 待定点, 观测值,
// 单位权长度) in their frame, the points table and the observation table with
// their floating editors, and the buttons 新建, 打开, 保存 and 平差, at the
// places they were designed with; the tables grow with the pane. The fields
// and cells show the session's network: every edit goes into it at once.
//
// Enter in 待定点 and 观测值 sizes and numbers their table; typing into a
// table opens its editor (CellEditing); every cell edit can be undone.
#pragma once

#include <QWidget>
#include <exception>
#include <memory>

#include "network/text_table.h"
#include "ui/cell_editing.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QUndoStack;

namespace levelnet::session {
class Session;
}

namespace levelnet::ui {

class CellDelegate;
class CellGrid;
class KeyedLineEdit;
class MessageBoxes;
class TableModel;

class InputPane : public QWidget {
  Q_OBJECT

 public:
  // `session` and `boxes` (for the count fields' warnings) must outlive the pane.
  InputPane(session::Session& session, MessageBoxes& boxes, QWidget* parent = nullptr);
  ~InputPane() override;

  // The parts, for the window's wiring and for tests.
  QGroupBox* countsFrame() const { return countsFrame_; }
  QLabel* countLabel(int field) const { return countLabels_[field]; }  // 0..3
  KeyedLineEdit* knownCountEdit() const { return countEdits_[0]; }
  KeyedLineEdit* unknownCountEdit() const { return countEdits_[1]; }
  KeyedLineEdit* observationCountEdit() const { return countEdits_[2]; }
  KeyedLineEdit* unitLengthEdit() const { return countEdits_[3]; }
  CellGrid* pointTable() const { return pointTable_; }
  CellGrid* observationTable() const { return observationTable_; }
  KeyedLineEdit* pointCellEditor() const { return pointEditor_; }
  KeyedLineEdit* observationCellEditor() const { return observationEditor_; }
  QPushButton* newButton() const { return buttons_[0]; }
  QPushButton* openButton() const { return buttons_[1]; }
  QPushButton* saveButton() const { return buttons_[2]; }
  QPushButton* adjustButton() const { return buttons_[3]; }
  // The cell edits, for 撤销 and 重做.
  QUndoStack* undoStack() const { return undoStack_; }

  // Stores what the open editors hold, so what is shown is what is used.
  void commitEditors();
  // Shows `network` as a fresh start (打开, an import): it becomes the
  // session's network; the editors closed without storing, nothing to undo,
  // columns widened to the texts, typing starts at the first data cell.
  void showNetwork(NetworkText network);
  // 新建: empty fields and tables with their header rows, the focus in 已知点.
  void startAfresh();
  // Puts the keyboard focus on the field or cell an input error names, so
  // the user can mend it at once; other errors change nothing.
  void showPlaceOf(const std::exception_ptr& error);
  // Whether the user changed a cell or field since markSaved: the undo
  // stack of cell edits is not at its clean state, or a field does not read
  // as it did. Undoing back to the saved state is no change.
  bool hasUnsavedEdits() const;
  // The data shown are as saved (or as opened, or new).
  void markSaved();
  // The widest the pane wants to be for its columns, in pixels.
  int wantedWidth() const;
  // The designed size, in pixels, the pane is never smaller than.
  static QSize designedSize();

 signals:
  // The user changed a field or a cell (typing, a table sized, undo, redo).
  void edited();
  // The columns grew beyond the pane's width: `pixels` would show them.
  void widthWanted(int pixels);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void createParts();
  void setUpTables();
  void layOut();
  void connectCellEditing(CellGrid* table, KeyedLineEdit* editor, CellEditing* editing);
  void cellEdited(CellGrid& table, int row, int column, const QString& before, const QString& after);
  void fitColumns(CellGrid& table, int row = -1);
  void askForWidth();
  bool sizeTable(CellGrid& table, KeyedLineEdit& countField, KeyedLineEdit* extraField);
  void onCountKey(int field, int& code);
  void warn(const QString& text);

  session::Session& session_;
  MessageBoxes& boxes_;
  class SessionCells;
  std::unique_ptr<SessionCells> pointCells_, observationCells_;
  std::unique_ptr<TableModel> pointModel_, observationModel_;
  CellDelegate* delegate_ = nullptr;
  QGroupBox* countsFrame_ = nullptr;
  QLabel* countLabels_[4] = {};
  KeyedLineEdit* countEdits_[4] = {};
  CellGrid* pointTable_ = nullptr;
  CellGrid* observationTable_ = nullptr;
  KeyedLineEdit* pointEditor_ = nullptr;
  KeyedLineEdit* observationEditor_ = nullptr;
  QPushButton* buttons_[4] = {};
  std::unique_ptr<CellEditing> pointEditing_, observationEditing_;
  QUndoStack* undoStack_ = nullptr;
  QString savedFields_[4];
  bool fieldEdited_[4] = {};
};

}  // namespace levelnet::ui
