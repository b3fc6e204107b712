// POSIX: the arguments are the bytes given, the streams carry bytes already.
#include "cli/console.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__) && defined(__GLIBC__)
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#endif

namespace levelnet::cli {

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

void prepareStandardStreams() {}

void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Blocks up to 1 GiB come from the heap, not from a mapping of their own
  // (where the library refuses that much, up to its largest default,
  // 32 MiB); the heap is trimmed only when 1 GiB at its top is free, and
  // grows 64 MiB at a time.
  if (mallopt(M_MMAP_THRESHOLD, 1024 * 1024 * 1024) == 0) mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
  mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
}

void startWithHugePages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  // glibc (2.35 on) reads its tunables once, when the program starts: the
  // setting takes a new start. Older versions ignore a tunable they do not
  // know, so the second start is as the first and does not start again.
  static const char kVariable[] = "GLIBC_TUNABLES";
  static const char kTunable[] = "glibc.malloc.hugetlb";
  const char* tunables = std::getenv(kVariable);
  if (tunables != nullptr && std::strstr(tunables, kTunable) != nullptr) return;
  // Valgrind follows a new start only when told to; the program would run
  // on outside it.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) return;
  // Only for a large network: a file of 256 KiB (some 4,000 points) among
  // the arguments. Below that the second start and the kernel's finding of
  // huge pages cost more than the faults they save.
  bool large = false;
  for (char** argument = argv + 1; *argument != nullptr && !large; ++argument) {
    struct stat status {};
    large = ::stat(*argument, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 256 * 1024;
  }
  if (!large) return;
  std::ifstream modes("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string line;
  if (!std::getline(modes, line) || line.find("[madvise]") == std::string::npos) return;
  const std::string previous = tunables != nullptr ? tunables : "";
  const std::string value = (previous.empty() ? "" : previous + ":") + kTunable + "=1";
  if (::setenv(kVariable, value.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Not started again: on as before, with the environment as it was.
  if (tunables != nullptr)
    ::setenv(kVariable, previous.c_str(), 1);
  else
    ::unsetenv(kVariable);
#else
  (void)argv;
#endif
}

}  // namespace levelnet::cli
