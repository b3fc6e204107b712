// In-cell editing of one table: the floating editor laid over the current
// cell, opened by a key or a mouse press on the table, committed by Enter,
// which then advances to the next cell. Both tables use this one
// implementation; the window's twin handlers (MSFlexGrid1_KeyPress and
// MSFlexGrid2_KeyPress, Text1_KeyPress and Text2_KeyPress, ...) differ only
// in the table and editor they hand over.
#pragma once

namespace levelnet::ui {

class FlexGrid;
class TextBox;

class CellEditing {
 public:
  // `editor` is a text box on the same window as `grid`, in front of it.
  CellEditing(FlexGrid& grid, TextBox& editor) : grid_(grid), editor_(editor) {}

  // Keyboard placement: hides the editor, makes it as wide as the current
  // column and two screen pixels shorter than the current row, puts it at
  // the current cell's top-left corner, shows and focuses it. The text is
  // left alone.
  void showTextBox();

  // A character key typed into the table. Enter (13) opens the editor with
  // the current cell's text, caret at its end; any other code opens it
  // holding that one character, caret after it. The key is swallowed.
  // Typing never starts on a fixed cell: a current cell in the header row
  // or the number column first moves to the nearest data cell, as a mouse
  // press would; a table without data rows swallows the key and opens
  // nothing.
  void tableKeyPress(int& keyAscii);

  // A mouse press on the table: drops any uncommitted text, makes the cell
  // under the pointer current (clamped to the data cells), lays the editor
  // exactly over it holding its text, caret at the start, and focuses it.
  // Does nothing on a table without data rows.
  void tableMouseDown();

  // The current cell changed: the editor takes the new cell's text; its
  // visibility does not change.
  void tableRowColChange();

  // A key typed into the editor. Enter writes the editor's text into the
  // current cell exactly as it stands, hides the editor, focuses the table
  // and advances: next column, or column 1 of the next row after the last
  // column; the last cell of the last row stays current. Enter is swallowed;
  // other keys edit the text as usual.
  void editorKeyPress(int& keyAscii);

  // Hides the editor, dropping its text (New).
  void hideEditor();

 private:
  void moveToDataCell(int row, int col);

  FlexGrid& grid_;
  TextBox& editor_;
};

}  // namespace levelnet::ui
