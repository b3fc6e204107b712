// The character code of a key press: what the tables, the in-cell editors
// and the count fields receive through their characterTyped signals. One
// integer covers both the printable characters and the few control keys the
// window acts on (Enter, Backspace, Escape), so a handler can test for them
// and swallow a key by setting the code to 0.
#pragma once

class QKeyEvent;

namespace levelnet::ui {

// The control codes the handlers compare against.
inline constexpr int kEnterCode = 13;
inline constexpr int kBackspaceCode = 8;
inline constexpr int kEscapeCode = 27;

// 13 for Return and the keypad's Enter; 8 for Backspace, 27 for Escape;
// Ctrl+A..Ctrl+Z give their control codes 1..26; any other key that produces
// a character gives that character's 16-bit code. Keys that produce none
// (arrows, Page Up, Home, Tab, Delete, function keys, Alt+key) give 0.
int characterCodeOf(const QKeyEvent& event);

}  // namespace levelnet::ui
