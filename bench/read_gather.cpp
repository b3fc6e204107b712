// Reading a .pc file and gathering its network, stage by stage, as the
// command line opens it: the file's bytes, their items and shown texts
// straight into the tables (parseProjectBytes into a NetworkText), and the
// network the results mode adjusts (gatherNetwork). Best and median of
// several runs, wall time.
//
//   build/bench/levelnet_read_gather                 the 316 x 316 grid, written to a temporary file
//   build/bench/levelnet_read_gather FILE.pc [RUNS]  a file of one's own
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "network/errors.h"
#include "network/project_file.h"
#include "network/safe_file.h"
#include "support/network_generator.h"

namespace {

using namespace levelnet;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

struct Stage {
  const char* name;
  std::vector<double> times;
};

void print(const Stage& s) {
  std::vector<double> t = s.times;
  std::sort(t.begin(), t.end());
  std::printf("%-34s %9.4f s %9.4f s\n", s.name, t.front(), t[t.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  std::filesystem::path temporary;
  if (argc >= 2) {
    path = argv[1];
  } else {
    temporary = std::filesystem::temp_directory_path() / "levelnet_read_gather_316.pc";
    const NetworkText grid = testing::gridNetwork(316, 316, 316u * 316u);
    writeProjectFile(temporary.string(), grid.fields, grid.points, grid.observations);
    path = temporary.string();
  }
  const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 7;
  Stage read{"reading the bytes", {}}, parse{"items into the tables", {}}, gather{"gathering (gatherNetwork)", {}},
      total{"file to network", {}};
  int points = 0, observations = 0;
  try {
    for (int run = 0; run < runs; ++run) {
      const Clock::time_point t0 = Clock::now();
      const std::string bytes = readBoundedFile(path, kMaxProjectFileBytes, "too large");
      const Clock::time_point t1 = Clock::now();
      NetworkText text;
      parseProjectBytes(bytes, path, std::nullopt, kLargeNetworkLimits, text);
      const Clock::time_point t3 = Clock::now();
      const LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits);
      const Clock::time_point t4 = Clock::now();
      read.times.push_back(seconds(t0, t1));
      parse.times.push_back(seconds(t1, t3));
      gather.times.push_back(seconds(t3, t4));
      total.times.push_back(seconds(t0, t4));
      points = net.pointCount;
      observations = net.observationCount;
    }
  } catch (const Error& e) {
    std::fprintf(stderr, "levelnet_read_gather: %s\n", e.what());
    return 1;
  }
  if (!temporary.empty()) std::filesystem::remove(temporary);
  std::printf("%s: %d points, %d observations, %d runs\n%-34s %11s %11s\n", path.c_str(), points, observations, runs,
              "stage", "best", "median");
  for (const Stage* s : {&read, &parse, &gather, &total}) print(*s);
  return 0;
}
