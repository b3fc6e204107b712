// Large zero-filled arrays of doubles for the solver's matrices, and a hint
// that lets the kernel back large buffers with huge pages.
//
// The matrices of a network with thousands of unknown points and its report
// take hundreds of megabytes. Their memory comes fresh from the kernel, which
// zeroes it anyway (so no second pass is spent on filling zeros), and with
// huge pages the first touch of each 2 MB costs one fault instead of 512.
#pragma once

#include <cstddef>

namespace levelnet {

// Asks (where the platform offers it) that the pages of [data, data + bytes)
// be huge pages. Only a hint: nothing changes if it is not taken.
void adviseHugePages(void* data, std::size_t bytes);

class ZeroedArray {
 public:
  ZeroedArray() = default;
  explicit ZeroedArray(std::size_t count);
  ZeroedArray(ZeroedArray&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  ZeroedArray& operator=(ZeroedArray&& other) noexcept;
  ZeroedArray(const ZeroedArray&) = delete;
  ZeroedArray& operator=(const ZeroedArray&) = delete;
  ~ZeroedArray() { release(); }

  double* data() { return data_; }
  const double* data() const { return data_; }
  std::size_t size() const { return size_; }
  // Gives the memory back.
  void release();

 private:
  double* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace levelnet
