// Waiting until the program that started the applier has ended, so that its files are free.
//
// The parent is found in the process list. When it is gone before the applier looks, the applier
// has been handed to process 1 and nothing is waited for. A session manager that adopts orphans
// cannot be told from a real parent and would be waited for; that needs the hall to end within
// the applier's first moments, before the list is read.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/process.h"

namespace brimsett {

// Pause when the process list cannot be read, or the parent cannot be waited for at all.
inline constexpr uint32_t kParentUnknownPauseMs = 500;
// Interval of the fall-back poll when the parent cannot be waited for directly.
inline constexpr uint32_t kParentPollMs = 100;

using Sleeper = std::function<void(uint32_t ms)>;

// Returns once the calling process's parent has ended (at once when it has none to wait for).
void WaitForParentExit(platform::ProcessLauncher& launcher, const Sleeper& sleep);

}  // namespace brimsett
