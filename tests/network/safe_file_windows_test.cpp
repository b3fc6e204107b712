// The safe save on Windows, run under Wine: the target replaced only by a
// complete file, every refusal (read-only file or folder, a file another
// program holds open, a folder that does not exist) an error that leaves
// the old file and no temporary behind, and names with Chinese characters
// reaching the system as UTF-16.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "network/errors.h"
#include "network/safe_file.h"

namespace levelnet {
namespace {

namespace fs = std::filesystem;

fs::path fromUtf8(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8Of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(utf8Of(entry.path().filename()));
  return names;
}

class SafeFileOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / fromUtf8("levelnet 保存测试 " + std::to_string(::GetCurrentProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
      ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesW(folder_.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  fs::path folder_;
};

TEST_F(SafeFileOnWindows, NewAndReplacedFilesHoldExactlyTheBytes) {
  const fs::path target = folder_ / fromUtf8("城区网.pc");
  const std::string first = "3,9,19,1\r\n已知点\r\n", second(100000, '\n');
  saveFileSafely(utf8Of(target), first);
  EXPECT_EQ(read(target), first);
  saveFileSafely(utf8Of(target), second);
  EXPECT_EQ(read(target), second);  // binary: no \r added before \n
  EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"城区网.pc"});
}

// Each refusal: an error naming the file, the old bytes kept, no temporary.
TEST_F(SafeFileOnWindows, RefusalsLeaveTheOldFileAndNoTemporary) {
  struct Case {
    const char* what;
    const char* reason;  // in the message
  };
  const Case cases[] = {{"read-only file", "只读"}, {"open in another program", "另一个程序"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path target = folder_ / fromUtf8(std::string("成果 ") + c.what + ".pc");
    write(target, "old bytes");
    HANDLE held = INVALID_HANDLE_VALUE;
    if (std::string(c.what) == "read-only file") {
      ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    } else {
      held = ::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    try {
      saveFileSafely(utf8Of(target), "new bytes");
      ADD_FAILURE() << "the save succeeded";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(utf8Of(target.filename())), std::string::npos) << e.what();
    }
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read(target), "old bytes");
    fs::remove(target);
    EXPECT_TRUE(namesIn(folder_).empty());
  }
}

TEST_F(SafeFileOnWindows, MissingFolderIsAnError) {
  const fs::path target = folder_ / fromUtf8("没有的文件夹") / "a.pc";
  EXPECT_THROW(saveFileSafely(utf8Of(target), "bytes"), FileError);
  EXPECT_FALSE(fs::exists(target.parent_path()));
}

TEST_F(SafeFileOnWindows, StreamedSaveThatFailsKeepsTheOldFile) {
  const fs::path target = folder_ / "report.txt";
  write(target, "old report");
  EXPECT_THROW(saveFileSafely(utf8Of(target),
                              [](FileWriter& out) {
                                out.write("half of the new report");
                                throw std::runtime_error("the producer failed");
                              }),
               std::runtime_error);
  EXPECT_EQ(read(target), "old report");
  EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"report.txt"});
}

}  // namespace
}  // namespace levelnet
