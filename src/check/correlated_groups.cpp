#include "check/correlated_groups.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "adjust/elimination_tasks.h"
#include "adjust/sparse_normal.h"

namespace levelnet {

// Why a cycle decides a pair without rho. With S = P^1/2 Q_vv P^1/2, the
// orthogonal projection onto the (weighted) cycle space of the network (the
// known points taken as one vertex, so that a route from one known point to
// another is a cycle too), rho(v_i, v_j) is the cosine of the columns s_i and
// s_j of S, and |s_i|^2 = r_i. A cycle C through observation i that avoids j
// gives the unit vector g of the cycle space with g_k = +-1 / sqrt(p_k R_C)
// on C (R_C the sum of 1 / p_k over C) and 0 elsewhere; since s_k . g = g_k,
//   2 (1 - |rho|) = |s_i / |s_i| -+ s_j / |s_j||^2 >= g_i^2 / r_i,
// so 1 - |rho| >= 1 / (2 p_i r_i R_C): exactly. A pair so decided has
// 1 - |rho| >= kCertificateGap, ten times the largest tolerance of the
// test. Its computed rho would need a rounding error of nine tolerances to
// pass, while the tolerance is the bound of that error where it is not
// clamped at its largest, that is where both redundancies are at least
// kRoundingModelled; pairs of an observation below it are always computed.
// An observation on every cycle with i (a chain with it) has no such cycle:
// its pairs are computed, and those are the ties.

namespace {

constexpr double kEps = std::numeric_limits<double>::epsilon();
constexpr double kCertificateGap = 10 * kMaxTieTolerance;
// A cycle is looked for among this many nearest vertices at most; beyond,
// the pair gets rho.
constexpr int kSearchBudget = 2000;

// The network as a graph: vertex 0 every known point, vertex i unknown
// point i (its parameter), edge k observation k with the length 1 / p_k.
// Built once; each thread searches it with a CycleFinder of its own.
struct CycleGraph {
  explicit CycleGraph(const AdjustmentResults& run) : run(run) {
    const int t = run.net.parameterCount, n = run.net.observationCount;
    start.assign(static_cast<std::size_t>(t) + 2, 0);
    for (int k = 1; k <= n; ++k) {
      ++start[end(k, 0) + 1];
      ++start[end(k, 1) + 1];
    }
    for (int v = 0; v <= t; ++v) start[v + 1] += start[v];
    incident.assign(start[t + 1], HalfEdge{});
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int k = 1; k <= n; ++k) {
      incident[fill[end(k, 0)]++] = {k, end(k, 1)};
      incident[fill[end(k, 1)]++] = {k, end(k, 0)};
    }
    length.assign(static_cast<std::size_t>(n) + 1, 0.0);
    for (int k = 1; k <= n; ++k) length[k] = 1.0 / run.weights[k];
  }

  // End 0: the to point's vertex, end 1: the from point's.
  int end(int k, int which) const {
    const ErrorEquation& e = run.errorEquations[k];
    return which == 0 ? e.toParameter : e.fromParameter;
  }
  int vertices() const { return run.net.parameterCount + 1; }

  // An observation at a vertex, and the vertex at its other end.
  struct HalfEdge {
    int observation = 0;
    int other = 0;
  };
  const AdjustmentResults& run;
  std::vector<int> start;
  std::vector<HalfEdge> incident;
  std::vector<double> length;  // 1 / p of every observation
};

// The searches for cycles, with their own memory, kept from call to call.
class CycleFinder {
 public:
  explicit CycleFinder(const CycleGraph& graph) : graph_(graph) {
    const std::size_t v = static_cast<std::size_t>(graph.vertices());
    distance_.assign(v, kUnreached);
    seen_.assign(v, 0);
    via_.assign(v, 0);
  }

  // A cycle through observation k avoiding observation `avoid` (0: none)
  // whose length is at most `limit`: its other observations in `path`; false
  // where none is found within the budget. Any such cycle decides the pairs;
  // the one of fewest observations is looked for first (the cheapest
  // search), the shortest by length where that one is too long.
  bool cycle(int k, int avoid, double limit, std::vector<int>* path) {
    const int a = graph_.end(k, 1), b = graph_.end(k, 0);
    const double own = graph_.length[k];
    if (a == b) {  // between two known points: a cycle of its own
      if (path) path->clear();
      return own <= limit;
    }
    if (fewestObservations(k, avoid, limit, path)) return true;
    return shortest(k, avoid, limit, path);
  }

 private:
  // Breadth first from the from point's vertex to the to point's.
  bool fewestObservations(int k, int avoid, double limit, std::vector<int>* path) {
    const int a = graph_.end(k, 1), b = graph_.end(k, 0);
    // A vertex is seen in this search when it carries this search's stamp.
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    const unsigned stamp = stamp_;
    frontier_.clear();
    frontier_.push_back(a);
    seen_[a] = stamp;
    bool found = false;
    for (std::size_t head = 0; head < frontier_.size() && !found && head < kSearchBudget; ++head) {
      const int v = frontier_[head];
      for (int e = graph_.start[v]; e < graph_.start[v + 1]; ++e) {
        const CycleGraph::HalfEdge& h = graph_.incident[e];
        if (h.observation == k || h.observation == avoid) continue;
        const int w = h.other;
        if (seen_[w] == stamp) continue;
        seen_[w] = stamp;
        via_[w] = h.observation;
        if (w == b) {
          found = true;
          break;
        }
        frontier_.push_back(w);
      }
    }
    double length = graph_.length[k];
    if (found) {
      if (path) path->clear();
      for (int v = b; v != a;) {
        const int m = via_[v];
        if (path) path->push_back(m);
        length += graph_.length[m];
        v = graph_.end(m, 0) == v ? graph_.end(m, 1) : graph_.end(m, 0);
      }
    }
    return found && length <= limit;
  }

  // Dijkstra's search, bounded by `limit`.
  bool shortest(int k, int avoid, double limit, std::vector<int>* path) {
    const int a = graph_.end(k, 1), b = graph_.end(k, 0);
    const double own = graph_.length[k];
    std::vector<Item>& queue = queue_;  // a binary heap
    queue.clear();
    distance_[a] = 0.0;
    touched_.push_back(a);
    queue.push_back({0.0, a});
    bool found = false;
    int settled = 0;
    while (!queue.empty()) {
      std::pop_heap(queue.begin(), queue.end(), std::greater<Item>());
      const auto [d, v] = queue.back();
      queue.pop_back();
      if (d > distance_[v]) continue;
      if (v == b) {
        found = true;
        break;
      }
      if (++settled > kSearchBudget) break;
      for (int e = graph_.start[v]; e < graph_.start[v + 1]; ++e) {
        const int m = graph_.incident[e].observation;
        if (m == k || m == avoid) continue;
        const int w = graph_.incident[e].other;
        const double next = d + graph_.length[m];
        if (own + next > limit || !(next < distance_[w])) continue;
        if (distance_[w] == kUnreached) touched_.push_back(w);
        distance_[w] = next;
        via_[w] = m;
        queue.push_back({next, w});
        std::push_heap(queue.begin(), queue.end(), std::greater<Item>());
      }
    }
    if (found && path) {
      path->clear();
      for (int v = b; v != a;) {
        const int m = via_[v];
        path->push_back(m);
        v = graph_.end(m, 0) == v ? graph_.end(m, 1) : graph_.end(m, 0);
      }
    }
    for (int v : touched_) distance_[v] = kUnreached;
    touched_.clear();
    return found;
  }

  static constexpr double kUnreached = std::numeric_limits<double>::infinity();
  using Item = std::pair<double, int>;
  const CycleGraph& graph_;
  std::vector<Item> queue_;
  std::vector<double> distance_;
  std::vector<unsigned> seen_;
  unsigned stamp_ = 0;
  std::vector<int> via_, touched_, frontier_;
};

}  // namespace

// The factorisation of the adjustment's own sparse path, or (for results of
// the textbook solver) a new one of the same N.
std::shared_ptr<const SparseNormalSolver> solverOf(const AdjustmentResults& run) {
  if (run.sparseSolver) return run.sparseSolver;
  return std::make_shared<const SparseNormalSolver>(run);
}

// ||N|| ||N^-1|| as the sparse path computes it (pipeline.cpp): the same
// solve and product, so the same number; the sparse path's results carry it.
double conditionWith(const AdjustmentResults& run, const SparseNormalSolver& solver) {
  if (run.sparseSolver && run.normalCondition > 0.0) return run.normalCondition;
  const int t = run.net.parameterCount;
  std::vector<double> ones(static_cast<std::size_t>(t) + 1, 1.0);
  ones[0] = 0.0;
  const std::vector<double> inverseRows = solver.solve(ones), norms = solver.multiplyAbsolute(ones);
  double inverseNorm = 0.0, norm = 0.0;
  for (int i = 1; i <= t; ++i) {
    inverseNorm = std::max(inverseNorm, inverseRows[i]);
    norm = std::max(norm, norms[i]);
  }
  return norm * inverseNorm;
}

double tieTolerance(double condition, double redundancyI, double redundancyJ) {
  return std::clamp(1e3 * kEps * std::max(condition, 1.0) / std::min(redundancyI, redundancyJ), 1e-10,
                    kMaxTieTolerance);
}

std::vector<int> perfectlyCorrelatedGroups(const AdjustmentResults& run, const std::vector<Residual>& rows) {
  return perfectlyCorrelatedGroups(run, rows, workerCount());
}

std::vector<int> perfectlyCorrelatedGroups(const AdjustmentResults& run, const std::vector<Residual>& rows,
                                           int workers) {
  const int n = static_cast<int>(rows.size()) - 1;
  std::vector<int> group(rows.size(), 0);
  std::vector<int> order;
  for (int k = 1; k <= n; ++k)
    if (rows[k].standardised) order.push_back(k);
  std::vector<double> keys(rows.size(), 0.0);
  for (int k : order) keys[k] = rows[k].p * rows[k].p * rows[k].qvv;
  auto key = [&](int k) { return keys[k]; };
  {
    // Sorted with each key beside its observation, which the sort moves and
    // compares many times over; the comparison is of the keys alone, as
    // before, so equal keys end in the same order as the observations would.
    std::vector<std::pair<double, int>> keyed;
    keyed.reserve(order.size());
    for (int k : order) keyed.emplace_back(keys[k], k);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t x = 0; x < keyed.size(); ++x) order[x] = keyed[x].second;
  }

  // The candidates: runs of the sorted keys chained within 1e-3, of two or
  // more observations; bucketOf names the run by its first place in `order`.
  std::vector<std::pair<std::size_t, std::size_t>> buckets;
  std::vector<int> bucketOf(rows.size(), -1), positionOf(rows.size(), 0);
  for (std::size_t begin = 0; begin < order.size();) {
    std::size_t end = begin + 1;
    while (end < order.size() && key(order[end]) - key(order[end - 1]) <= 1e-3 * key(order[end])) ++end;
    if (end - begin >= 2) {
      buckets.emplace_back(begin, end);
      for (std::size_t x = begin; x < end; ++x) {
        bucketOf[order[x]] = static_cast<int>(begin);
        positionOf[order[x]] = static_cast<int>(x);
      }
    }
    begin = end;
  }
  if (buckets.empty()) return group;

  const std::shared_ptr<const SparseNormalSolver> solver = solverOf(run);
  const double condition = conditionWith(run, *solver);
  const double modelledRedundancy = 1e3 * kEps * std::max(condition, 1.0) / kMaxTieTolerance;
  const CycleGraph graph(run);
  const int t = run.net.parameterCount;
  int groups = 0;

  // What is known of each observation: whether its redundancy lies where the
  // tolerance bounds the rounding error of rho, and the short cycle through
  // it that decides its pairs with every observation off that cycle.
  enum State : unsigned char { kUnknown, kRoundingNotModelled, kNoCycle, kCycle };
  std::vector<unsigned char> state(rows.size(), kUnknown);
  auto limitOf = [&](int k) { return 1.0 / (2 * rows[k].p * rows[k].redundancy * kCertificateGap); };

  // Every search below gives the same answer on any thread and in any
  // order, so they are made up front, shared among the cores, in the order
  // of the observations (neighbours in the file are mostly neighbours in
  // the network, whose memory is then at hand); the pairs are then visited
  // in the order of the keys, as the test defines the groups.
  std::vector<int> searched;
  for (int k = 1; k <= n; ++k) {
    if (bucketOf[k] < 0) continue;
    if (rows[k].redundancy >= modelledRedundancy)
      searched.push_back(k);
    else
      state[k] = kRoundingNotModelled;
  }
  constexpr std::size_t kChunk = 64;  // small enough that a small network is shared too
  const std::size_t chunks = (searched.size() + kChunk - 1) / kChunk;
  workers = std::max(workers, 1);
  std::vector<std::unique_ptr<CycleFinder>> finders(static_cast<std::size_t>(workers));
  auto finderOf = [&](int worker) -> CycleFinder& {
    if (!finders[worker]) finders[worker] = std::make_unique<CycleFinder>(graph);
    return *finders[worker];
  };

  // The cycle of k: cycles[cycleBegin[k] .. cycleBegin[k] + cycleSize[k]).
  // Each chunk keeps the cycles it found; they are joined in chunk order.
  std::vector<std::vector<int>> chunkCycles(chunks);
  std::vector<std::size_t> cycleBegin(rows.size(), 0);
  std::vector<int> cycleSize(rows.size(), 0);
  forEachChunk(searched.size(), kChunk, workers, [&](std::size_t begin, std::size_t end, int worker) {
    CycleFinder& finder = finderOf(worker);
    std::vector<int>& found = chunkCycles[begin / kChunk];
    std::vector<int> path;
    for (std::size_t s = begin; s < end; ++s) {
      const int k = searched[s];
      state[k] = finder.cycle(k, 0, limitOf(k), &path) ? kCycle : kNoCycle;
      if (state[k] == kCycle) {
        cycleBegin[k] = found.size();
        cycleSize[k] = static_cast<int>(path.size());
        found.insert(found.end(), path.begin(), path.end());
      }
    }
  });
  // The lists of the chunks one after another, each observation's begin
  // moved by the length of the chunks before its own.
  auto joined = [&](std::vector<std::vector<int>>& parts, std::vector<std::size_t>& beginOf) {
    std::size_t total = 0;
    for (const std::vector<int>& part : parts) total += part.size();
    std::vector<int> all;
    all.reserve(total);
    for (std::size_t c = 0; c < chunks; ++c) {
      for (std::size_t s = c * kChunk; s < std::min(searched.size(), (c + 1) * kChunk); ++s)
        if (state[searched[s]] == kCycle) beginOf[searched[s]] += all.size();
      all.insert(all.end(), parts[c].begin(), parts[c].end());
      std::vector<int>().swap(parts[c]);
    }
    return all;
  };
  const std::vector<int> cycles = joined(chunkCycles, cycleBegin);
  auto cycleOf = [&](int k) {
    const int* begin = cycles.data() + cycleBegin[k];
    return std::make_pair(begin, begin + cycleSize[k]);
  };
  auto onCycle = [&](int k, int m) {
    const auto [begin, end] = cycleOf(k);
    return std::find(begin, end, m) != end;
  };

  // Whether a cycle through i avoids j (1) or none is found (0), for j on
  // the cycle of i, at j's place on it; -1 where not searched yet.
  std::vector<signed char> avoids(cycles.size(), -1);
  // Whether |rho(v_i, v_j)| < 1 - kCertificateGap is certain without rho.
  // A search of a pair not made yet is made with `finder` and kept.
  auto decided = [&](CycleFinder& finder, int i, int j) {
    auto avoidingCycle = [&](int a, int b) {
      const std::size_t c = static_cast<std::size_t>(std::find(cycleOf(a).first, cycleOf(a).second, b) - cycles.data());
      if (avoids[c] < 0) avoids[c] = finder.cycle(a, b, limitOf(a), nullptr) ? 1 : 0;
      return avoids[c] == 1;
    };
    if (state[i] == kRoundingNotModelled || state[j] == kRoundingNotModelled) return false;
    if (state[i] == kCycle && !onCycle(i, j)) return true;
    if (state[j] == kCycle && !onCycle(j, i)) return true;
    // Without a cycle of its own, none that avoids more is found either.
    return (state[i] == kCycle && avoidingCycle(i, j)) || (state[j] == kCycle && avoidingCycle(j, i));
  };

  // Of each observation j with a short cycle, the observations later in its
  // run on that cycle whose pair with j the cycles do not decide: the pairs
  // that get rho (with those whose rounding is not modelled). Whether a pair
  // is decided depends on the pair alone, so this too is made up front,
  // with the searches of (i, j) and (j, i) left to the task of j, the first
  // of the pair, alone. Long cycles are left to the pass in key order: along
  // a chain every section lies on every other's cycle, no cycle avoids
  // another, and its pairs are ties, all decided once the first is grouped.
  // undecided[undecidedBegin[j] .. undecidedBegin[j] + undecidedSize[j]),
  // joined in chunk order as the cycles are.
  constexpr int kShortCycle = 8;
  auto shortCycle = [&](int j) { return state[j] == kCycle && cycleSize[j] <= kShortCycle; };
  std::vector<std::vector<int>> chunkUndecided(chunks);
  std::vector<std::size_t> undecidedBegin(rows.size(), 0);
  std::vector<int> undecidedSize(rows.size(), 0);
  forEachChunk(searched.size(), kChunk, workers, [&](std::size_t begin, std::size_t end, int worker) {
    CycleFinder& own = finderOf(worker);
    std::vector<int>& found = chunkUndecided[begin / kChunk];
    for (std::size_t s = begin; s < end; ++s) {
      const int j = searched[s];
      if (!shortCycle(j)) continue;
      undecidedBegin[j] = found.size();
      const auto [cycleStart, cycleEnd] = cycleOf(j);
      for (const int* c = cycleStart; c != cycleEnd; ++c)
        if (const int m = *c; bucketOf[m] == bucketOf[j] && positionOf[m] > positionOf[j] && !decided(own, j, m))
          found.push_back(positionOf[m]);
      undecidedSize[j] = static_cast<int>(found.size() - undecidedBegin[j]);
    }
  });
  const std::vector<int> undecided = joined(chunkUndecided, undecidedBegin);

  std::vector<int> unmodelled, candidates;
  for (const auto& [begin, end] : buckets) {
    unmodelled.clear();
    for (std::size_t x = begin; x < end; ++x)
      if (state[order[x]] == kRoundingNotModelled) unmodelled.push_back(static_cast<int>(x));
    for (std::size_t x = begin; x < end; ++x) {
      const int j = order[x];
      if (group[j] != 0) continue;
      // The later observations whose pair with j is not decided by j's
      // cycle: those on it and those whose rounding the tolerance does not
      // bound; all of them where j has no cycle.
      // Where j has a short cycle, only the pairs left undecided above.
      candidates.clear();
      const bool onlyUndecided = shortCycle(j);
      if (state[j] == kCycle) {
        if (onlyUndecided) {
          candidates.assign(undecided.begin() + static_cast<std::ptrdiff_t>(undecidedBegin[j]),
                            undecided.begin() + static_cast<std::ptrdiff_t>(undecidedBegin[j] + undecidedSize[j]));
        } else {
          const auto [cycleStart, cycleEnd] = cycleOf(j);
          for (const int* c = cycleStart; c != cycleEnd; ++c)
            if (const int m = *c; bucketOf[m] == static_cast<int>(begin) && positionOf[m] > static_cast<int>(x))
              candidates.push_back(positionOf[m]);
        }
        for (int y : unmodelled)
          if (y > static_cast<int>(x)) candidates.push_back(y);
        std::sort(candidates.begin(), candidates.end());
        candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
      } else {
        for (std::size_t y = x + 1; y < end; ++y) candidates.push_back(static_cast<int>(y));
      }
      const ErrorEquation& aj = run.errorEquations[j];
      std::vector<double> qa;
      for (int y : candidates) {
        const int i = order[y];
        if (group[i] != 0) continue;
        if (!onlyUndecided && decided(finderOf(0), j, i)) continue;
        if (qa.empty()) {
          std::vector<double> column(static_cast<std::size_t>(t) + 1, 0.0);
          if (aj.toParameter != 0) column[aj.toParameter] += 1.0;
          if (aj.fromParameter != 0) column[aj.fromParameter] -= 1.0;
          qa = solver->solve(column);
        }
        const ErrorEquation& ai = run.errorEquations[i];
        double aqa = 0.0;
        if (ai.toParameter != 0) aqa += qa[ai.toParameter];
        if (ai.fromParameter != 0) aqa -= qa[ai.fromParameter];
        const double rho = -aqa / std::sqrt(rows[i].qvv * rows[j].qvv);
        const double tolerance = tieTolerance(condition, rows[i].redundancy, rows[j].redundancy);
        if (std::fabs(rho) >= 1.0 - tolerance) {
          if (group[j] == 0) group[j] = ++groups;
          group[i] = group[j];
        }
      }
    }
  }
  return group;
}

}  // namespace levelnet
