// Every thread computes as the main thread does. Boost.Math's quantiles
// work in long double, and on Windows a thread the system makes starts with
// the x87 unit rounding to 53 bits where the main thread has 64: the window,
// which adjusts and checks on worker threads, printed other last digits than
// the command line (an F quantile of the settlement analysis, one unit in
// the 16th digit).
#include "network/thread_precision.h"

#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif

namespace levelnet {
namespace {

// Values whose last bits depend on the precision long double is rounded to.
std::vector<double> precisionSensitive() {
  std::vector<double> v;
  for (int h = 1; h <= 6; ++h)
    for (int f : {3, 12, 40}) {
      v.push_back(boost::math::quantile(boost::math::complement(boost::math::fisher_f(h, f), 0.05)));
      v.push_back(boost::math::quantile(boost::math::chi_squared(h * f), 0.025));
      v.push_back(boost::math::quantile(boost::math::complement(boost::math::students_t(h * f), 0.001)));
    }
  volatile long double one = 1.0L;
  const long double third = one / 3.0L;
  long double sum = 0.0L;
  for (int i = 0; i < 1000; ++i) sum += third;
  v.push_back(static_cast<double>(sum - 333.0L) * 1e3);
  v.push_back(std::pow(1.0000001, 12345.678));
  v.push_back(std::expm1(std::log1p(-0.05) / 777));
  return v;
}

// The threads a computation may run on: the C++ library's, and on Windows
// those the system's own call makes (Qt's threads), which start otherwise
// and are given the main thread's precision first.
std::vector<double> onSystemThread() {
  std::vector<double> values;
#ifdef _WIN32
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID out) -> DWORD {
        useMainThreadPrecision();
        *static_cast<std::vector<double>*>(out) = precisionSensitive();
        return 0;
      },
      &values, 0, nullptr);
  if (thread == nullptr) return values;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  std::thread([&] { values = precisionSensitive(); }).join();
#endif
  return values;
}

std::vector<double> onLibraryThread() {
  std::vector<double> values;
  std::thread([&] { values = precisionSensitive(); }).join();
  return values;
}

TEST(ThreadPrecision, aWorkerThreadComputesTheMainThreadsBits) {
  const std::vector<double> main = precisionSensitive();
  for (auto run : {&onSystemThread, &onLibraryThread}) {
    const std::vector<double> worker = run();
    ASSERT_EQ(worker.size(), main.size());
    for (std::size_t i = 0; i < main.size(); ++i)
      EXPECT_EQ(std::memcmp(&main[i], &worker[i], sizeof(double)), 0)
          << "value " << i << ": " << main[i] << " on the main thread, " << worker[i] << " on another";
  }
}

}  // namespace
}  // namespace levelnet
