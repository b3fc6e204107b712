#pragma once

// The floating-point precision of threads the system makes. Boost.Math's
// quantiles (and some of MinGW-w64's mathematical functions) work in the x87
// unit's long double. On Windows the C runtime sets the main thread's x87
// unit to round to 64 bits, as on Linux, and so do the C++ library's threads;
// a thread the system makes (Qt's worker threads) starts rounding to 53
// bits, and its quantiles differ from the main thread's in the last digits.
// Such a thread calls this first. Elsewhere every thread starts alike.

namespace levelnet {

inline void useMainThreadPrecision() {
#if defined(_WIN32) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
  unsigned short control = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  control = static_cast<unsigned short>(control | 0x0300);  // precision control: 64 bits
  __asm__ __volatile__("fldcw %0" : : "m"(control));
#endif
}

}  // namespace levelnet
