// The calling thread's id and plain sleeps, for code that records who touched shared state and
// paces its polling.
#pragma once

#include <cstdint>

namespace platform {

// The kernel's id of the calling thread (unique among live threads of the machine).
uint32_t CurrentThreadId();

// Suspends the calling thread for about `ms` milliseconds.
void SleepMs(uint32_t ms);

// Lets other runnable threads go first; returns at once when there are none.
void YieldThread();

}  // namespace platform
