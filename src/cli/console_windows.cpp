// Windows: the arguments from the UTF-16 command line (the char argv holds
// them in the ANSI code page, where a Chinese file name may be lost), the
// standard streams in binary mode.
#include <windows.h>
// after windows.h, whose types it uses
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "cli/console.h"
#include "network/wide_text_windows.h"

namespace levelnet::cli {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8Text(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void prepareStandardStreams() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

void keepFreedMemoryForReuse() {}

void startWithHugePages(char**) {}

}  // namespace levelnet::cli
