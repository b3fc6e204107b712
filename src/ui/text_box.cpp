#include "ui/text_box.h"

#include <QKeyEvent>

#include "ui/key_ascii.h"

namespace levelnet::ui {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::keyPressEvent(QKeyEvent* event) {
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
