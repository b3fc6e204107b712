#include "adjust/large_array.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace levelnet {

namespace {
// Below this a buffer gains nothing from huge pages.
constexpr std::size_t kHugeThreshold = std::size_t(4) << 20;
}  // namespace

void adviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (data == nullptr || bytes < kHugeThreshold) return;
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

ZeroedArray::ZeroedArray(std::size_t count) : size_(count) {
  if (count == 0) return;
  // calloc of a large block hands out fresh, already zero pages untouched.
  data_ = static_cast<double*>(std::calloc(count, sizeof(double)));
  if (data_ == nullptr) throw std::bad_alloc();
  adviseHugePages(data_, count * sizeof(double));
}

ZeroedArray& ZeroedArray::operator=(ZeroedArray&& other) noexcept {
  if (this != &other) {
    release();
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

void ZeroedArray::release() {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace levelnet
