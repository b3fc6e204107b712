// Networks made up for tests and benchmarks, as the user would enter them.
#pragma once

#include <cstdint>

#include "network/text_table.h"

namespace levelnet::testing {

// A rows x cols grid of unknown points (numbered row by row) with a known
// point at each corner outside the grid, tied to the nearest grid corner;
// every grid point is levelled to its right and lower neighbour. About two
// observations per unknown point. Differences carry a little noise.
NetworkText gridNetwork(int rows, int cols, std::uint32_t seed);

// A random connected network of up to `maxUnknown` unknown points: random
// orientation and order of observations, observations between known points,
// names of every kind (Chinese, numeric-looking, duplicate-free), elevation
// cells sometimes filled, sometimes empty.
NetworkText randomNetwork(std::uint32_t seed, int maxUnknown);

}  // namespace levelnet::testing
