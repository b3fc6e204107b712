#include "adjust/elimination_tasks.h"

#include <cstdlib>

namespace levelnet {

int workerCount() {
  if (const char* text = std::getenv("LEVELNET_THREADS")) {
    const int n = std::atoi(text);
    if (n >= 1) return std::min(n, 8);
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(cores, 1u, 8u));
}

TaskTree taskTreeOf(const int* parent, const int* columnCount, int t, int workers) {
  TaskTree tree;
  tree.workers = workers;
  // The work of a column in either pass grows as the square of its count;
  // weight[j] becomes that of j's whole subtree (children come first).
  std::vector<double> weight(static_cast<std::size_t>(t));
  for (int j = 0; j < t; ++j) weight[j] = 0.5 * columnCount[j] * (columnCount[j] + 1.0) + 1.0;
  std::vector<int> childCount(static_cast<std::size_t>(t), 0);
  double total = 0.0;
  for (int j = 0; j < t; ++j) {
    if (parent[j] >= 0) {
      weight[parent[j]] += weight[j];
      ++childCount[parent[j]];
    } else {
      total += weight[j];
    }
  }
  // One thread: one task. Otherwise a subtree of at most 1/2048 of the work
  // is one task; a node above that joins the chain of its only child.
  const double small = workers > 1 ? total / 2048 : total;
  std::vector<int> task(static_cast<std::size_t>(t), -1);
  int tasks = 0;
  for (int j = t - 1; j >= 0; --j) {
    // A subtree's nodes follow its root: the root takes a new task when its
    // parent is above the line.
    if (weight[j] <= small && (parent[j] < 0 || weight[parent[j]] > small))
      task[j] = tasks++;
    else if (weight[j] <= small)
      task[j] = task[parent[j]];
  }
  std::vector<int> onlyChild(static_cast<std::size_t>(t), -1);
  for (int j = 0; j < t; ++j)
    if (parent[j] >= 0 && childCount[parent[j]] == 1) onlyChild[parent[j]] = j;
  for (int j = 0; j < t; ++j) {
    if (task[j] >= 0 && weight[j] <= small) continue;
    const int c = onlyChild[j];
    task[j] = c >= 0 && weight[c] > small ? task[c] : tasks++;
  }
  tree.start.assign(static_cast<std::size_t>(tasks) + 1, 0);
  for (int j = 0; j < t; ++j) ++tree.start[task[j] + 1];
  for (int q = 0; q < tasks; ++q) tree.start[q + 1] += tree.start[q];
  tree.nodes.resize(static_cast<std::size_t>(t));
  std::vector<int> fill(tree.start.begin(), tree.start.end() - 1);
  for (int j = 0; j < t; ++j) tree.nodes[fill[task[j]]++] = j;
  // A task's highest node is its last; the task above is its parent's.
  tree.parent.assign(static_cast<std::size_t>(tasks), -1);
  tree.weight.assign(static_cast<std::size_t>(tasks), 0.0);
  tree.childStart.assign(static_cast<std::size_t>(tasks) + 1, 0);
  for (int q = 0; q < tasks; ++q) {
    const int highest = tree.nodes[tree.start[q + 1] - 1];
    tree.weight[q] = weight[highest];
    if (parent[highest] >= 0) {
      tree.parent[q] = task[parent[highest]];
      ++tree.childStart[tree.parent[q] + 1];
    }
  }
  for (int q = 0; q < tasks; ++q) tree.childStart[q + 1] += tree.childStart[q];
  tree.children.resize(static_cast<std::size_t>(tree.childStart[tasks]));
  fill.assign(tree.childStart.begin(), tree.childStart.end() - 1);
  for (int q = 0; q < tasks; ++q)
    if (tree.parent[q] >= 0) tree.children[fill[tree.parent[q]]++] = q;
  return tree;
}

}  // namespace levelnet
