#include "check/misclosures.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

namespace levelnet {

namespace {

// The spanning tree: for each point, the observation to its parent (0 for
// the known points, whose parent is the datum) and the parent itself.
struct Tree {
  std::vector<int> parent;       // 0 = datum
  std::vector<int> observation;  // observation to the parent
  std::vector<int> depth;
};

Tree shortestRouteTree(const LevelingNetwork& net) {
  const int points = net.pointCount;
  // The observations at each point, in ascending order:
  // incident[start[p] .. start[p + 1]).
  std::vector<int> start(static_cast<std::size_t>(points) + 2, 0);
  for (int j = 1; j <= net.observationCount; ++j) {
    ++start[net.fromPoint[j] + 1];
    ++start[net.toPoint[j] + 1];
  }
  for (int p = 0; p <= points; ++p) start[p + 1] += start[p];
  std::vector<int> incident(static_cast<std::size_t>(start[points + 1]));
  {
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int j = 1; j <= net.observationCount; ++j) {
      incident[fill[net.fromPoint[j]]++] = j;
      incident[fill[net.toPoint[j]]++] = j;
    }
  }
  Tree tree;
  tree.parent.assign(points + 1, -1);
  tree.observation.assign(points + 1, 0);
  tree.depth.assign(points + 1, 0);
  std::vector<double> distance(points + 1, std::numeric_limits<double>::infinity());
  using Entry = std::pair<double, int>;  // distance, point: ties go to the lower number
  std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
  for (int p = 1; p <= net.knownCount; ++p) {
    distance[p] = 0.0;
    tree.parent[p] = 0;
    tree.depth[p] = 1;
    queue.push({0.0, p});
  }
  std::vector<char> done(points + 1, 0);
  while (!queue.empty()) {
    const auto [d, p] = queue.top();
    queue.pop();
    if (done[p]) continue;
    done[p] = 1;
    for (int e = start[p]; e < start[p + 1]; ++e) {
      const int j = incident[e];
      const int q = net.fromPoint[j] == p ? net.toPoint[j] : net.fromPoint[j];
      if (q <= net.knownCount || done[q]) continue;
      const double nd = d + net.routeLength[j];
      if (nd < distance[q]) {
        distance[q] = nd;
        tree.parent[q] = p;
        tree.observation[q] = j;
        tree.depth[q] = tree.depth[p] + 1;
        queue.push({nd, q});
      }
    }
  }
  return tree;
}

// Height difference of observation j when walked from point u to the other end.
double walked(const LevelingNetwork& net, int j, int u) {
  return net.fromPoint[j] == u ? net.observedDifference[j] : -net.observedDifference[j];
}

}  // namespace

std::vector<Misclosure> findMisclosures(const LevelingNetwork& net) {
  const Tree tree = shortestRouteTree(net);
  std::vector<char> inTree(static_cast<std::size_t>(net.observationCount) + 1, 0);
  for (int p = 1; p <= net.pointCount; ++p) inTree[tree.observation[p]] = 1;

  std::vector<Misclosure> result;
  result.reserve(static_cast<std::size_t>(std::max(0, net.observationCount - net.parameterCount)));
  std::vector<int> upA, upB;  // their memory kept from loop to loop
  for (int j = 1; j <= net.observationCount; ++j) {
    if (inTree[j]) continue;
    const int a = net.fromPoint[j], b = net.toPoint[j];
    // Climb from both ends to the common ancestor (0 = the datum).
    upA.assign(1, a);
    upB.assign(1, b);
    int x = a, y = b;
    while (x != y) {
      if (tree.depth[x] >= tree.depth[y]) {
        x = tree.parent[x];
        upA.push_back(x);
      } else {
        y = tree.parent[y];
        upB.push_back(y);
      }
    }
    // upA: a .. meeting point; upB: b .. meeting point.
    Misclosure m;
    m.route = x == 0;
    if (m.route) {  // from the known point above a to the known point above b
      upA.pop_back();
      upB.pop_back();
    } else {
      upB.pop_back();  // the meeting point closes the loop once, at both ends
    }
    std::vector<int>& sequence = m.points;
    sequence.reserve(upA.size() + upB.size() + 1);
    sequence.assign(upA.rbegin(), upA.rend());
    sequence.insert(sequence.end(), upB.begin(), upB.end());
    if (!m.route) sequence.push_back(sequence.front());

    double sum = 0.0;
    for (std::size_t s = 0; s + 1 < sequence.size(); ++s) {
      const int u = sequence[s], v = sequence[s + 1];
      int obs;
      if (u == a && v == b)
        obs = j;
      else if (tree.parent[v] == u)
        obs = tree.observation[v];
      else
        obs = tree.observation[u];
      sum += walked(net, obs, u);
      m.lengthKm += net.routeLength[obs];
    }
    const double required = m.route ? net.elevation[sequence.back()] - net.elevation[sequence.front()] : 0.0;
    m.misclosureMm = (sum - required) * 1000.0;
    result.push_back(std::move(m));
  }
  return result;
}

double totalErrorPerKm(const std::vector<Misclosure>& misclosures) {
  if (misclosures.empty()) return 0.0;
  double sum = 0.0;
  for (const Misclosure& m : misclosures) sum += m.misclosureMm * m.misclosureMm / m.lengthKm;
  return std::sqrt(sum / static_cast<double>(misclosures.size()));
}

}  // namespace levelnet
