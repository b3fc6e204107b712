// Saving over a file: modes and owners kept, symbolic links followed, refusals
// that leave everything as it was, failed writes, planted names, a process
// killed mid-save, two saves at once.
#include "network/safe_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "network/errors.h"

namespace levelnet {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

long entries(const fs::path& dir) { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

long openDescriptors() { return entries("/proc/self/fd"); }

mode_t modeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

// Contents that show any mixing of two versions: every line is numbered.
std::string numberedLines(char tag, std::size_t bytes) {
  std::string out;
  for (int i = 0; out.size() < bytes; ++i) out += tag + std::to_string(i) + "\r\n";
  out.resize(bytes);
  return out;
}

// Everything about a folder tree that a save could change: each entry's type,
// mode, owner and its contents or link text.
std::map<std::string, std::string> snapshot(const fs::path& root) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& p = it->path();
    struct stat st {};
    ::lstat(p.c_str(), &st);
    std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid);
    if (S_ISREG(st.st_mode)) state += " " + read(p);
    if (S_ISLNK(st.st_mode)) state += " -> " + fs::read_symlink(p).string();
    out[p.lexically_relative(root).string()] = state;
  }
  return out;
}

// The message of a refused save; a save that goes through is a failure.
std::string refusal(const std::string& path, const std::string& bytes) {
  try {
    saveFileSafely(path, bytes);
  } catch (const FileError& e) {
    return e.what();
  }
  ADD_FAILURE() << "saved to " << path;
  return "";
}

void expectRefusal(const std::string& message, const std::string& path, const std::string& reason) {
  EXPECT_EQ(message.rfind("无法保存到“" + path + "”：", 0), 0u) << message;
  EXPECT_NE(message.find(reason), std::string::npos) << message;
}

// Runs `body` in a forked child and returns its exit status and the text it
// returned, passed back through a pipe.
struct ChildResult {
  int status = -1;
  std::string text;
};

ChildResult inChild(const std::function<std::string()>& body) {
  int channel[2];
  if (::pipe(channel) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(channel[0]);
    std::string text;
    int code = 0;
    try {
      text = body();
    } catch (...) {
      code = 3;
    }
    const ssize_t ignored = ::write(channel[1], text.data(), text.size());
    (void)ignored;
    ::_exit(code);
  }
  ::close(channel[1]);
  ChildResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(channel[0], buffer, sizeof buffer)) > 0) result.text.append(buffer, static_cast<std::size_t>(n));
  ::close(channel[0]);
  ::waitpid(pid, &result.status, 0);
  return result;
}

class SafeFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::temp_directory_path() /
           ("levelnet_safe_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  void TearDown() override {
    safe_file_testing::namedTemporaryOnly = false;
    safe_file_testing::unnamedCannotBeLinked = false;
    safe_file_testing::beforeNamingTemporary = nullptr;
    if (!mounted_.empty()) ::umount2(mounted_.c_str(), MNT_DETACH);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (fs::is_directory(it->symlink_status(ec)))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  // Mounts a small tmpfs at `at`; false when this machine does not
  // allow it (a container without the capability). TearDown unmounts it.
  bool mountSmallFileSystem(const fs::path& at, const char* options) {
    fs::create_directories(at);
    if (::mount("tmpfs", at.c_str(), "tmpfs", 0, options) != 0) {
      mountError_ = std::strerror(errno);
      return false;
    }
    mounted_ = at.string();
    return true;
  }

  fs::path dir_;
  std::string mounted_;
  std::string mountError_;
};

// The same tests through the unnamed (O_TMPFILE) temporary and through the
// named one used where O_TMPFILE is missing.
class SafeFileBothWays : public SafeFileOnDisk, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    SafeFileOnDisk::SetUp();
    safe_file_testing::namedTemporaryOnly = GetParam();
  }
};

INSTANTIATE_TEST_SUITE_P(Temporaries, SafeFileBothWays, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Named" : "Unnamed"; });

TEST_P(SafeFileBothWays, NewFileGetsTheUmaskModeAndAReplacedFileKeepsItsMode) {
  struct Case {
    int oldMode;  // -1: no file yet
    mode_t umask;
    mode_t expected;
    std::size_t size;
  };
  const Case cases[] = {
      {-1, 022, 0644, 20},    {-1, 027, 0640, 0},   {-1, 077, 0600, 5000}, {0600, 022, 0600, 20},
      {0640, 022, 0640, 300}, {0604, 077, 0604, 1}, {0755, 000, 0755, 20}, {0660, 077, 0660, 4 << 20},
  };
  long files = 0;
  for (const Case& c : cases) {
    const fs::path target = dir_ / ("f" + std::to_string(files));
    if (c.oldMode >= 0) {
      write(target, "old contents");
      ::chmod(target.c_str(), static_cast<mode_t>(c.oldMode));
    }
    const std::string bytes = numberedLines('n', c.size);
    const mode_t saved = ::umask(c.umask);
    try {
      saveFileSafely(target.string(), bytes);
    } catch (const FileError& e) {
      ADD_FAILURE() << e.what();
    }
    ::umask(saved);
    ++files;
    EXPECT_TRUE(read(target) == bytes) << target;
    EXPECT_EQ(modeOf(target), c.expected) << target << " umask " << std::oct << c.umask;
    EXPECT_EQ(entries(dir_), files) << "a temporary file was left behind";
  }
}

TEST_F(SafeFileOnDisk, ReplacedFileKeepsItsOwnerGroupAndSetUserIdBit) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
  const fs::path target = dir_ / "owned";
  write(target, "old");
  ASSERT_EQ(::chown(target.c_str(), 4321, 8765), 0);
  ASSERT_EQ(::chmod(target.c_str(), 04750), 0);
  saveFileSafely(target.string(), "new");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 4321u);
  EXPECT_EQ(st.st_gid, 8765u);
  EXPECT_EQ(st.st_mode & 07777, 04750u);  // chown clears set-user-ID: the mode must be set after it
  EXPECT_EQ(read(target), "new");
}

TEST_P(SafeFileBothWays, LongestNamesStillGetATemporaryBesideThem) {
  std::string chinese;
  for (int i = 0; i < 85; ++i) chinese += "水";  // 255 bytes in UTF-8
  for (const std::string& name : {std::string(255, 'n'), chinese}) {
    const fs::path target = dir_ / name;
    write(target, "old");
    saveFileSafely(target.string(), "new");
    EXPECT_EQ(read(target), "new");
    fs::remove(target);
    EXPECT_EQ(entries(dir_), 0);
  }
}

TEST_F(SafeFileOnDisk, RelativePathsAreSavedInTheCurrentFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  ::symlink("plain.pc", "link");
  try {
    saveFileSafely("plain.pc", "first");
    saveFileSafely("link", "second");
  } catch (const FileError& e) {
    ADD_FAILURE() << e.what();
  }
  fs::current_path(before);
  EXPECT_EQ(read(dir_ / "plain.pc"), "second");
  EXPECT_TRUE(fs::is_symlink(dir_ / "link"));
  EXPECT_EQ(entries(dir_), 2);
}

TEST_P(SafeFileBothWays, SymbolicLinksStayLinksAndTheirTargetGetsTheBytes) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> setUp;  // builds the case in its folder
    const char* saved;                           // the path saved to, in the folder
    const char* real;                            // the file that must get the bytes
  };
  const Case cases[] = {
      {"absolute",
       [](const fs::path& d) {
         write(d / "real", "old");
         fs::create_symlink(d / "real", d / "link");
       },
       "link", "real"},
      {"relative into a subfolder",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         write(d / "sub/real", "old");
         fs::create_symlink("sub/real", d / "link");
       },
       "link", "sub/real"},
      {"relative to the link's own folder",
       [](const fs::path& d) {
         fs::create_directory(d / "a");
         fs::create_directory(d / "b");
         write(d / "b/real", "old");
         fs::create_symlink("../b/real", d / "a/link");
       },
       "a/link", "b/real"},
      {"dangling", [](const fs::path& d) { fs::create_symlink("new.pc", d / "link"); }, "link", "new.pc"},
      {"chain",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         write(d / "real", "old");
         fs::create_symlink("../real", d / "sub/l3");
         fs::create_symlink("sub/l3", d / "l2");
         fs::create_symlink(d / "l2", d / "l1");
       },
       "l1", "real"},
      {"forty links",
       [](const fs::path& d) {
         write(d / "real", "old");
         for (int i = 0; i < 40; ++i) {
           const std::string next = i == 39 ? std::string("real") : "l" + std::to_string(i + 1);
           fs::create_symlink(next, d / ("l" + std::to_string(i)));
         }
       },
       "l0", "real"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const fs::path d = dir_ / std::to_string(n++);
    fs::create_directory(d);
    c.setUp(d);
    std::map<std::string, std::string> before = snapshot(d);
    const bool created = !fs::exists(d / c.real);
    const std::string bytes = std::string("new contents for ") + c.name;
    try {
      saveFileSafely((d / c.saved).string(), bytes);
    } catch (const FileError& e) {
      ADD_FAILURE() << c.name << ": " << e.what();
    }
    EXPECT_EQ(read(d / c.real), bytes) << c.name;
    std::map<std::string, std::string> after = snapshot(d);
    EXPECT_EQ(after.size(), before.size() + (created ? 1 : 0)) << c.name << ": an entry appeared or vanished";
    before.erase(c.real);
    after.erase(c.real);
    EXPECT_EQ(after, before) << c.name << ": only the linked-to file may change";
  }
}

TEST_F(SafeFileOnDisk, RefusedTargetsAreLeftExactlyAsTheyWere) {
  struct Case {
    const char* name;
    std::function<std::string(const fs::path&)> setUp;  // builds the case, returns the path saved to
    const char* reason;
  };
  const auto longChain = [](const fs::path& d) {
    write(d / "real", "old");
    for (int i = 0; i < 41; ++i)
      fs::create_symlink(i == 40 ? std::string("real") : "l" + std::to_string(i + 1), d / ("l" + std::to_string(i)));
    return (d / "l0").string();
  };
  // A null device in the test's folder (root only): what a save must refuse
  // before it is ever let near the real one.
  const auto ownNull = [](const fs::path& d) {
    const fs::path device = d / "null";
    return ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? device.string() : std::string();
  };
  const Case cases[] = {
      {"read-only file",
       [](const fs::path& d) {
         write(d / "f", "old");
         fs::permissions(d / "f", fs::perms(0444));
         return (d / "f").string();
       },
       "文件只读"},
      {"link to a read-only file",
       [](const fs::path& d) {
         write(d / "f", "old");
         fs::permissions(d / "f", fs::perms(0444));
         fs::create_symlink("f", d / "link");
         return (d / "link").string();
       },
       "文件只读"},
      {"file in a read-only folder",
       [](const fs::path& d) {
         fs::create_directory(d / "ro");
         write(d / "ro/f", "old");
         fs::permissions(d / "ro", fs::perms(0555));
         return (d / "ro/f").string();
       },
       "文件夹只读"},
      {"new file in a read-only folder",
       [](const fs::path& d) {
         fs::create_directory(d / "ro");
         fs::permissions(d / "ro", fs::perms(0555));
         return (d / "ro/new").string();
       },
       "文件夹只读"},
      {"folder",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         return (d / "sub").string();
       },
       "这是一个文件夹"},
      {"link to a folder",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         fs::create_symlink("sub", d / "link");
         return (d / "link").string();
       },
       "这是一个文件夹（符号链接指向"},
      {"FIFO",
       [](const fs::path& d) {
         ::mkfifo((d / "fifo").c_str(), 0644);
         return (d / "fifo").string();
       },
       "不是普通文件"},
      {"device of our own", ownNull, "不是普通文件"},
      {"link to a device",
       [&](const fs::path& d) {
         const std::string device = ownNull(d);
         if (device.empty()) return device;
         fs::create_symlink(device, d / "link");
         return (d / "link").string();
       },
       "是一个设备文件，不是普通文件（符号链接指向“"},
      {"missing folder", [](const fs::path& d) { return (d / "missing/f.pc").string(); }, "文件夹不存在"},
      {"dangling link into a missing folder",
       [](const fs::path& d) {
         fs::create_symlink("missing/f.pc", d / "link");
         return (d / "link").string();
       },
       "文件夹不存在"},
      {"file used as a folder",
       [](const fs::path& d) {
         write(d / "f", "old");
         return (d / "f/new").string();
       },
       "路径中有一项不是文件夹"},
      {"link loop",
       [](const fs::path& d) {
         fs::create_symlink("b", d / "a");
         fs::create_symlink("a", d / "b");
         return (d / "a").string();
       },
       "符号链接层数太多"},
      {"forty-one links", longChain, "符号链接层数太多"},
      {"no file name", [](const fs::path& d) { return (d / "new").string() + "/"; }, "不是文件名"},
      {"empty path", [](const fs::path&) { return std::string(); }, "没有给出文件名"},
  };
  struct stat nullBefore {};
  ASSERT_EQ(::stat("/dev/null", &nullBefore), 0);
  int n = 0;
  for (const Case& c : cases) {
    const fs::path d = dir_ / std::to_string(n++);
    fs::create_directory(d);
    const std::string path = c.setUp(d);
    if (path.empty() && std::strcmp(c.name, "empty path") != 0) continue;  // no device nodes without root
    const std::map<std::string, std::string> before = snapshot(d);
    const long descriptors = openDescriptors();
    // A FIFO held open for reading and writing: a save that opened it could
    // not block, and whatever it wrote would be waiting to be read.
    struct stat st {};
    int fifo = -1;
    if (::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) fifo = ::open(path.c_str(), O_RDWR | O_NONBLOCK);

    expectRefusal(refusal(path, "new contents"), path, c.reason);

    if (fifo >= 0) {
      char byte;
      EXPECT_EQ(::read(fifo, &byte, 1), -1) << c.name << ": bytes were written into the FIFO";
      ::close(fifo);
    }
    EXPECT_EQ(openDescriptors(), descriptors) << c.name << ": a descriptor was left open";
    EXPECT_EQ(snapshot(d), before) << c.name;
  }

  // The real /dev/null, directly and through a link, only once every refusal
  // above held: a save that replaces devices must never reach the system's.
  ASSERT_FALSE(HasFailure()) << "/dev/null not tried: a refusal above failed";
  fs::create_symlink("/dev/null", dir_ / "to-null");
  const std::map<std::string, std::string> before = snapshot(dir_);
  expectRefusal(refusal("/dev/null", "new contents"), "/dev/null", "是一个设备文件，不是普通文件");
  expectRefusal(refusal((dir_ / "to-null").string(), "new contents"), (dir_ / "to-null").string(),
                "不是普通文件（符号链接指向“/dev/null”）");
  struct stat nullAfter {};
  ASSERT_EQ(::stat("/dev/null", &nullAfter), 0);
  EXPECT_TRUE(S_ISCHR(nullAfter.st_mode));
  EXPECT_EQ(nullAfter.st_ino, nullBefore.st_ino) << "/dev/null was replaced";
  EXPECT_EQ(nullAfter.st_rdev, nullBefore.st_rdev);
  EXPECT_EQ(snapshot(dir_), before);
}

TEST_P(SafeFileBothWays, WriteBeyondTheFileSizeLimitLeavesTheOldFile) {
  const fs::path target = dir_ / "limited.pc";
  const std::string old = numberedLines('o', 100);
  write(target, old);
  const ChildResult child = inChild([&] {
    const rlimit limit{16384, 16384};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, SIG_IGN);
    try {
      saveFileSafely(target.string(), numberedLines('n', 1 << 20));
      return std::string("saved");
    } catch (const FileError& e) {
      return std::string(e.what());
    }
  });
  ASSERT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << "child status " << child.status;
  expectRefusal(child.text, target.string(), "文件太大");
  EXPECT_TRUE(read(target) == old);
  EXPECT_EQ(entries(dir_), 1) << "a temporary file was left behind";
}

TEST_P(SafeFileBothWays, FullFileSystemLeavesTheOldFile) {
  const fs::path mount = dir_ / "small";
  if (!mountSmallFileSystem(mount, "size=256k")) GTEST_SKIP() << "cannot mount a tmpfs here: " << mountError_;
  const fs::path target = mount / "net.pc";
  write(target, "old contents");
  {
    const int filler = ::open((mount / "filler").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    ::close(filler);
  }
  const std::string bytes = numberedLines('n', 64 << 10);
  expectRefusal(refusal(target.string(), bytes), target.string(), "磁盘空间不足");
  EXPECT_EQ(read(target), "old contents");
  EXPECT_EQ(entries(mount), 2) << "a temporary file was left behind";

  fs::remove(mount / "filler");  // with room again the same save goes through
  saveFileSafely(target.string(), bytes);
  EXPECT_TRUE(read(target) == bytes);
  EXPECT_EQ(entries(mount), 1);
}

TEST_F(SafeFileOnDisk, ReadOnlyFileSystemIsRefused) {
  const fs::path mount = dir_ / "ro";
  if (!mountSmallFileSystem(mount, "size=64k")) GTEST_SKIP() << "cannot mount a tmpfs here: " << mountError_;
  write(mount / "net.pc", "old contents");
  ASSERT_EQ(::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0) << std::strerror(errno);
  for (const fs::path& target : {mount / "net.pc", mount / "new.pc"})
    expectRefusal(refusal(target.string(), "new"), target.string(), "文件系统只读");
  EXPECT_EQ(read(mount / "net.pc"), "old contents");
  EXPECT_EQ(entries(mount), 1);
}

TEST_P(SafeFileBothWays, NamesPlantedAtTheTemporaryNameAreNeitherFollowedNorTouched) {
  const fs::path target = dir_ / "net.pc";
  const fs::path victim = dir_ / "victim";
  write(target, "old");
  write(victim, "victim's bytes");
  std::vector<fs::path> planted;
  safe_file_testing::beforeNamingTemporary = [&](const std::string& temporary) {
    EXPECT_EQ(fs::path(temporary).parent_path(), dir_);
    if (planted.size() == 0) fs::create_symlink(victim, temporary);
    if (planted.size() == 1) write(temporary, "someone else's");
    if (planted.size() == 2) fs::create_symlink("dangling", temporary);
    if (planted.size() < 3) planted.push_back(temporary);
  };
  saveFileSafely(target.string(), "new");
  safe_file_testing::beforeNamingTemporary = nullptr;
  ASSERT_EQ(planted.size(), 3u) << "each taken name must lead to a fresh one";
  EXPECT_EQ(read(target), "new");
  EXPECT_EQ(read(victim), "victim's bytes");
  EXPECT_EQ(fs::read_symlink(planted[0]), victim);
  EXPECT_EQ(read(planted[1]), "someone else's");
  EXPECT_EQ(fs::read_symlink(planted[2]), "dangling");
  EXPECT_FALSE(fs::exists(dir_ / "dangling"));
  EXPECT_EQ(entries(dir_), 5);
}

TEST_F(SafeFileOnDisk, UnnamedTemporaryIsCompleteBeforeItGetsAName) {
  const int probe = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (probe < 0) GTEST_SKIP() << "no O_TMPFILE on this file system: " << std::strerror(errno);
  ::close(probe);
  const fs::path target = dir_ / "net.pc";
  write(target, "old");
  const std::string bytes = numberedLines('n', 100000);
  int calls = 0;
  safe_file_testing::beforeNamingTemporary = [&](const std::string& temporary) {
    ++calls;
    EXPECT_EQ(entries(dir_), 1) << "a name exists while the temporary is being written";
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
    // The unnamed file is reachable only through its descriptor.
    std::vector<std::string> unnamed;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      const std::string shown = fs::read_symlink(fd.path(), ec).string();
      if (shown.rfind(dir_.string() + "/#", 0) == 0) unnamed.push_back(read(fd.path()));
    }
    ASSERT_EQ(unnamed.size(), 1u);
    EXPECT_TRUE(unnamed[0] == bytes) << "only " << unnamed[0].size() << " bytes written before naming";
  };
  saveFileSafely(target.string(), bytes);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(read(target) == bytes);
  EXPECT_EQ(entries(dir_), 1);
}

// Streamed contents: written piece by piece while the old file is still in
// place, then put there whole; a producer that fails or is refused a write
// leaves the old file and no temporary. Also where the complete unnamed
// temporary cannot be linked (no /proc): its bytes are copied to a named one.
TEST_P(SafeFileBothWays, StreamedContentsReplaceTheFileOnlyWhenComplete) {
  for (const bool linkFails : {false, true}) {
    SCOPED_TRACE(linkFails ? "unnamed temporary cannot be linked" : "ordinary");
    safe_file_testing::unnamedCannotBeLinked = linkFails;
    const fs::path target = dir_ / "report.txt";
    write(target, "old report");
    const std::string piece = numberedLines('s', 300000);
    saveFileSafely(target.string(), [&](FileWriter& file) {
      for (int i = 0; i < 4; ++i) {
        file.write(piece);
        EXPECT_EQ(read(target), "old report") << "replaced before the last piece";
      }
    });
    EXPECT_TRUE(read(target) == piece + piece + piece + piece);
    EXPECT_EQ(entries(dir_), 1) << "a temporary file was left behind";

    EXPECT_THROW(saveFileSafely(target.string(),
                                [&](FileWriter& file) {
                                  file.write(piece);
                                  throw InputError("the run was refused");
                                }),
                 InputError);
    EXPECT_TRUE(read(target) == piece + piece + piece + piece);
    EXPECT_EQ(entries(dir_), 1) << "a temporary file was left behind";
  }
  safe_file_testing::unnamedCannotBeLinked = false;
}

TEST_P(SafeFileBothWays, StreamedWriteToAFullFileSystemFailsTheSave) {
  const fs::path mount = dir_ / "small";
  if (!mountSmallFileSystem(mount, "size=256k")) GTEST_SKIP() << "cannot mount a tmpfs here: " << mountError_;
  const fs::path target = mount / "report.txt";
  write(target, "old report");
  int pieces = 0;
  const std::string message = [&] {
    try {
      saveFileSafely(target.string(), [&](FileWriter& file) {
        for (; pieces < 100; ++pieces) file.write(numberedLines('f', 16384));
      });
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("saved");
  }();
  expectRefusal(message, target.string(), "磁盘空间不足");
  EXPECT_LT(pieces, 100) << "the failed write did not stop the producer";
  EXPECT_EQ(read(target), "old report");
  EXPECT_EQ(entries(mount), 1) << "a temporary file was left behind";
}

TEST_P(SafeFileBothWays, KilledSaveLeavesEitherTheWholeOldOrTheWholeNewFile) {
  const fs::path target = dir_ / "net.pc";
  const std::string first = numberedLines('a', 1 << 20);
  const std::string second = numberedLines('b', 3 << 19);
  write(target, first);
  std::mt19937 random(static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed()));
  for (int round = 0; round < 20; ++round) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      try {
        for (int i = 0;; ++i) saveFileSafely(target.string(), i % 2 ? first : second);
      } catch (...) {
      }
      ::_exit(1);
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(0, 15000)(random));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself in round " << round;
    const std::string now = read(target);
    ASSERT_TRUE(now == first || now == second) << "round " << round << ": " << now.size() << " bytes of a mixture";
  }
  // A killed save may leave its named temporary, never anything else.
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    if (name == "net.pc") continue;
    const std::string prefix = ".net.pc.";
    bool temporary = name.size() == prefix.size() + 6 + 4 && name.rfind(prefix, 0) == 0 &&
                     name.compare(name.size() - 4, 4, ".tmp") == 0;
    for (std::size_t i = prefix.size(); temporary && i < prefix.size() + 6; ++i)
      temporary = std::isalnum(static_cast<unsigned char>(name[i])) != 0;
    EXPECT_TRUE(temporary) << name;
  }
}

// On the named route (no O_TMPFILE, as on network shares) Ctrl+C or a kill
// by SIGTERM while the temporary is being written removes it: nothing is
// left but the whole old file.
TEST_F(SafeFileOnDisk, InterruptedNamedSaveLeavesNoTemporary) {
  const fs::path target = dir_ / "net.pc";
  write(target, "old contents");
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(ready[0]);
      safe_file_testing::namedTemporaryOnly = true;
      try {
        saveFileSafely(target.string(), [&](FileWriter& file) {
          file.write(numberedLines('n', 64 << 10));
          const char byte = 1;
          if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
          for (;;) ::pause();  // the temporary exists and is being written
        });
      } catch (...) {
      }
      ::_exit(1);
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(entries(dir_), 2) << "the named temporary should exist while the save runs";
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_EQ(read(target), "old contents");
    EXPECT_EQ(entries(dir_), 1) << "a temporary was left after signal " << signal;
  }
}

TEST_P(SafeFileBothWays, TwoSavesAtOnceLeaveOneWholeResult) {
  // One process saves through a symbolic link, the other through the real
  // name, as two windows showing the same file would.
  fs::create_directory(dir_ / "data");
  const fs::path real = dir_ / "data/net.pc";
  const fs::path link = dir_ / "net.pc";
  const std::string old = "old contents";
  write(real, old);
  ::chmod(real.c_str(), 0640);
  fs::create_symlink("data/net.pc", link);
  const fs::path paths[] = {link, real};
  const std::string contents[] = {numberedLines('a', 256 << 10), numberedLines('b', 384 << 10)};
  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t children[2];
  for (int k = 0; k < 2; ++k) {
    children[k] = ::fork();
    ASSERT_GE(children[k], 0);
    if (children[k] == 0) {
      ::close(start[1]);
      char byte;
      while (::read(start[0], &byte, 1) > 0) {  // both start when the pipe closes
      }
      try {
        for (int i = 0; i < 15; ++i) saveFileSafely(paths[k].string(), contents[k]);
      } catch (...) {
        ::_exit(1);
      }
      ::_exit(0);
    }
  }
  ::close(start[0]);
  ::close(start[1]);
  int running = 2;
  int mixtures = 0;
  int statuses[2] = {-1, -1};
  while (running > 0) {
    const std::string now = read(real);
    if (now != old && now != contents[0] && now != contents[1]) ++mixtures;
    for (int k = 0; k < 2; ++k) {
      if (statuses[k] == -1 && ::waitpid(children[k], &statuses[k], WNOHANG) == children[k]) --running;
    }
  }
  for (int k = 0; k < 2; ++k) EXPECT_TRUE(WIFEXITED(statuses[k]) && WEXITSTATUS(statuses[k]) == 0) << k;
  EXPECT_EQ(mixtures, 0) << "a reader saw a partly written file";
  const std::string now = read(real);
  EXPECT_TRUE(now == contents[0] || now == contents[1]) << now.size() << " bytes";
  EXPECT_EQ(modeOf(real), 0640u);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(entries(dir_), 2) << "a temporary file was left behind";
  EXPECT_EQ(entries(dir_ / "data"), 1) << "a temporary file was left behind";
}

// /dev/stdout, /dev/fd/N and /proc/self/fd/N lead to files the process
// has open: a save through them would replace a file that standard output
// appends to, wiping what was written before. They are refused.
TEST_F(SafeFileOnDisk, OpenFileLinksOfProcAreRefused) {
  const fs::path log = dir_ / "log.txt";
  std::ofstream(log, std::ios::binary) << "earlier output\n";
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (const std::string& path : {"/proc/self/fd/" + std::to_string(fd), "/dev/fd/" + std::to_string(fd)}) {
    if (!fs::exists(path)) continue;
    try {
      saveFileSafely(path, "new contents");
      ADD_FAILURE() << path << " was saved to";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find("要写到标准输出请用 -"), std::string::npos) << e.what();
    }
    EXPECT_EQ(read(log), "earlier output\n") << path;
  }
  ::close(fd);
  EXPECT_EQ(entries(dir_), 1);
}

TEST(SystemErrorText, CommonErrorsInChineseOthersWithTheirNumber) {
  const std::pair<int, const char*> cases[] = {
      {EACCES, "没有权限"},
      {EPERM, "没有权限"},
      {ENOSPC, "磁盘空间不足"},
      {EDQUOT, "磁盘空间不足"},
      {EROFS, "文件系统只读"},
      {ENOENT, "文件或文件夹不存在"},
      {ENOTDIR, "路径中有一项不是文件夹"},
      {EISDIR, "这是一个文件夹"},
      {EFBIG, "文件太大"},
      {EIO, "读写设备出错"},
      {ENAMETOOLONG, "文件名太长"},
      {ELOOP, "符号链接层数太多"},
      {EMFILE, "打开的文件太多"},
      {EXDEV, "不能跨文件系统改名"},
      {EAGAIN, "资源暂时不可用"},
  };
  for (const auto& [error, text] : cases) EXPECT_EQ(systemErrorText(error), text) << error;
  EXPECT_EQ(systemErrorText(EOPNOTSUPP),
            "系统错误 " + std::to_string(EOPNOTSUPP) + "（" + std::strerror(EOPNOTSUPP) + "）");
  const std::string unknown = systemErrorText(9999);
  EXPECT_EQ(unknown.rfind("系统错误 9999（", 0), 0u) << unknown;
  EXPECT_EQ(unknown.substr(unknown.size() - 3), "）");
}

}  // namespace
}  // namespace levelnet
