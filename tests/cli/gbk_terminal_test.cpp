// Messages on a GBK terminal: converted a line or a flush at a time, a
// character split between writes kept whole, what GBK has not shown as "?".
#include "cli/gbk_terminal.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

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
    GbkTerminalBuffer buffer(&terminal);
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
