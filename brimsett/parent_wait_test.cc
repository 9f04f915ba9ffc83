#include "brimsett/parent_wait.h"

#include <gtest/gtest.h>

#include "brimsett/fake_launcher.h"

namespace brimsett {
namespace {

using platform::ProcessEntry;
using platform::WaitOutcome;

struct WaitRecord {
  std::vector<pid_t> waited_for;
  std::vector<uint32_t> sleeps;
};

WaitRecord WaitWith(FakeLauncher& launcher) {
  WaitRecord run;
  WaitForParentExit(launcher, [&](uint32_t ms) { run.sleeps.push_back(ms); });
  run.waited_for = launcher.waited_for;
  return run;
}

std::vector<ProcessEntry> ListWithParent(pid_t self, pid_t parent) {
  return {{1, 0, "init"}, {parent, 1, "tarvix"}, {self, parent, "brimsett"}, {77, 1, "other"}};
}

TEST(WaitForParentExitTest, WaitsForTheParentFoundInTheList) {
  FakeLauncher launcher;
  launcher.lists = {ListWithParent(launcher.self, 3000)};
  launcher.waits = {WaitOutcome::kRunning, WaitOutcome::kExited};  // a wait cut short goes on
  WaitRecord run = WaitWith(launcher);
  EXPECT_EQ(run.waited_for, (std::vector<pid_t>{3000, 3000}));
  EXPECT_TRUE(run.sleeps.empty());
}

TEST(WaitForParentExitTest, NothingToWaitFor) {
  struct Case {
    const char* what;
    std::deque<std::vector<ProcessEntry>> lists;
    std::vector<uint32_t> sleeps;
  };
  const pid_t self = FakeLauncher().self;
  const Case cases[] = {
      // The parent ended first: this process now belongs to process 1.
      {"handed to init", {ListWithParent(self, 1)}, {}},
      {"not in the list", {{{1, 0, "init"}, {12, 1, "x"}}}, {}},
      {"list unreadable", {}, {kParentUnknownPauseMs}},
  };
  for (const auto& c : cases) {
    FakeLauncher launcher;
    launcher.lists = c.lists;
    WaitRecord run = WaitWith(launcher);
    EXPECT_TRUE(run.waited_for.empty()) << c.what;
    EXPECT_EQ(run.sleeps, c.sleeps) << c.what;
  }
}

TEST(WaitForParentExitTest, PollsWhenTheParentCannotBeWaitedFor) {
  FakeLauncher launcher;
  launcher.lists = {ListWithParent(launcher.self, 3000), ListWithParent(launcher.self, 3000),
                    ListWithParent(launcher.self, 3000), ListWithParent(launcher.self, 1)};
  launcher.waits = {WaitOutcome::kFailed};
  WaitRecord run = WaitWith(launcher);
  EXPECT_EQ(run.waited_for, (std::vector<pid_t>{3000}));
  // Two polls still saw the parent; the third saw this process handed on.
  EXPECT_EQ(run.sleeps, (std::vector<uint32_t>{kParentPollMs, kParentPollMs}));
  EXPECT_EQ(launcher.list_calls, 4);
}

TEST(WaitForParentExitTest, PollEndsWhenTheListGoesAway) {
  FakeLauncher launcher;
  launcher.lists = {ListWithParent(launcher.self, 3000), {}};
  launcher.waits = {WaitOutcome::kFailed};
  WaitRecord run = WaitWith(launcher);
  EXPECT_EQ(run.sleeps, (std::vector<uint32_t>{kParentUnknownPauseMs}));
}

}  // namespace
}  // namespace brimsett
