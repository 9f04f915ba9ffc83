// A process launcher for in-process tests: a scripted process list and parent waits, and a
// record of every program started.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"

namespace brimsett {

class FakeLauncher : public platform::ProcessLauncher {
 public:
  // Each ListProcesses call takes the next list; the last one repeats.
  std::deque<std::vector<platform::ProcessEntry>> lists;
  // Each WaitForPid call takes the next outcome; kExited once they run out.
  std::deque<platform::WaitOutcome> waits;
  pid_t self = 4000;
  // Called at each Launch and each WaitForPid, so a test can look at the tree at that moment.
  std::function<void()> on_launch;
  std::function<void()> on_wait;

  std::vector<platform::LaunchOptions> launched;
  std::vector<pid_t> waited_for;
  int list_calls = 0;

  std::unique_ptr<platform::Process> Launch(const platform::LaunchOptions& options,
                                            std::string* /*error*/) override {
    launched.push_back(options);
    if (on_launch)
      on_launch();
    return nullptr;
  }
  platform::WaitOutcome WaitForPid(pid_t pid, uint32_t /*timeout_ms*/) override {
    waited_for.push_back(pid);
    if (on_wait)
      on_wait();
    if (waits.empty())
      return platform::WaitOutcome::kExited;
    platform::WaitOutcome w = waits.front();
    waits.pop_front();
    return w;
  }
  bool TerminatePid(pid_t) override { return false; }
  std::vector<platform::ProcessEntry> ListProcesses() override {
    ++list_calls;
    if (lists.empty())
      return {};
    std::vector<platform::ProcessEntry> l = lists.front();
    if (lists.size() > 1)
      lists.pop_front();
    return l;
  }
  pid_t CurrentPid() override { return self; }
};

}  // namespace brimsett
