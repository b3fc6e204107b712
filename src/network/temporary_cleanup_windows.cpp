// Named temporaries removed when the console ends the program (Ctrl+C,
// Ctrl+Break, the console window closed, log-off, shut-down). Windows runs
// the handler on a thread of its own; it marks every registered file for
// deletion, which takes effect once the program's handle to it is closed
// (the safe save opens its temporary shared for deletion).
#include <windows.h>

#include <atomic>
#include <cwchar>
#include <mutex>

#include "network/temporary_cleanup.h"

namespace levelnet {
namespace {

constexpr int kTemporarySlots = 16;
constexpr std::size_t kTemporaryPathMax = 1024;
struct TemporarySlot {
  std::atomic<bool> used{false};
  wchar_t path[kTemporaryPathMax] = {};
};
TemporarySlot gTemporaries[kTemporarySlots];

BOOL WINAPI removeTemporariesOnConsoleEvent(DWORD) {
  for (TemporarySlot& slot : gTemporaries)
    if (slot.used.load(std::memory_order_acquire)) ::DeleteFileW(slot.path);
  return FALSE;  // then what the event would have done: the end of the program
}

}  // namespace

int registerTemporary(const std::wstring& path) {
  if (path.size() >= kTemporaryPathMax) return -1;
  static std::once_flag once;
  std::call_once(once, [] { ::SetConsoleCtrlHandler(removeTemporariesOnConsoleEvent, TRUE); });
  static std::mutex slots;
  const std::lock_guard<std::mutex> lock(slots);
  for (int k = 0; k < kTemporarySlots; ++k) {
    TemporarySlot& slot = gTemporaries[k];
    if (slot.used.load(std::memory_order_acquire)) continue;
    std::wmemcpy(slot.path, path.c_str(), path.size() + 1);
    slot.used.store(true, std::memory_order_release);
    return k;
  }
  return -1;
}

void unregisterTemporary(int slot) {
  if (slot >= 0) gTemporaries[slot].used.store(false, std::memory_order_release);
}

}  // namespace levelnet
