#include "brimsett/parent_wait.h"

#include <optional>

namespace brimsett {
namespace {

constexpr uint32_t kWaitWithoutLimit = 0xFFFFFFFFu;

// The parent of `self` in a fresh process list; nullopt when the list is empty or `self` is
// not in it.
std::optional<pid_t> ParentOf(platform::ProcessLauncher& launcher, pid_t self, bool* listed) {
  std::vector<platform::ProcessEntry> processes = launcher.ListProcesses();
  *listed = !processes.empty();
  for (const auto& p : processes) {
    if (p.pid == self)
      return p.parent_pid;
  }
  return std::nullopt;
}

}  // namespace

void WaitForParentExit(platform::ProcessLauncher& launcher, const Sleeper& sleep) {
  const pid_t self = launcher.CurrentPid();
  bool listed = false;
  std::optional<pid_t> parent = ParentOf(launcher, self, &listed);
  if (!listed) {
    sleep(kParentUnknownPauseMs);
    return;
  }
  if (!parent || *parent <= 1)
    return;
  for (;;) {
    platform::WaitOutcome outcome = launcher.WaitForPid(*parent, kWaitWithoutLimit);
    if (outcome == platform::WaitOutcome::kExited)
      return;
    if (outcome == platform::WaitOutcome::kFailed)
      break;
  }
  // The parent cannot be waited for: it has ended once this process has been handed to
  // another parent (or has left the list).
  for (;;) {
    std::optional<pid_t> now = ParentOf(launcher, self, &listed);
    if (!listed) {
      sleep(kParentUnknownPauseMs);
      return;
    }
    if (now != parent)
      return;
    sleep(kParentPollMs);
  }
}

}  // namespace brimsett
