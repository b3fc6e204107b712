// The character code a key press delivers to the KeyPress handlers of the
// tables, the editors and the count fields.
#pragma once

class QKeyEvent;

namespace levelnet::ui {

// 13 for Return and the keypad's Enter; 8 for Backspace, 27 for Escape;
// Ctrl+A..Ctrl+Z give their control codes 1..26; any other key that produces
// a character gives that character's 16-bit code. Keys that produce none
// (arrows, Page Up, Home, Tab, Delete, function keys, Alt+key) give 0.
int keyAsciiOf(const QKeyEvent& event);

}  // namespace levelnet::ui
