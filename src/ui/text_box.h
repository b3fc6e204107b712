// A single-line text box that raises KeyPress with the character code of
// each key before the box acts on it, like the window's fields and the
// in-cell editors need.
#pragma once

#include <QLineEdit>

namespace levelnet::ui {

class TextBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit TextBox(QWidget* parent = nullptr);

 signals:
  // KeyAscii is the key's character code (see keyAsciiOf); a handler that
  // sets it to 0 swallows the key. Keys with code 0 raise no KeyPress.
  void KeyPress(int& KeyAscii);
  // The box lost the keyboard focus to another widget of the application
  // (not to another application or a popup menu).
  void FocusLost();
  // Up or Down was pressed (a one-line box has no use for them).
  void VerticalKey(int step);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace levelnet::ui
