// The program's messages on their way to standard error: a control
// character they quote from the input (an escape sequence that a terminal
// would act on) shown as text, and on a terminal whose character set is GBK
// (a Chinese Windows console, code page 936; a zh_CN.GBK locale) the text in
// GBK, where its UTF-8 would show as other characters.
#pragma once

#include <streambuf>
#include <string>

namespace levelnet::cli {

// A stream buffer that passes text on to `terminal` a line or a flush at a
// time, its control characters but the line break written as
// printableMessage writes them, and with `gbk` in GBK (messageToGbk); a
// character split between two writes waits for its rest. Put in front of
// standard error.
class MessageBuffer : public std::streambuf {
 public:
  MessageBuffer(std::streambuf* terminal, bool gbk) : terminal_(terminal), gbk_(gbk) {}
  ~MessageBuffer() override;
  MessageBuffer(const MessageBuffer&) = delete;
  MessageBuffer& operator=(const MessageBuffer&) = delete;
  std::streambuf* terminal() const { return terminal_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;
  int sync() override;

 private:
  // Converts and passes on the pending text up to `end`.
  bool passOn(std::size_t end);
  std::streambuf* terminal_;
  bool gbk_;
  std::string pending_;
};

}  // namespace levelnet::cli
