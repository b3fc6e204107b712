// A single-line text field that reports the character code of each key
// before acting on it, so its owner can react to Enter or refuse a key; the
// count fields and the in-cell editors of the tables are such fields.
#pragma once

#include <QLineEdit>

namespace levelnet::ui {

class KeyedLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit KeyedLineEdit(QWidget* parent = nullptr);

 signals:
  // A key that produces a character code (see characterCodeOf), raised
  // before the field acts on it. A handler that sets `code` to 0 swallows
  // the key: the field then ignores it. Keys with code 0 raise nothing.
  void characterTyped(int& code);
  // The field lost the keyboard focus to another widget of the application
  // (not to another application or a popup menu).
  void focusLost();
  // Up (step -1) or Down (step +1) was pressed; a one-line field has no use
  // for them, so they are passed on instead. (F2 puts the caret at the end,
  // without a selection.)
  void verticalKey(int step);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace levelnet::ui
