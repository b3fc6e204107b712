// Text for a terminal whose character set is GBK (a Chinese Windows
// console, code page 936; a zh_CN.GBK locale): the program's messages and
// usage are UTF-8, and would show there as other characters.
#pragma once

#include <streambuf>
#include <string>

namespace levelnet::cli {

// A stream buffer that passes text on to `terminal` in GBK (messageToGbk), a
// line or a flush at a time; a character split between two writes waits for
// its rest. Put in front of standard error where it is such a terminal.
class GbkTerminalBuffer : public std::streambuf {
 public:
  explicit GbkTerminalBuffer(std::streambuf* terminal) : terminal_(terminal) {}
  ~GbkTerminalBuffer() override;
  GbkTerminalBuffer(const GbkTerminalBuffer&) = delete;
  GbkTerminalBuffer& operator=(const GbkTerminalBuffer&) = delete;
  std::streambuf* terminal() const { return terminal_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Converts and passes on the pending text up to `end`.
  bool passOn(std::size_t end);
  std::streambuf* terminal_;
  std::string pending_;
};

}  // namespace levelnet::cli
