// Messages on standard error: control characters they quote shown as text;
// on a GBK terminal converted a line or a flush at a time, a character split
// between writes kept whole, what GBK has not shown as "?".
#include "cli/message_buffer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

#include "network/errors.h"
#include "network/gbk.h"

namespace levelnet::cli {
namespace {

std::string shown(const std::string& gbk) {
  const DecodedText decoded = gbkToUtf8(gbk);
  EXPECT_FALSE(decoded.badOffset) << gbk;
  return decoded.text;
}

TEST(GbkTerminal, MessagesReachTheTerminalInGbk) {
  std::stringbuf terminal;
  {
    MessageBuffer buffer(&terminal, true);
    std::ostream err(&buffer);
    err << "levelnet: 无法打开文件“a.pc”："
        << "没有权限\n";
    EXPECT_EQ(shown(terminal.str()), "levelnet: 无法打开文件“a.pc”：没有权限\n");
    // Standard error flushes after every insertion: a character whose bytes
    // come in two writes is passed on once it is whole.
    const std::string split = "点";
    err.write(split.data(), 2);
    err.flush();
    EXPECT_EQ(shown(terminal.str()), "levelnet: 无法打开文件“a.pc”：没有权限\n");
    err.write(split.data() + 2, 1);
    err.flush();
    EXPECT_EQ(shown(terminal.str()), "levelnet: 无法打开文件“a.pc”：没有权限\n点");
    err << "“😀”∇h − 1，σ²";
    err.flush();
    EXPECT_EQ(shown(terminal.str()), "levelnet: 无法打开文件“a.pc”：没有权限\n点“?”▽h － 1，σ^2");
    err << "\n字节 \xFF\xE7";  // a byte that is no UTF-8, then a character never finished
  }
  EXPECT_EQ(shown(terminal.str()), "levelnet: 无法打开文件“a.pc”：没有权限\n点“?”▽h － 1，σ^2\n字节 ??");
}

TEST(Messages, ControlCharactersTheyQuoteAreShownAsText) {
  const struct {
    std::string message;
    std::string shown;
  } cases[] = {
      {"“1.5”不是数", "“1.5”不是数"},
      {"无法平差，输入有以下问题：\n第 1 行", "无法平差，输入有以下问题：\n第 1 行"},
      {std::string("“1.5\0x”不是数", 20), "“1.5\\x00x”不是数"},
      {"“P\x1B[31m”", "“P\\x1B[31m”"},
      {"\r\t\x7F", "\\x0D\\x09\\x7F"},
      {"“a\xC2\x9B"
       "b”、“é”",
       "“a\\u009Bb”、“é”"},
      {"\xC2", "\xC2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printableMessage(c.message), c.shown) << c.message;
    // Every error of the engine keeps its whole message, shown so.
    EXPECT_EQ(std::string(InputError(c.message).what()), c.shown);
  }
  // The buffer in front of standard error does the same for every message,
  // UTF-8 kept where the terminal is not GBK.
  std::stringbuf terminal;
  {
    MessageBuffer buffer(&terminal, false);
    std::ostream err(&buffer);
    err << "levelnet: 无法打开文件“/tmp/a\x1B[31mb.pc”\n";
  }
  EXPECT_EQ(terminal.str(), "levelnet: 无法打开文件“/tmp/a\\x1B[31mb.pc”\n");
}

TEST(GbkTerminal, MessageTextForAGbkTerminalNeverFails) {
  const struct {
    const char* utf8;
    const char* asShown;
  } cases[] = {
      {"", ""},
      {"ASCII only\r\n", "ASCII only\r\n"},
      {"点名“谢鹬”", "点名“谢鹬”"},
      {"∇h、aᵀ、t₀、Šidák", "▽h、a^T、t0、Sidák"},
      {"😀\xC3", "??"},
  };
  for (const auto& c : cases) EXPECT_EQ(shown(messageToGbk(c.utf8)), c.asShown) << c.utf8;
}

}  // namespace
}  // namespace levelnet::cli
