// How fast the textbook report is written to a file, against `cat` copying
// the same bytes to another file in the same run:
//   levelnet_report_write [T [RUNS [DIR]]]     (defaults 5000, 7, /tmp)
// The grid network of T unknown points (40 rows, as levelnet_grid_file) is
// adjusted once; each run then writes the report through writeReport into a
// new file (a write() of every block the writer hands over, then close) and
// copies that file with `cat SRC > DST` to another new file; last, the
// report is written to a sink that drops it (the formatting alone). The two are
// timed in turn, A B A B ..., as wall time; the figures are MB/s (10^6
// bytes) with the median and the range, and the ratio of the writer to
// `cat` pair by pair. Both files are removed before each run so that
// neither pays for freeing the pages of an earlier one. The CPU time (user
// and system, every thread) of both is printed too: on a machine whose other
// core is busy the wall times say less.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "adjust/pipeline.h"
#include "adjust/report_writer.h"
#include "network/leveling_network.h"
#include "support/network_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

// Each block straight to the file descriptor, as the command line's
// standard output takes it.
class FileDescriptorSink : public levelnet::TextSink {
 public:
  explicit FileDescriptorSink(int fd) : fd_(fd) {}
  void write(std::string_view bytes) override {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw std::runtime_error(std::string("write: ") + std::strerror(errno));
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    bytes_ += bytes.size();
  }
  bool writesOnAnyThread() const override { return true; }
  std::size_t bytes() const { return bytes_; }

 private:
  int fd_;
  std::size_t bytes_ = 0;
};

// User and system time of this process (every thread) or of its finished
// children, in seconds.
double cpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Counts the bytes and drops them: the formatting alone.
class DiscardingSink : public levelnet::TextSink {
 public:
  void write(std::string_view bytes) override { bytes_ += bytes.size(); }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

void printRow(const char* what, const std::vector<double>& v) {
  std::printf("%-24s %10.0f %10.0f %10.0f\n", what, median(v), *std::min_element(v.begin(), v.end()),
              *std::max_element(v.begin(), v.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const int t = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  const std::string dir = argc > 3 ? argv[3] : "/tmp";
  if (t < 40 || runs < 1) {
    std::fprintf(stderr, "usage: levelnet_report_write [T >= 40 [RUNS [DIR]]]\n");
    return 2;
  }
  const levelnet::NetworkText text = levelnet::testing::gridNetwork(40, t / 40, static_cast<std::uint32_t>(t));
  const levelnet::AdjustmentResults results =
      levelnet::computeAdjustment(levelnet::gatherNetwork(text.fields, text.points, text.observations));
  const std::string report = dir + "/levelnet_report_write." + std::to_string(::getpid()) + ".txt";
  const std::string copy = dir + "/levelnet_report_copy." + std::to_string(::getpid()) + ".txt";
  const std::string catCommand = "cat '" + report + "' > '" + copy + "'";

  std::vector<double> writer, cat, ratio, writerCpu, catCpu, formatOnly;
  std::size_t bytes = 0;
  for (int run = 0; run <= runs; ++run) {  // run 0 warms up
    ::unlink(report.c_str());
    ::unlink(copy.c_str());
    const double u0 = cpuSeconds(RUSAGE_SELF);
    const Clock::time_point w0 = Clock::now();
    const int fd = ::open(report.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
      std::perror(report.c_str());
      return 1;
    }
    FileDescriptorSink sink(fd);
    levelnet::writeReport(results, sink);
    if (::close(fd) != 0) {
      std::perror(report.c_str());
      return 1;
    }
    const double w = seconds(Clock::now() - w0);
    const double wu = cpuSeconds(RUSAGE_SELF) - u0;
    const double cu0 = cpuSeconds(RUSAGE_CHILDREN);
    bytes = sink.bytes();
    const Clock::time_point c0 = Clock::now();
    if (std::system(catCommand.c_str()) != 0) {
      std::fprintf(stderr, "levelnet_report_write: %s failed\n", catCommand.c_str());
      return 1;
    }
    const double c = seconds(Clock::now() - c0);
    const double cu = cpuSeconds(RUSAGE_CHILDREN) - cu0;
    const Clock::time_point f0 = Clock::now();
    DiscardingSink discarded;
    levelnet::writeReport(results, discarded);
    const double f = seconds(Clock::now() - f0);
    if (run == 0) continue;
    formatOnly.push_back(static_cast<double>(discarded.bytes()) / f / 1e6);
    writer.push_back(bytes / w / 1e6);
    cat.push_back(bytes / c / 1e6);
    ratio.push_back(c / w);
    writerCpu.push_back(wu * 1000);
    catCpu.push_back(cu * 1000);
  }
  ::unlink(report.c_str());
  ::unlink(copy.c_str());
  std::printf("t = %d, n = %d, report %zu bytes, %d runs in turn\n", results.net.parameterCount,
              results.net.observationCount, bytes, runs);
  std::printf("%-24s %10s %10s %10s\n", "", "median", "min", "max");
  printRow("writeReport MB/s", writer);
  printRow("cat MB/s", cat);
  std::vector<double> percent(ratio.size());
  std::transform(ratio.begin(), ratio.end(), percent.begin(), [](double r) { return r * 100.0; });
  printRow("writer / cat, %", percent);
  printRow("writeReport CPU ms", writerCpu);
  printRow("formatting alone MB/s", formatOnly);
  printRow("cat CPU ms (with sh)", catCpu);
  return 0;
}
