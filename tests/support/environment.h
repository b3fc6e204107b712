#pragma once

// Setting and removing an environment variable in a test, on POSIX and on
// Windows (whose C runtime has _putenv_s instead of setenv and unsetenv).
#include <cstdlib>

namespace levelnet::test {

// The variable that names the folder for temporary files:
// std::filesystem::temp_directory_path reads TMPDIR on POSIX, TMP first on
// Windows.
#ifdef _WIN32
inline constexpr const char* kTemporaryFolderVariable = "TMP";
#else
inline constexpr const char* kTemporaryFolderVariable = "TMPDIR";
#endif

inline void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
  ::_putenv_s(name, value);
#else
  ::setenv(name, value, 1);
#endif
}

inline void unsetEnvironment(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");  // an empty value removes the variable
#else
  ::unsetenv(name);
#endif
}

}  // namespace levelnet::test
