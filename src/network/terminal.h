// Whether the program's standard streams are terminals in GBK: a Windows
// console whose output code page is 936, or a terminal whose locale's
// character set is GBK (or GB18030, GB2312); false for files and pipes. One
// unit per system (terminal_posix.cpp, terminal_windows.cpp).
#pragma once

namespace levelnet {

bool standardOutputIsGbkTerminal();
bool standardErrorIsGbkTerminal();

}  // namespace levelnet
