#include "ui/keyed_line_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "ui/key_codes.h"

namespace levelnet::ui {

KeyedLineEdit::KeyedLineEdit(QWidget* parent) : QLineEdit(parent) {}

void KeyedLineEdit::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && event->modifiers() == Qt::NoModifier) {
    emit verticalKey(event->key() == Qt::Key_Up ? -1 : 1);
    event->accept();
    return;
  }
  // F2 edits the text shown: a selection (as a click leaves it, for typing
  // over) gives way to the caret at the end.
  if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier) {
    deselect();
    end(false);
    event->accept();
    return;
  }
  int code = characterCodeOf(*event);
  if (code != 0) {
    emit characterTyped(code);
    if (code == 0) {
      event->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(event);
}

void KeyedLineEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) emit focusLost();
}

}  // namespace levelnet::ui
