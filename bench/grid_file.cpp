// Writes a generated grid network as a .pc file, for timing the command line
// on large networks:
//   levelnet_grid_file T OUT.pc          40 rows of T / 40 unknown points
//   levelnet_grid_file ROWS COLS OUT.pc
// The network is the benchmark's (tests/support/network_generator.h): a
// known point at each corner, every point levelled to its right and lower
// neighbour, seeded by the number of unknown points.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "network/errors.h"
#include "network/project_file.h"
#include "support/network_generator.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: levelnet_grid_file T OUT.pc | levelnet_grid_file ROWS COLS OUT.pc\n");
    return 2;
  }
  const int rows = argc == 3 ? 40 : std::atoi(argv[1]);
  const int cols = argc == 3 ? std::atoi(argv[1]) / 40 : std::atoi(argv[2]);
  if (rows < 1 || cols < 1) {
    std::fprintf(stderr, "levelnet_grid_file: the grid needs at least one row and column\n");
    return 2;
  }
  const levelnet::NetworkText net = levelnet::testing::gridNetwork(rows, cols, static_cast<std::uint32_t>(rows * cols));
  try {
    levelnet::writeProjectFile(argv[argc - 1], net.fields, net.points, net.observations);
  } catch (const levelnet::InputError& e) {
    std::fprintf(stderr, "levelnet_grid_file: %s\n", e.what());
    return 1;
  }
  return 0;
}
