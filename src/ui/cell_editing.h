// In-cell editing of one table: the floating editor laid over the current
// cell, opened by a key or a mouse press on the table, committed by Enter,
// which then advances to the next cell. The window keeps one CellEditing per
// table and connects the signals of that table and of its editor straight to
// the on... methods below, so both tables behave alike by construction.
//
// Nothing typed is lost: whatever takes the user away from an open editor
// (another cell, the other table, a command, closing) commits its text into
// the cell it was opened on first, as Enter would, without moving on. Only
// Escape drops it.
#pragma once

#include <QString>
#include <functional>

namespace levelnet::ui {

class CellGrid;
class KeyedLineEdit;

class CellEditing {
 public:
  // Told of every change the user makes to a cell: where, and the text
  // before and after (for undo).
  using CellEdited = std::function<void(int row, int column, const QString& before, const QString& after)>;

  // `editor` is a text field on the same window as `grid`, in front of it.
  // `cellEdited` runs whenever a cell's text is changed by the user.
  CellEditing(CellGrid& grid, KeyedLineEdit& editor, CellEdited cellEdited = {})
      : grid_(grid), editor_(editor), cellEdited_(std::move(cellEdited)) {}

  // Keyboard placement: hides the editor, makes it as wide as the current
  // column and two screen pixels shorter than the current row, puts it at
  // the current cell's top-left corner, shows and focuses it. The text is
  // left alone; the editor belongs to the current cell from now on.
  void showEditorOverCurrentCell();

  // A character typed into the table (its characterTyped signal). Enter (13)
  // opens the editor with the current cell's text, caret at its end; a
  // printable character opens it holding that one character, caret after
  // it; Backspace (8) clears the current cell; any other control character
  // (Escape, Ctrl+S, ...) does nothing. The key is swallowed (`code` is set to 0). Typing never starts
  // on a header cell: a current cell in the header row or the number column
  // first moves to the nearest data cell, as a mouse press would; a table
  // without data rows swallows the key and opens nothing.
  void onTableCharacter(int& code);

  // Delete on the table: clears the current data cell.
  void onTableDelete();

  // A mouse press on the table: commits an open editor, makes the cell under
  // the pointer current (clamped to the data cells), lays the editor exactly
  // over it holding its text, all of it selected, so that typing replaces
  // the value as typing on a cell reached by the keyboard does, and focuses
  // it. Does nothing on a table without data rows.
  void onTablePressed();

  // A double click, or F2 on the table: the current cell's text is edited,
  // caret at its end (an editor the first press opened keeps its place and
  // drops its selection).
  void onTableDoubleClicked();
  void onTableEditRequest();

  // The current cell changed: an open editor is committed into the cell it
  // belonged to and hidden; the editor then holds the new cell's text.
  void onCurrentCellChanged();

  // A character typed into the editor (its characterTyped signal). Enter
  // writes the editor's text into its cell, hides the editor, focuses the
  // table and advances: next column, or column 1 of the next row after the
  // last column; the last cell of the last row stays current. Escape hides
  // the editor and drops its text. Both are swallowed (`code` is set to 0);
  // other keys edit the text as usual.
  void onEditorCharacter(int& code);

  // Up (step -1) or Down (step +1) in the editor: commits and moves to the
  // cell above or below.
  void onEditorVertical(int step);

  // The editor lost the focus to another widget: commits it.
  void onEditorFocusLost();

  // Writes an open editor's text (control characters removed) into its cell
  // and hides the editor; the current cell does not move. Does nothing when
  // the editor is hidden.
  void commitEditor();

  // Hides the editor, dropping its text (New, Open).
  void hideEditor();

 private:
  // Whether the current cell is in the header row or the number column.
  bool onHeaderCell() const;
  void moveToDataCell(int row, int column);
  bool changeCell(int row, int column, const QString& text);

  CellGrid& grid_;
  KeyedLineEdit& editor_;
  CellEdited cellEdited_;
  int editRow_ = 0;  // the cell the open editor belongs to
  int editColumn_ = 0;
  bool committing_ = false;
};

}  // namespace levelnet::ui
