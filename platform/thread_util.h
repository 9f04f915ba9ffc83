// The calling thread's id, plain sleeps and short spins, for code that records who touched shared
// state and paces its polling.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform {

// The kernel's id of the calling thread (unique among live threads of the machine).
uint32_t CurrentThreadId();

// Suspends the calling thread for about `ms` milliseconds.
void SleepMs(uint32_t ms);

// Lets other runnable threads go first; returns at once when there are none.
void YieldThread();

// Tells the core this is a spin-wait: it eases off the memory bus and lets a sibling thread run.
inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield" ::: "memory");
#else
  std::atomic_signal_fence(std::memory_order_seq_cst);
#endif
}

// Microseconds on a monotonic clock, for waits too short for the millisecond tick.
inline uint64_t MonotonicMicros() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// Spins until `ready()` holds, for at most `budget_us` microseconds; whether it held. It keeps the
// CPU rather than yielding it: on a busy machine a yield can give a whole time slice away.
template <typename Ready>
bool SpinUntil(const Ready& ready, uint32_t budget_us) {
  if (budget_us == 0)
    return false;
  const uint64_t end = MonotonicMicros() + budget_us;
  do {
    for (int i = 0; i < 16; ++i)
      CpuRelax();
    if (ready())
      return true;
  } while (MonotonicMicros() < end);
  return false;
}

}  // namespace platform
