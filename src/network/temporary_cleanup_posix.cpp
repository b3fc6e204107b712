#include "network/temporary_cleanup.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>
#include <mutex>

namespace levelnet {
namespace {

// Named temporaries that an interrupting signal (Ctrl+C, a kill) must not
// leave behind: while a save's named temporary exists, its folder and name
// sit in a slot here, and handlers of SIGINT, SIGTERM, SIGHUP and SIGQUIT
// remove every registered name before the signal takes its course. The
// handler only reads the slots and calls unlinkat, both safe in a signal
// handler; a slot's name is written before its folder is published.
constexpr int kTemporarySlots = 16;
constexpr std::size_t kTemporaryNameMax = 256;
struct TemporarySlot {
  std::atomic<int> directory{-1};
  char name[kTemporaryNameMax] = {};
};
TemporarySlot gTemporaries[kTemporarySlots];
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction gPreviousActions[std::size(kCleanedSignals)];

void removeTemporariesOnSignal(int signal) {
  for (TemporarySlot& slot : gTemporaries) {
    const int directory = slot.directory.load(std::memory_order_acquire);
    if (directory >= 0) ::unlinkat(directory, slot.name, 0);
  }
  // Then what the signal would have done: the previous handler, or the
  // default action (the end of the process) raised again.
  for (std::size_t k = 0; k < std::size(kCleanedSignals); ++k) {
    if (kCleanedSignals[k] != signal) continue;
    const struct sigaction& previous = gPreviousActions[k];
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
      previous.sa_handler(signal);
      return;
    }
    ::sigaction(signal, &previous, nullptr);
    ::raise(signal);
  }
}

void installTemporaryCleanup() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (std::size_t k = 0; k < std::size(kCleanedSignals); ++k) {
      struct sigaction current {};
      if (::sigaction(kCleanedSignals[k], nullptr, &current) != 0) continue;
      // An ignored signal ends nothing; a handler that takes siginfo is the
      // program's own business.
      if (current.sa_handler == SIG_IGN || (current.sa_flags & SA_SIGINFO)) continue;
      gPreviousActions[k] = current;
      struct sigaction cleanup {};
      cleanup.sa_handler = removeTemporariesOnSignal;
      sigemptyset(&cleanup.sa_mask);
      for (int other : kCleanedSignals) sigaddset(&cleanup.sa_mask, other);
      ::sigaction(kCleanedSignals[k], &cleanup, nullptr);
    }
  });
}

}  // namespace

// Registers a temporary's name; the slot (-1 when none is free or the name
// is too long: the file is then only removed as usual).
int registerTemporary(int directory, const std::string& name) {
  if (name.size() >= kTemporaryNameMax) return -1;
  installTemporaryCleanup();
  static std::mutex slots;
  const std::lock_guard<std::mutex> lock(slots);
  for (int k = 0; k < kTemporarySlots; ++k) {
    TemporarySlot& slot = gTemporaries[k];
    if (slot.directory.load(std::memory_order_acquire) >= 0) continue;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.directory.store(directory, std::memory_order_release);
    return k;
  }
  return -1;
}

void unregisterTemporary(int slot) {
  if (slot >= 0) gTemporaries[slot].directory.store(-1, std::memory_order_release);
}

}  // namespace levelnet
