// The safe save and the console's encoding on Windows: the temporary file is
// created exclusively in the target's folder under a fresh name, flushed to
// the disk, and put in the target's place by ReplaceFileW (which keeps the
// target's attributes and permissions) or MoveFileExW with write-through.
// File names go to Windows as UTF-16.
#define _CRT_RAND_S  // rand_s, the system's random numbers
#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "network/errors.h"
#include "network/safe_file.h"
#include "network/temporary_cleanup.h"
#include "network/wide_text_windows.h"

namespace levelnet {
namespace {

std::string quoted(const std::string& text) { return "“" + text + "”"; }

constexpr std::size_t kMaxNameInTemporary = 100;  // UTF-16 units of the name kept
constexpr int kNameAttempts = 100;

// The errno value closest to a Windows error, for FileError's callers.
int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
      return EBUSY;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_INVALID_NAME:
      return EINVAL;
    default:
      return EIO;
  }
}

bool inUseByAnotherProgram(DWORD error) { return errnoOf(error) == EBUSY; }

// Owns one handle.
class Handle {
 public:
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }
  HANDLE get() const { return handle_; }
  bool open() const { return handle_ != INVALID_HANDLE_VALUE; }
  void adopt(HANDLE handle) {
    reset();
    handle_ = handle;
  }
  // Closes now; false (with GetLastError) when closing failed.
  bool reset() {
    bool closed = true;
    if (open()) closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Six random letters or digits from the system's random numbers.
std::wstring randomLetters() {
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned int high = 0, low = 0;
  if (rand_s(&high) != 0 || rand_s(&low) != 0) {
    // Never expected; CREATE_NEW makes a repeated name harmless anyway.
    high = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    low = static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(&high));
  }
  unsigned long long bits = (static_cast<unsigned long long>(high) << 32) | low;
  std::wstring out;
  for (int i = 0; i < 6; ++i) {
    out += kLetters[bits % 62];
    bits /= 62;
  }
  return out;
}

// ".NAME.XXXXXX.tmp", the name cut at a character boundary when long.
std::wstring temporaryName(const std::wstring& name) {
  std::size_t keep = name.size();
  if (keep > kMaxNameInTemporary) {
    keep = kMaxNameInTemporary;
    if (keep > 0 && name[keep] >= 0xDC00 && name[keep] <= 0xDFFF) --keep;  // not between a surrogate pair
  }
  return L"." + name.substr(0, keep) + L"." + randomLetters() + L".tmp";
}

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// One save in progress, as on POSIX: every refusal or failure throws, and
// the temporary file is then closed and removed.
class Save {
 public:
  Save(const std::string& path, const std::function<void(FileWriter&)>& produce) : path_(path), produce_(produce) {}

  void run() {
    if (path_.empty()) fail("没有给出文件名");
    const std::optional<std::wstring> wide = wideText(path_);
    if (!wide) fail("文件名不是有效的 UTF-8 文本");
    target_ = *wide;
    resolveTarget();
    checkTarget();
    replaceTarget();
  }

 private:
  struct Temporary {
    Handle file;
    std::wstring path;
    int slot = -1;
    void handedOver() {
      path.clear();
      unregisterTemporary(slot);
      slot = -1;
    }
    ~Temporary() {
      file.reset();
      if (!path.empty()) ::DeleteFileW(path.c_str());
      unregisterTemporary(slot);
    }
  };

  [[noreturn]] void fail(const std::string& reason, int error = 0) const {
    throw FileError("无法保存到" + quoted(path_) + "：" + reason, path_, true, error);
  }
  [[noreturn]] void failWith(DWORD error) const {
    if (inUseByAnotherProgram(error)) fail("文件正被另一个程序使用（请在那个程序里关闭它后再保存）", EBUSY);
    if (error == ERROR_INVALID_NAME) fail("文件名无效（Windows 的文件名不能含有 \\ / : * ? \" < > |）", EINVAL);
    const int e = errnoOf(error);
    if (e == EIO && error != ERROR_WRITE_FAULT && error != ERROR_READ_FAULT && error != ERROR_CRC)
      fail("Windows 错误 " + std::to_string(error), EIO);
    fail(systemErrorText(e), e);
  }

  // A symbolic link or junction is followed to the file it names, which
  // then gets the bytes.
  void resolveTarget() {
    attributes_ = ::GetFileAttributesW(target_.c_str());
    if (attributes_ == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND) return;  // a new file
      if (error == ERROR_PATH_NOT_FOUND) fail("文件夹不存在", ENOENT);
      failWith(error);
    }
    exists_ = true;
    if (attributes_ & FILE_ATTRIBUTE_REPARSE_POINT) {
      Handle link;
      link.adopt(::CreateFileW(target_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      if (!link.open()) failWith(::GetLastError());
      wchar_t final[MAX_PATH * 4];
      const DWORD length = ::GetFinalPathNameByHandleW(link.get(), final, MAX_PATH * 4, FILE_NAME_NORMALIZED);
      if (length == 0 || length >= MAX_PATH * 4) failWith(::GetLastError());
      target_.assign(final, length);
      attributes_ = ::GetFileAttributesW(target_.c_str());
      if (attributes_ == INVALID_FILE_ATTRIBUTES) failWith(::GetLastError());
    }
  }

  // Refuses what must not be replaced before anything is created: a folder,
  // a device, a read-only file, a file another program holds, a missing
  // folder.
  void checkTarget() {
    if (exists_ && (attributes_ & FILE_ATTRIBUTE_DIRECTORY)) fail("这是一个文件夹", EISDIR);
    std::size_t cut = target_.size();
    while (cut > 0 && !isSeparator(target_[cut - 1])) --cut;
    name_ = target_.substr(cut);
    if (name_.empty()) fail("路径以“\\”结尾，不是文件名");
    if (cut == 0) {
      folder_ = L".";
      const std::size_t colon = name_.find(L':');  // "C:name", relative to that drive's folder
      if (colon != std::wstring::npos) fail("文件名无效（Windows 的文件名不能含有 \\ / : * ? \" < > |）", EINVAL);
    } else {
      folder_ = target_.substr(0, cut);  // with its separator, so "C:\" and "\" stay roots
    }

    const DWORD folderAttributes = ::GetFileAttributesW(folder_.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) fail("文件夹不存在", ENOENT);
      failWith(error);
    }
    if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) fail("路径中有一项不是文件夹", ENOTDIR);
    folderReadOnly_ = (folderAttributes & FILE_ATTRIBUTE_READONLY) != 0;

    if (!exists_) return;
    Handle probe;
    // Opened as the replacement will need it (writing, deleting), without
    // changing a byte: a program that holds the file without sharing it is
    // found now, before anything is written.
    probe.adopt(::CreateFileW(target_.c_str(), GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = probe.open() ? ERROR_SUCCESS : ::GetLastError();
    if (probe.open() && ::GetFileType(probe.get()) != FILE_TYPE_DISK) fail("这是一个设备文件，不是普通文件");
    if (attributes_ & FILE_ATTRIBUTE_READONLY) fail("文件只读", EACCES);
    if (error == ERROR_ACCESS_DENIED) fail("没有写入这个文件的权限", EACCES);
    if (error != ERROR_SUCCESS) failWith(error);
  }

  class TemporaryWriter : public FileWriter {
   public:
    TemporaryWriter(const Save& save, HANDLE file) : save_(save), file_(file) {}
    void write(std::string_view bytes) override {
      while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(bytes.size() < (std::size_t{1} << 30) ? bytes.size() : (1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file_, bytes.data(), chunk, &written, nullptr)) save_.failWith(::GetLastError());
        if (written == 0) save_.failWith(ERROR_WRITE_FAULT);
        bytes.remove_prefix(written);
      }
    }

   private:
    const Save& save_;
    HANDLE file_;
  };

  void createTemporary(Temporary& temp) const {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::wstring path = folder_ + (isSeparator(folder_.back()) ? L"" : L"\\") + temporaryName(name_);
      if (safe_file_testing::beforeNamingTemporary) safe_file_testing::beforeNamingTemporary(utf8Text(path));
      // Shared for deletion only, so that the console handler can remove it.
      temp.file.adopt(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
      if (temp.file.open()) {
        temp.path = path;
        temp.slot = registerTemporary(path);
        return;
      }
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      if (error == ERROR_ACCESS_DENIED) fail(folderReadOnly_ ? "文件夹只读" : "没有在这个文件夹里写入的权限", EACCES);
      failWith(error);
    }
    fail("找不到可用的临时文件名（已试 " + std::to_string(kNameAttempts) + " 个）");
  }

  void replaceTarget() {
    Temporary temp;
    createTemporary(temp);
    TemporaryWriter writer(*this, temp.file.get());
    produce_(writer);
    if (!::FlushFileBuffers(temp.file.get())) failWith(::GetLastError());
    if (!temp.file.reset()) failWith(::GetLastError());

    if (exists_) {
      // The target keeps its attributes, permissions and creation time.
      if (::ReplaceFileW(target_.c_str(), temp.path.c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr, nullptr)) {
        temp.handedOver();
        flushTarget();
        return;
      }
      const DWORD error = ::GetLastError();
      // Where the file system cannot replace (some network shares), the
      // move below does it; a file held by another program is said so.
      if (inUseByAnotherProgram(error) || error == ERROR_ACCESS_DENIED || error == ERROR_DISK_FULL ||
          error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        failWith(error);
    }
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists_ ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExW(temp.path.c_str(), target_.c_str(), flags)) failWith(::GetLastError());
    temp.handedOver();
  }

  // ReplaceFileW promises no write-through: the replaced file's metadata is
  // flushed as well as may be. Its failure is not reported, the file being
  // already replaced.
  void flushTarget() const {
    Handle file;
    file.adopt(::CreateFileW(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.open()) ::FlushFileBuffers(file.get());
  }

  const std::string& path_;
  const std::function<void(FileWriter&)>& produce_;
  std::wstring target_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  bool exists_ = false;
  std::wstring folder_;
  std::wstring name_;
  bool folderReadOnly_ = false;
};

}  // namespace

void saveFileSafely(const std::string& path, const std::function<void(FileWriter&)>& produce) {
  Save(path, produce).run();
}

}  // namespace levelnet
