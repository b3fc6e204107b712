// The safe save and the terminal's encoding on POSIX systems (Linux): descriptors
// relative to the target's folder, O_TMPFILE, linkat and renameat.
#include "network/safe_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "network/errors.h"
#include "network/temporary_cleanup.h"

namespace levelnet {
namespace {

std::string quoted(const std::string& text) { return "“" + text + "”"; }

// The kernel's own limit on links followed in one path.
constexpr int kMaxSymlinkHops = 40;

// The part of the original name kept in a temporary name: enough to tell whose
// temporary it is, short enough that the whole name fits every file system.
constexpr std::size_t kMaxNameInTemporary = 100;

// Attempts at a fresh temporary name before giving up; with 62^6 names a
// collision happens only when someone occupies names on purpose.
constexpr int kNameAttempts = 100;

// Owns one file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  // Closes now. On Linux the descriptor is gone even when close reports an
  // error (EINTR included), so it is never closed twice; the error is returned.
  int reset() {
    int result = 0;
    if (fd_ >= 0) result = ::close(fd_);
    fd_ = -1;
    return result;
  }
  void adopt(int fd) {
    reset();
    fd_ = fd;
  }

 private:
  int fd_;
};

// The directory part of a path as the kernel reads it ("." when there is none).
std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where a relative link target leads: beside the link, not the current folder.
// The text is joined, not normalised, so ".." is resolved by the kernel as it
// resolves the link itself.
std::string besideLink(const std::string& link, const std::string& target) {
  if (!target.empty() && target.front() == '/') return target;
  const std::size_t slash = link.rfind('/');
  return slash == std::string::npos ? target : link.substr(0, slash + 1) + target;
}

// The process's umask without changing it: Linux shows it in
// /proc/self/status; elsewhere it is set and put back, which is safe for this
// process's own files only while no other thread creates a file meanwhile.
mode_t currentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8)) & 0777;
  }
  static std::mutex guard;
  const std::lock_guard<std::mutex> lock(guard);
  const mode_t mask = ::umask(077);
  ::umask(mask);
  return mask;
}

// Six random letters or digits. Fresh randomness is drawn each time (never a
// seeded generator), so processes forked from one parent pick different names.
std::string randomLetters() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t bits = 0;
  if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
    // No entropy yet (very early boot): the clock, the process and a counter
    // still make names unlikely to repeat, and O_EXCL makes a repeat harmless.
    static std::uint64_t counter = 0;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    bits = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
           (static_cast<std::uint64_t>(::getpid()) << 20) ^ (++counter * 0x9E3779B97F4A7C15ull);
    bits ^= bits >> 31;
    bits *= 0xBF58476D1CE4E5B9ull;
    bits ^= bits >> 29;
  }
  std::string out;
  for (int i = 0; i < 6; ++i) {
    out += kLetters[bits % 62];
    bits /= 62;
  }
  return out;
}

// ".NAME.XXXXXX.tmp": hidden, recognisably ours, and never longer than the
// file systems allow; a long name is cut at a character boundary (UTF-8).
std::string temporaryName(const std::string& name) {
  std::size_t keep = name.size();
  if (keep > kMaxNameInTemporary) {
    keep = kMaxNameInTemporary;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  std::string out = ".";
  out.append(name, 0, keep);
  out += '.';
  out += randomLetters();
  out += ".tmp";
  return out;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t chunk = bytes.size() < (std::size_t{1} << 30) ? bytes.size() : (std::size_t{1} << 30);
    const ssize_t written = ::write(fd, bytes.data(), chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {  // no progress and no error: report it rather than spin
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

int syncFile(int fd) {
  int result;
  do {
    result = ::fsync(fd);
  } while (result != 0 && errno == EINTR);
  return result;
}

const char* kindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "这是一个管道（FIFO），不是普通文件";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "这是一个设备文件，不是普通文件";
  if (S_ISSOCK(mode)) return "这是一个套接字，不是普通文件";
  return "不是普通文件";
}

bool isRoot() { return ::geteuid() == 0; }

// Whether `path` lies in /proc, whose links (/proc/self/fd/1, reached from
// /dev/stdout and /dev/fd/1) name files the process has open rather than
// places to save: replacing what they lead to would wipe a file that
// standard output is appending to.
bool onProcFileSystem(const std::string& directory) {
  constexpr long kProcSuperMagic = 0x9fa0;
  struct statfs volume {};
  return ::statfs(directory.c_str(), &volume) == 0 && static_cast<long>(volume.f_type) == kProcSuperMagic;
}

// One save in progress. Every refusal or failure goes through fail(), which
// throws; the members' destructors then close the temporary file and remove
// its name if it got one, so nothing is left behind.
class Save {
 public:
  Save(const std::string& path, const std::function<void(FileWriter&)>& produce) : path_(path), produce_(produce) {}

  void run() {
    if (path_.empty()) fail("没有给出文件名");
    resolveTarget();
    checkTarget();
    replaceTarget();
  }

 private:
  // The temporary file: an open descriptor and, once it has one, its name in
  // the target's directory. Removed unless handed over by rename.
  struct Temporary {
    int directory = -1;
    Descriptor file;
    std::string name;
    int slot = -1;  // where a signal finds the name
    void named(const std::string& n) {
      name = n;
      slot = registerTemporary(directory, name);
    }
    // The name is the target's now: it must not be removed.
    void handedOver() {
      name.clear();
      unregisterTemporary(slot);
      slot = -1;
    }
    ~Temporary() {
      if (!name.empty()) ::unlinkat(directory, name.c_str(), 0);
      unregisterTemporary(slot);
    }
  };

  [[noreturn]] void fail(const std::string& reason, int error = 0) const {
    std::string message = "无法保存到" + quoted(path_) + "：" + reason;
    if (target_ != path_ && !target_.empty()) message += "（符号链接指向" + quoted(target_) + "）";
    throw FileError(message, path_, true, error);
  }
  [[noreturn]] void failWith(int error) const { fail(systemErrorText(error), error); }

  // Follows `path` through any chain of symbolic links to the name that will
  // really be replaced; a link stays a link and its final target gets the
  // bytes. lstat alone is used, so a FIFO is never opened.
  void resolveTarget() {
    target_ = path_;
    for (int hops = 0;; ++hops) {
      if (::lstat(target_.c_str(), &targetStat_) != 0) {
        if (errno != ENOENT) failWith(errno);
        exists_ = false;  // a new file, or a folder missing: told apart below
        return;
      }
      if (!S_ISLNK(targetStat_.st_mode)) {
        exists_ = true;
        return;
      }
      if (onProcFileSystem(directoryOf(target_)))
        fail("这是已打开的文件（如标准输出 /dev/stdout），不是可以保存的普通文件；要写到标准输出请用 -");
      if (hops == kMaxSymlinkHops)
        fail("符号链接层数太多（超过 " + std::to_string(kMaxSymlinkHops) + " 层，可能链接成了环）");
      target_ = besideLink(target_, readLink(target_));
    }
  }

  std::string readLink(const std::string& link) const {
    std::string buffer(256, '\0');
    for (;;) {
      const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
      if (length < 0) failWith(errno);
      if (static_cast<std::size_t>(length) < buffer.size()) {
        buffer.resize(static_cast<std::size_t>(length));
        return buffer;
      }
      buffer.resize(buffer.size() * 2);  // possibly cut: read again with more room
    }
  }

  // Refuses what must not be replaced, before anything is created: a folder,
  // a device or FIFO, a read-only file, folder or file system, a missing
  // folder. Root may write anything, so for root a file or folder without any
  // write bit counts as read-only, as an editor would treat it.
  void checkTarget() {
    if (exists_ && S_ISDIR(targetStat_.st_mode)) fail("这是一个文件夹");
    if (exists_ && !S_ISREG(targetStat_.st_mode)) fail(kindOf(targetStat_.st_mode));
    name_ = nameOf(target_);
    if (name_.empty()) fail("路径以“/”结尾，不是文件名");
    directoryPath_ = directoryOf(target_);

    int fd = ::open(directoryPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
      // A folder we may enter and write but not list: still usable by name,
      // only its own flush to disk is then skipped.
      fd = ::open(directoryPath_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      directoryReadable_ = false;
    }
    if (fd < 0) {
      if (errno == ENOENT) fail("文件夹不存在");
      failWith(errno);
    }
    directory_.adopt(fd);

    struct statvfs volume {};
    if (::fstatvfs(directory_.get(), &volume) == 0 && (volume.f_flag & ST_RDONLY)) fail("文件系统只读");

    if (exists_) {
      if (isRoot()) {
        if ((targetStat_.st_mode & 0222) == 0) fail("文件只读");
      } else if (::faccessat(directory_.get(), name_.c_str(), W_OK, AT_EACCESS) != 0) {
        if (errno == EROFS) fail("文件系统只读");
        if (errno == EACCES) fail((targetStat_.st_mode & 0222) == 0 ? "文件只读" : "没有写入这个文件的权限");
        failWith(errno);
      }
    }

    struct stat folder {};
    if (::fstat(directory_.get(), &folder) != 0) failWith(errno);
    if (isRoot()) {
      if ((folder.st_mode & 0222) == 0) fail("文件夹只读");
    } else if (::faccessat(directory_.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
      if (errno == EROFS) fail("文件系统只读");
      if (errno == EACCES) fail((folder.st_mode & 0222) == 0 ? "文件夹只读" : "没有在这个文件夹里写入的权限");
      failWith(errno);
    }
  }

  // Writes the producer's bytes to the temporary file, failing the save
  // (as a FileError about the target) when a write fails.
  class TemporaryWriter : public FileWriter {
   public:
    TemporaryWriter(const Save& save, int fd) : save_(save), fd_(fd) {}
    void write(std::string_view bytes) override {
      if (!writeAll(fd_, bytes)) save_.failWith(errno);
    }

   private:
    const Save& save_;
    int fd_;
  };

  void replaceTarget() {
    // Unnamed first: a temporary that has no name until it is complete leaves
    // nothing behind when the process is killed. The named route is for file
    // systems without O_TMPFILE, and for a missing /proc (linkat fails).
    Temporary unnamed;
    unnamed.directory = directory_.get();
    if (!safe_file_testing::namedTemporaryOnly) {
      // Readable too: should it not get a name, its bytes are copied into a
      // named temporary instead of being made again.
      const int fd = ::openat(directory_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
      if (fd >= 0)
        unnamed.file.adopt(fd);
      else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        failWith(errno);
    }
    Temporary named;
    named.directory = directory_.get();
    Temporary* temp = &unnamed;
    if (unnamed.file.get() < 0) {
      createNamed(named);
      temp = &named;
    }

    TemporaryWriter writer(*this, temp->file.get());
    produce_(writer);
    setOwnerAndMode(temp->file.get());
    if (syncFile(temp->file.get()) != 0) failWith(errno);

    if (temp == &unnamed && !linkUnnamed(unnamed)) {
      createNamed(named);
      copyContents(unnamed.file.get(), named.file.get());
      setOwnerAndMode(named.file.get());
      if (syncFile(named.file.get()) != 0) failWith(errno);
      unnamed.file.reset();  // the unnamed file vanishes
      temp = &named;
    }
    if (temp->file.reset() != 0) failWith(errno);  // NFS reports late write errors here
    if (::renameat(directory_.get(), temp->name.c_str(), directory_.get(), name_.c_str()) != 0) failWith(errno);
    temp->handedOver();

    // The new contents are on the disk; this makes the rename itself last
    // through a power cut. Its error is not reported: the file has already
    // been replaced, and "cannot save" would no longer be true.
    if (directoryReadable_) syncFile(directory_.get());
  }

  // Copies the whole contents of the file `from` to the end of `to`.
  void copyContents(int from, int to) const {
    std::string block(std::size_t(1) << 20, '\0');
    for (off_t offset = 0;;) {
      const ssize_t got = ::pread(from, block.data(), block.size(), offset);
      if (got < 0) {
        if (errno == EINTR) continue;
        failWith(errno);
      }
      if (got == 0) return;
      if (!writeAll(to, std::string_view(block.data(), static_cast<std::size_t>(got)))) failWith(errno);
      offset += got;
    }
  }

  // Lets a test occupy the name first (see safe_file_testing).
  void announceTemporary(const std::string& name) const {
    if (safe_file_testing::beforeNamingTemporary) safe_file_testing::beforeNamingTemporary(directoryPath_ + "/" + name);
  }

  // The fallback temporary: created exclusively under a fresh name, never
  // through an existing one, so a symbolic link or someone else's file planted
  // at the name is neither followed nor truncated.
  void createNamed(Temporary& temp) const {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string name = temporaryName(name_);
      announceTemporary(name);
      const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
      const int fd = ::openat(directory_.get(), name.c_str(), flags, 0600);
      if (fd >= 0) {
        temp.file.adopt(fd);
        temp.named(name);
        return;
      }
      if (errno != EEXIST && errno != EINTR) failWith(errno);
    }
    fail("找不到可用的临时文件名（已试 " + std::to_string(kNameAttempts) + " 个）");
  }

  // Gives the complete unnamed temporary a fresh name in the target's folder.
  // linkat never replaces an existing name, so a taken name only means another
  // try. Returns false when linking through /proc is not possible here.
  bool linkUnnamed(Temporary& temp) const {
    if (safe_file_testing::unnamedCannotBeLinked) return false;
    const std::string self = "/proc/self/fd/" + std::to_string(temp.file.get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string name = temporaryName(name_);
      announceTemporary(name);
      if (::linkat(AT_FDCWD, self.c_str(), directory_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp.named(name);
        return true;
      }
      if (errno == EEXIST || errno == EINTR) continue;
      // The disk itself failing would fail the named route the same way.
      if (errno == ENOSPC || errno == EDQUOT || errno == EIO || errno == EROFS) failWith(errno);
      return false;
    }
    fail("找不到可用的临时文件名（已试 " + std::to_string(kNameAttempts) + " 个）");
  }

  // A replaced file keeps its permission bits, owner and group; a new file
  // gets 0666 less the umask, as any program creating it would. The owner is
  // set before the mode because chown clears the set-user-ID and
  // set-group-ID bits; when the owner (or group) cannot be kept, that bit is
  // dropped rather than given to a file owned by someone else.
  void setOwnerAndMode(int fd) const {
    mode_t mode = 0666 & ~currentUmask();
    if (exists_) {
      mode = targetStat_.st_mode & 07777;
      struct stat now {};
      if (::fstat(fd, &now) != 0) failWith(errno);
      bool ownerKept = now.st_uid == targetStat_.st_uid;
      bool groupKept = now.st_gid == targetStat_.st_gid;
      if (!ownerKept || !groupKept) {
        if (::fchown(fd, targetStat_.st_uid, targetStat_.st_gid) == 0) {
          ownerKept = groupKept = true;
        } else if (errno == EPERM || errno == EINVAL) {  // not ours to give away; try the group alone
          if (!groupKept) groupKept = ::fchown(fd, static_cast<uid_t>(-1), targetStat_.st_gid) == 0;
        } else {
          failWith(errno);
        }
      }
      if (!ownerKept) mode &= ~static_cast<mode_t>(S_ISUID);
      if (!groupKept) mode &= ~static_cast<mode_t>(S_ISGID);
    }
    if (::fchmod(fd, mode) != 0) failWith(errno);
  }

  const std::string& path_;
  const std::function<void(FileWriter&)>& produce_;
  std::string target_;  // the name really replaced, after symbolic links
  struct stat targetStat_ {};
  bool exists_ = false;
  std::string directoryPath_;
  std::string name_;
  Descriptor directory_;
  bool directoryReadable_ = true;
};

}  // namespace

void saveFileSafely(const std::string& path, const std::function<void(FileWriter&)>& produce) {
  Save(path, produce).run();
}

}  // namespace levelnet
