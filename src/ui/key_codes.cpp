#include "ui/key_codes.h"

#include <QKeyEvent>

namespace levelnet::ui {

int characterCodeOf(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers();
  const bool ctrl = mods.testFlag(Qt::ControlModifier);
  const bool alt = mods.testFlag(Qt::AltModifier);
  const int key = event.key();
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return alt ? 0 : kEnterCode;
    case Qt::Key_Backspace:
      return alt ? 0 : kBackspaceCode;
    case Qt::Key_Escape:
      return kEscapeCode;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
      return 0;
    default:
      break;
  }
  // Alt+key is a menu or access key, never a character (AltGr arrives as its
  // own modifier on X11 and as Ctrl+Alt elsewhere, and still types).
  if (alt && !ctrl) return 0;
  if (ctrl && !alt) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
    const QString text = event.text();
    return !text.isEmpty() && text.at(0).unicode() < 0x20 ? text.at(0).unicode() : 0;
  }
  const QString text = event.text();
  if (text.isEmpty()) return 0;
  const char16_t code = text.at(0).unicode();
  // Delete arrives as 0x7f on some platforms; it is an editing key here.
  if (code == 0x7f || code == u'\t') return 0;
  return code;
}

}  // namespace levelnet::ui
