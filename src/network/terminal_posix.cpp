#include "network/terminal.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <string>

namespace levelnet {

namespace {

bool isGbkTerminal(int descriptor) {
  if (::isatty(descriptor) != 1) return false;
  // The character set of the user's locale, read without changing the
  // program's own locale for good (numbers never depend on it anyway).
  const char* previous = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  std::setlocale(LC_CTYPE, "");
  const std::string codeset = ::nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, saved.c_str());
  return codeset == "GBK" || codeset == "GB18030" || codeset == "GB2312" || codeset == "CP936";
}

}  // namespace

bool standardOutputIsGbkTerminal() { return isGbkTerminal(STDOUT_FILENO); }

bool standardErrorIsGbkTerminal() { return isGbkTerminal(STDERR_FILENO); }

}  // namespace levelnet
