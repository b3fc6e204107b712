// File names: the program holds them as UTF-8 text; the operating system
// gets them in its own form (the same bytes on POSIX, UTF-16 on Windows,
// where a Chinese name in UTF-8 would open nothing).
#pragma once

#include <filesystem>
#include <string>

namespace levelnet {

// The file-system path of a UTF-8 name.
inline std::filesystem::path fileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The UTF-8 name of a file-system path.
inline std::string utf8Name(const std::filesystem::path& path) {
  const std::u8string name = path.u8string();
  return std::string(name.begin(), name.end());
}

}  // namespace levelnet
