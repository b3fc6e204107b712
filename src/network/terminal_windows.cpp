#include "network/terminal.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace levelnet {

namespace {

// A console whose output code page is 936 (GBK); anything else gets UTF-8.
bool isGbkConsole(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0 && ::GetConsoleOutputCP() == 936; }

}  // namespace

bool standardOutputIsGbkTerminal() { return isGbkConsole(stdout); }

bool standardErrorIsGbkTerminal() { return isGbkConsole(stderr); }

}  // namespace levelnet
