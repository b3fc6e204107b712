// Work shared among the cores: independent chunks (forEachChunk), two pieces
// of work side by side (runBeside), and the elimination tree of a sparse
// factor cut into tasks, with the schedule that
// runs them: whole subtrees of little work, and above
// them the chains of the nodes between branchings. Row k of L needs only
// the rows of k's descendants, and column j of the selected inverse only
// the columns of j's ancestors; so the factorisation takes a task once the
// tasks below it are done (upward) and the selected inverse once the task
// above it is done (downward). A task's own nodes are taken in one order on
// whichever thread runs it, so every element gets its terms in the same
// order as with one thread and the bits are the same for any count.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace levelnet {

// How many threads the factorisation and the selected inverse use: the
// machine's cores, at most 8; LEVELNET_THREADS=N sets it (1 for the
// one-core figures). The numbers are the same for every count.
int workerCount();

// Runs run(begin, end, worker) over [0, count) in chunks of `chunk`, taken in
// turn by `workers` threads (the calling thread is worker 0). For work whose
// pieces are independent: what a chunk computes must not depend on which
// worker ran it. An exception (memory) on any worker stops the others from
// taking new chunks and is passed on once all have ended.
template <class Run>
void forEachChunk(std::size_t count, std::size_t chunk, int workers, Run run) {
  chunk = std::max<std::size_t>(chunk, 1);
  const std::size_t chunks = (count + chunk - 1) / chunk;
  workers = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), chunks));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stopped{false};
  std::vector<std::exception_ptr> failed(static_cast<std::size_t>(std::max(workers, 1)));
  auto work = [&](int worker) {
    for (;;) {
      const std::size_t c = next.fetch_add(1);
      if (c >= chunks || stopped.load()) return;
      try {
        run(c * chunk, std::min(count, (c + 1) * chunk), worker);
      } catch (...) {
        failed[worker] = std::current_exception();
        stopped.store(true);
        return;
      }
    }
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < workers; ++w) threads.emplace_back(work, w);
  work(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& e : failed)
    if (e) std::rethrow_exception(e);
}

// Runs `beside` on a thread of its own while `main` runs on the calling
// thread, for two pieces of work that only read what they share. An
// exception of `main` is passed on first (once `beside` has ended), then one
// of `beside`.
template <class Main, class Beside>
void runBeside(Main&& main, Beside&& beside) {
  std::exception_ptr failed;
  std::thread side([&] {
    try {
      beside();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    main();
  } catch (...) {
    side.join();
    throw;
  }
  side.join();
  if (failed) std::rethrow_exception(failed);
}

// The tasks, each a run of nodes of the tree.
struct TaskTree {
  int workers = 1;
  std::vector<int> start, nodes;          // task q's nodes, ascending: nodes[start[q] .. start[q + 1])
  std::vector<int> parent;                // the task above, or -1
  std::vector<int> childStart, children;  // the tasks right below
  std::vector<double> weight;             // the work of the task and all below it
};

// The tasks of the tree of parent[0..t) (-1 at a root) whose column j has
// columnCount[j] entries below the diagonal; one task per root for one
// worker.
TaskTree taskTreeOf(const int* parent, const int* columnCount, int t, int workers);

// Runs run(task, worker) for every task of the tree on its workers (the
// calling thread is worker 0), each task once those it waits for are done:
// upward, the tasks below it; downward, the task above it. Of the tasks
// that may start, the one with the most work below it goes first. run
// returns false to stop (no further task starts); an exception (memory) on
// any worker also stops, and is passed on once all have ended.
template <class Run>
bool runTaskTree(const TaskTree& tree, bool upward, Run run) {
  const int tasks = static_cast<int>(tree.parent.size());
  std::vector<int> waiting(static_cast<std::size_t>(tasks), 0);
  auto heavier = [&tree](int a, int b) { return tree.weight[a] < tree.weight[b]; };
  std::vector<int> ready;
  for (int q = 0; q < tasks; ++q) {
    waiting[q] = upward ? tree.childStart[q + 1] - tree.childStart[q] : (tree.parent[q] >= 0 ? 1 : 0);
    if (waiting[q] == 0) ready.push_back(q);
  }
  std::make_heap(ready.begin(), ready.end(), heavier);
  std::mutex mutex;
  std::condition_variable changed;
  int left = tasks;
  bool stopped = false;
  std::vector<std::exception_ptr> failed(static_cast<std::size_t>(tree.workers));
  auto work = [&](int worker) {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stopped || left == 0 || !ready.empty(); });
      if (stopped || left == 0) return;
      std::pop_heap(ready.begin(), ready.end(), heavier);
      const int q = ready.back();
      ready.pop_back();
      lock.unlock();
      bool going = false;
      try {
        going = run(q, worker);
      } catch (...) {
        failed[worker] = std::current_exception();
      }
      lock.lock();
      --left;
      if (!going) stopped = true;
      auto release = [&](int next) {
        if (--waiting[next] == 0) {
          ready.push_back(next);
          std::push_heap(ready.begin(), ready.end(), heavier);
        }
      };
      if (upward) {
        if (tree.parent[q] >= 0) release(tree.parent[q]);
      } else {
        for (int c = tree.childStart[q]; c < tree.childStart[q + 1]; ++c) release(tree.children[c]);
      }
      changed.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (int w = 1; w < tree.workers; ++w) threads.emplace_back(work, w);
  work(0);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& e : failed)
    if (e) std::rethrow_exception(e);
  return !stopped;
}

}  // namespace levelnet
