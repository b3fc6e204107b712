// The 网图 of a 100 x 100 grid (10,000 unknown points): the drawing model,
// SVG and DXF from plane coordinates, and the automatic layout apart; best
// of 3. Not part of the test suite: build/bench/levelnet_plot_large.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "network/leveling_network.h"
#include "plot/drawing_files.h"
#include "plot/layout.h"
#include "plot/network_drawing.h"
#include "support/network_generator.h"

namespace {

double bestOf3(const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main() {
  using namespace levelnet;
  const NetworkText text = testing::gridNetwork(100, 100, 1);
  const LevelingNetwork net = gatherNetwork(text.fields, text.points, text.observations, kLargeNetworkLimits);
  // Plane coordinates of the grid: 500 m apart, the benchmarks outside it.
  plot::PointPlacement where;
  where.east.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  where.north.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  for (int p = 1; p <= net.pointCount; ++p) {
    const int i = p - 1;
    where.east[p] = 500.0 * (i % 101);
    where.north[p] = 500.0 * (i / 101);
  }
  std::size_t bytes = 0;
  const double drawing = bestOf3([&] {
    const plot::NetworkDrawing d = plot::drawNetwork(net, where, true, {}, "grid");
    bytes = plot::svgDocument(d).size() + plot::dxfDocument(d).size();
  });
  std::printf("points %d, routes %d: drawing model + SVG + DXF %.3f s (%zu bytes)\n", net.pointCount,
              net.observationCount, drawing, bytes);
  const auto start = std::chrono::steady_clock::now();
  plot::layoutByGraph(net);
  std::printf("automatic layout (%s) %.3f s\n", net.pointCount <= plot::kNeatoLimit ? "neato" : "sfdp",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}
