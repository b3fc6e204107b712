// Timing of whole adjustment runs (gathering, every phase, the report) on
// grid networks of t unknown points and about 2t observations.
//
//   ./levelnet bench                      all of them
//   ./levelnet bench --benchmark_filter=Compact/2000
//
// Before timing, each size's compact and dense reports are compared byte for
// byte where the dense method runs; a difference stops the benchmark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "adjust/adjustment_run.h"
#include "support/dense_reference.h"
#include "support/network_generator.h"

namespace {

using namespace levelnet;

// Grids with t = rows x cols unknown points.
NetworkText gridFor(int t) {
  switch (t) {
    case 200:
      return testing::gridNetwork(10, 20, 200);
    case 800:
      return testing::gridNetwork(20, 40, 800);
    default:
      return testing::gridNetwork(40, t / 40, static_cast<std::uint32_t>(t));
  }
}

double peakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
}

void setCounters(benchmark::State& state, const NetworkText& text, std::size_t reportBytes) {
  state.counters["t"] = std::stod(text.fields.unknown);
  state.counters["n"] = std::stod(text.fields.observations);
  state.counters["report_MB"] = static_cast<double>(reportBytes) / 1e6;
  state.counters["peak_RSS_MB"] = peakMegabytes();
}

void Compact(benchmark::State& state) {
  NetworkText text = gridFor(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string report = runAdjustment(text.fields, text.points, text.observations);
    bytes = report.size();
    benchmark::DoNotOptimize(report.data());
  }
  setCounters(state, text, bytes);
}

void Dense(benchmark::State& state) {
  NetworkText text = gridFor(static_cast<int>(state.range(0)));
  // The same report as the compact engine, or no timing at all.
  const std::string compact = runAdjustment(text.fields, text.points, text.observations);
  const LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations);
  if (testing::denseAdjustment(net).report != compact) {
    state.SkipWithError("the dense and the compact reports differ");
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    testing::DenseRun run = testing::denseAdjustment(gatherNetwork(text.fields, text.points, text.observations));
    bytes = run.report.size();
    benchmark::DoNotOptimize(run.report.data());
  }
  setCounters(state, text, bytes);
}

// Compact runs first: the peak memory counter is the process's peak so far,
// so the t = 2000 figure is the compact engine's own.
BENCHMARK(Compact)
    ->Arg(200)
    ->Arg(800)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->MeasureProcessCPUTime()
    ->UseRealTime();
BENCHMARK(Dense)
    ->Arg(200)
    ->Arg(800)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
