// POSIX: the arguments are the bytes given, the streams carry bytes already.
#include "cli/console.h"

#if defined(__GLIBC__)
#include <malloc.h>
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

}  // namespace levelnet::cli
