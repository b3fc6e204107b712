#include "network/safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "network/errors.h"
#include "network/file_path.h"

namespace levelnet {
namespace {

std::string quoted(const std::string& text) { return "“" + text + "”"; }

}  // namespace

void saveFileSafely(const std::string& path, std::string_view bytes) {
  saveFileSafely(path, [bytes](FileWriter& file) { file.write(bytes); });
}

std::string systemErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "没有权限";
    case ENOSPC:
#ifdef EDQUOT  // not in MinGW's errno.h: Windows reports a full quota as a full disk
    case EDQUOT:
#endif
      return "磁盘空间不足";
    case EROFS:
      return "文件系统只读";
    case ENOENT:
      return "文件或文件夹不存在";
    case ENOTDIR:
      return "路径中有一项不是文件夹";
    case EISDIR:
      return "这是一个文件夹";
    case EFBIG:
      return "文件太大";
    case EIO:
      return "读写设备出错";
    case ENAMETOOLONG:
      return "文件名太长";
    case ELOOP:
      return "符号链接层数太多";
    case EMFILE:
    case ENFILE:
      return "打开的文件太多";
    case ENOMEM:
      return "内存不足";
    case EBUSY:
      return "设备或资源忙";
    case ETXTBSY:
      return "文件正被使用";
    case EXDEV:
      return "不能跨文件系统改名";
    case EINTR:
      return "被中断";
    case EAGAIN:
      return "资源暂时不可用";
    case EPIPE:
      return "管道已关闭（读取的一方已退出）";
    default: {
      // strerror_r (strerror_s on Windows), not strerror: safe in threads.
      // The GNU form returns the text, the POSIX form fills the buffer; both
      // are accepted.
      char buffer[256] = "";
      struct Pick {
        static const char* text(const char* result, const char*) { return result; }
        static const char* text(int result, const char* filled) { return result == 0 ? filled : "未知错误"; }
      };
#if defined(_WIN32)
      const int described = ::strerror_s(buffer, sizeof buffer, error);
#else
      const auto described = ::strerror_r(error, buffer, sizeof buffer);
#endif
      return "系统错误 " + std::to_string(error) + "（" + Pick::text(described, buffer) + "）";
    }
  }
}

namespace {

// Reads the stream to its end; `expected` (a regular file's size, or 0) is
// room made beforehand, so a large file is not copied again as it grows.
std::string readWholeStream(std::istream& in, const std::string& name, std::size_t maxBytes,
                            const std::string& tooLarge, std::size_t expected) {
  std::string bytes;
  if (expected > 0) bytes.reserve(std::min(expected, maxBytes) + 1);
  char block[1 << 16];
  errno = 0;
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    bytes.append(block, static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > maxBytes) throw InputError(tooLarge);
  }
  if (in.bad()) {
    const int error = errno ? errno : EIO;
    throw FileError("无法读取文件" + quoted(name) + "：" + systemErrorText(error), name, false, error);
  }
  return bytes;
}

}  // namespace

std::string readBoundedStream(std::istream& in, const std::string& name, std::size_t maxBytes,
                              const std::string& tooLarge) {
  return readWholeStream(in, name, maxBytes, tooLarge, 0);
}

std::string readBoundedFile(const std::string& path, std::size_t maxBytes, const std::string& tooLarge) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file = fileSystemPath(path);
  const fs::file_status status = fs::status(file, ec);
  if (fs::is_directory(status))
    throw FileError("无法打开文件" + quoted(path) + "：这是一个文件夹", path, false, EISDIR);
  std::size_t expected = 0;
  if (fs::is_regular_file(status)) {
    const std::uintmax_t size = fs::file_size(file, ec);
    if (!ec && size > maxBytes) throw InputError(tooLarge);
    if (!ec) expected = static_cast<std::size_t>(size);
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int error = errno ? errno : ENOENT;
    throw FileError("无法打开文件" + quoted(path) + "：" + systemErrorText(error), path, false, error);
  }
  return readWholeStream(in, path, maxBytes, tooLarge, expected);
}

}  // namespace levelnet
