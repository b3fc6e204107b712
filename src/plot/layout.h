// Where the points of a network go when no coordinates are known: a layout
// from the graph of its routes alone.
#pragma once

#include "network/leveling_network.h"
#include "plot/plane_points.h"

namespace levelnet::plot {

// Up to this many points the layout is Graphviz's neato (stress
// majorisation: distances follow the route lengths, few crossings); beyond
// it sfdp (multilevel force-directed), which scales to large networks.
inline constexpr int kNeatoLimit = 1000;

// A layout of the network in drawing units (not metres): every route drawn
// with a length about in proportion to the square root of its route length,
// known points given to the layout first. Deterministic: the same network
// gives the same layout, bit for bit (a fixed seed). Without Graphviz in the
// build the points go round a circle, known points first.
PointPlacement layoutByGraph(const LevelingNetwork& net);

// Whether this build lays networks out with Graphviz.
bool graphLayoutAvailable();

}  // namespace levelnet::plot
