#include "ui/text_box.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "ui/key_ascii.h"

namespace levelnet::ui {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && event->modifiers() == Qt::NoModifier) {
    emit VerticalKey(event->key() == Qt::Key_Up ? -1 : 1);
    event->accept();
    return;
  }
  int keyAscii = keyAsciiOf(*event);
  if (keyAscii != 0) {
    emit KeyPress(keyAscii);
    if (keyAscii == 0) {
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace levelnet::ui

namespace levelnet::ui {

void TextBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) emit FocusLost();
}

}  // namespace levelnet::ui
