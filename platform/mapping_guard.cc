#include "platform/mapping_guard.h"

#include <signal.h>
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace platform {

namespace {

// Each running game holds two queue mappings and a few small segments; this leaves ample room.
constexpr size_t kSlots = 256;

// Read by the signal handler, so plain atomics only. A slot is in use while `begin` is not 0;
// `size` is written before `begin` is published.
struct Slot {
  std::atomic<uintptr_t> begin{0};
  std::atomic<size_t> size{0};
  std::atomic<bool> replaced{false};
};

Slot g_slots[kSlots];
std::mutex g_slots_mutex;  // serialises Guard and Unguard; never taken by the handler
struct sigaction g_previous {};
std::once_flag g_installed;

Slot* FindSlot(uintptr_t begin) {
  for (Slot& s : g_slots) {
    if (s.begin.load(std::memory_order_acquire) == begin)
      return &s;
  }
  return nullptr;
}

void OnBusError(int sig, siginfo_t* info, void* context) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (Slot& s : g_slots) {
    const uintptr_t begin = s.begin.load(std::memory_order_acquire);
    const size_t size = s.size.load(std::memory_order_acquire);
    if (begin == 0 || at - begin >= size)
      continue;
    void* fresh = mmap(reinterpret_cast<void*>(begin), size, PROT_READ | PROT_WRITE,
                       MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (fresh != MAP_FAILED) {
      s.replaced.store(true, std::memory_order_release);
      return;  // the access runs again, on the zero pages
    }
    break;
  }
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
    g_previous.sa_sigaction(sig, info, context);
    return;
  }
  if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
    return;
  }
  // Returning runs the access again, which now faults with the default action.
  signal(SIGBUS, SIG_DFL);
}

void Install() {
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &g_previous);
}

}  // namespace

bool GuardMapping(void* begin, size_t size) {
  if (begin == nullptr || size == 0)
    return false;
  std::call_once(g_installed, Install);
  std::lock_guard<std::mutex> lock(g_slots_mutex);
  Slot* slot = FindSlot(0);
  if (slot == nullptr)
    return false;
  slot->replaced.store(false, std::memory_order_relaxed);
  slot->size.store(size, std::memory_order_release);
  slot->begin.store(reinterpret_cast<uintptr_t>(begin), std::memory_order_release);
  return true;
}

void UnguardMapping(void* begin) {
  if (begin == nullptr)
    return;
  std::lock_guard<std::mutex> lock(g_slots_mutex);
  if (Slot* slot = FindSlot(reinterpret_cast<uintptr_t>(begin)))
    slot->begin.store(0, std::memory_order_release);
}

bool MappingWasReplaced(void* begin) {
  if (begin == nullptr)
    return false;
  std::lock_guard<std::mutex> lock(g_slots_mutex);
  Slot* slot = FindSlot(reinterpret_cast<uintptr_t>(begin));
  return slot != nullptr && slot->replaced.load(std::memory_order_acquire);
}

}  // namespace platform
