#include <cerrno>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/console.h"
#include "cli/message_buffer.h"
#include "network/safe_file.h"
#include "network/terminal.h"

// Standard output is flushed and closed before the exit status is given, so
// a write that fails only then (a full disk, a closed pipe, a file system
// that reports errors on close) still ends in exit status 1, never 0.
int main(int argc, char** argv) {
  levelnet::cli::startWithHugePages(argv);
  std::ios::sync_with_stdio(false);
  levelnet::cli::prepareStandardStreams();
  // Messages show a control character they quote as text, and reach a GBK
  // terminal in GBK; the buffer is taken out again before the program
  // ends, standard error then flushed.
  struct Messages {
    std::unique_ptr<levelnet::cli::MessageBuffer> buffer;
    ~Messages() { std::cerr.rdbuf(buffer->terminal()); }
  } messages{std::make_unique<levelnet::cli::MessageBuffer>(std::cerr.rdbuf(), levelnet::standardErrorIsGbkTerminal())};
  std::cerr.rdbuf(messages.buffer.get());
  levelnet::cli::keepFreedMemoryForReuse();
  const std::vector<std::string> arguments = levelnet::cli::commandLineArguments(argc, argv);
  std::vector<const char*> args;
  for (const std::string& argument : arguments) args.push_back(argument.c_str());
  args.push_back(nullptr);
  int status =
      levelnet::runCommandLine(static_cast<int>(arguments.size()), args.data(), std::cin, std::cout, std::cerr);
  if (!std::cout) return status != 0 ? status : 1;  // a failed write, reported where it happened
  errno = 0;
  std::cout.flush();
  bool written = static_cast<bool>(std::cout);
  int error = errno;
  if (std::fclose(stdout) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    std::cerr << "levelnet: 无法写入标准输出：" << levelnet::systemErrorText(error ? error : EIO) << "\n";
    status = 1;
  }
  return status;
}
