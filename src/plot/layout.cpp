#include "plot/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "network/errors.h"

#ifdef LEVELNET_WITH_GRAPHVIZ
#include <graphviz/gvc.h>
#endif

#ifdef LEVELNET_GRAPHVIZ_STATIC
// The Windows build links Graphviz statically (tools/windows/build-graphviz.sh):
// its neato layout plugin (neato, sfdp) is handed to the context as a
// preloaded library instead of being loaded from a plugin folder.
extern "C" {
extern gvplugin_library_t gvplugin_neato_layout_LTX_library;
lt_symlist_t lt_preloaded_symbols[] = {
    {"gvplugin_neato_layout_LTX_library", &gvplugin_neato_layout_LTX_library},
    {nullptr, nullptr},
};
// That build's rand() and srand(): glibc's generator, which Graphviz's
// layouts draw from there instead of the C runtime's.
void levelnet_gv_srand(unsigned int seed);
}
#endif

namespace levelnet::plot {

namespace {

constexpr double kPi = 3.14159265358979323846;

PointPlacement circleLayout(const LevelingNetwork& net) {
  PointPlacement placement;
  placement.east.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  placement.north.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  const double radius = 36.0 * std::max(1, net.pointCount) / kPi;
  for (int p = 1; p <= net.pointCount; ++p) {
    const double angle = 2.0 * kPi * (p - 1) / std::max(1, net.pointCount);
    placement.east[p] = radius * std::sin(angle);
    placement.north[p] = radius * std::cos(angle);
  }
  return placement;
}

#ifdef LEVELNET_WITH_GRAPHVIZ

// Graphviz takes attribute names and values as char*, never writing them.
char* text(const char* s) { return const_cast<char*>(s); }

struct GraphvizLayout {
  GVC_t* context = nullptr;
  Agraph_t* graph = nullptr;
  bool laidOut = false;
  ~GraphvizLayout() {
    if (laidOut) gvFreeLayout(context, graph);
    if (graph != nullptr) agclose(graph);
    if (context != nullptr) gvFreeContext(context);
  }
};

#endif

}  // namespace

bool graphLayoutAvailable() {
#ifdef LEVELNET_WITH_GRAPHVIZ
  return true;
#else
  return false;
#endif
}

PointPlacement layoutByGraph(const LevelingNetwork& net) {
#ifndef LEVELNET_WITH_GRAPHVIZ
  return circleLayout(net);
#else
  if (net.pointCount <= 1) return circleLayout(net);
  // Graphviz keeps global state (its error level, the context's plugins, the
  // layout's static tables): one layout at a time in the process, as the
  // window's 网图 lays out on a worker thread while an export may make the
  // PDF report's page on another.
  static std::mutex graphviz;
  const std::lock_guard<std::mutex> one(graphviz);
  // Graphviz's own messages (warnings about the layout) are not the user's.
  agseterr(AGMAX);
  GraphvizLayout g;
#ifdef LEVELNET_GRAPHVIZ_STATIC
  g.context = gvContextPlugins(lt_preloaded_symbols, 0);
#else
  g.context = gvContext();
#endif
  if (g.context == nullptr) throw OutOfMemoryError("内存不足：无法为网图布局");
  g.graph = agopen(text("levelnet"), Agundirected, nullptr);
  if (g.graph == nullptr) throw OutOfMemoryError("内存不足：无法为网图布局");
  const bool small = net.pointCount <= kNeatoLimit;
  agattr(g.graph, AGRAPH, text("start"), text("regular"));  // no random start: the same network, the same picture
  // No overlap removal: its prism pass draws random numbers of its own, so
  // two layouts of the same network in one process would differ.
  agattr(g.graph, AGRAPH, text("overlap"), text("true"));
  agattr(g.graph, AGRAPH, text("splines"), text("false"));
  // sfdp's coarser Barnes-Hut approximation of the repulsive forces: half
  // the time on a 100 x 100 grid, and a picture as even.
  if (!small) agattr(g.graph, AGRAPH, text("quadtree"), text("fast"));
  Agsym_t* length = agattr(g.graph, AGEDGE, text("len"), text("100"));
  // Nodes without labels, drawn as points: the layout needs no text sizes,
  // so Graphviz never measures text (its Pango text plugin reads freed
  // memory when it does, as AddressSanitizer shows), and the positions do
  // not depend on the fonts installed.
  agattr(g.graph, AGNODE, text("label"), text(""));
  agattr(g.graph, AGNODE, text("shape"), text("point"));

  // Route lengths relative to their median, as edge lengths of 0.5 to 4
  // (square roots: a 9 km route is drawn three times as long as 1 km), given
  // in hundredths as whole numbers: Graphviz reads them with the C library,
  // whose decimal separator the window's locale may make a comma.
  std::vector<double> lengths(net.routeLength.begin() + 1, net.routeLength.end());
  double median = 1.0;
  if (!lengths.empty()) {
    std::nth_element(lengths.begin(), lengths.begin() + lengths.size() / 2, lengths.end());
    median = lengths[lengths.size() / 2];
  }
  // Nodes in point order: the known points first, as the tables have them.
  std::vector<Agnode_t*> nodes(static_cast<std::size_t>(net.pointCount) + 1, nullptr);
  for (int p = 1; p <= net.pointCount; ++p) {
    const std::string name = "p" + std::to_string(p);
    nodes[p] = agnode(g.graph, text(name.c_str()), 1);
    if (nodes[p] == nullptr) throw OutOfMemoryError("内存不足：无法为网图布局");
  }
  for (int k = 1; k <= net.observationCount; ++k) {
    Agnode_t* a = nodes[net.fromPoint[k]];
    Agnode_t* b = nodes[net.toPoint[k]];
    if (a == nullptr || b == nullptr || a == b) continue;
    // Parallel routes are one edge of the layout; the drawing gives each its arc.
    if (agedge(g.graph, a, b, nullptr, 0) != nullptr || agedge(g.graph, b, a, nullptr, 0) != nullptr) continue;
    Agedge_t* e = agedge(g.graph, a, b, nullptr, 1);
    if (e == nullptr) throw OutOfMemoryError("内存不足：无法为网图布局");
    const double relative = median > 0.0 ? net.routeLength[k] / median : 1.0;
    const std::string len = std::to_string(std::lround(100.0 * std::clamp(std::sqrt(relative), 0.5, 4.0)));
    agxset(e, length, text(len.c_str()));
  }
  // sfdp's coarsening draws from the C library's rand() before it seeds it
  // for the start positions, so the layout would depend on whatever was
  // laid out before in the process: the same stream for every layout.
#ifdef LEVELNET_GRAPHVIZ_STATIC
  levelnet_gv_srand(1);
#else
  std::srand(1);
#endif
  if (gvLayout(g.context, g.graph, small ? "neato" : "sfdp") != 0) return circleLayout(net);
  g.laidOut = true;
  PointPlacement placement;
  placement.east.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  placement.north.assign(static_cast<std::size_t>(net.pointCount) + 1, 0.0);
  for (int p = 1; p <= net.pointCount; ++p) {
    placement.east[p] = ND_coord(nodes[p]).x;
    placement.north[p] = ND_coord(nodes[p]).y;
  }
  return placement;
#endif
}

}  // namespace levelnet::plot
