#include "platform/waiter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace platform {
namespace {

// A polling loop as the job thread runs it: wait, then record the clock, until a wait ends early.
struct Loop {
  explicit Loop(ManualWaiter* waiter, ManualClock* clock)
      : thread([this, waiter, clock] {
          while (waiter->WaitMs(20))
            last_seen.store(clock->TickCount());
          ended.store(true);
        }) {}
  std::atomic<uint32_t> last_seen{0};
  std::atomic<bool> ended{false};
  std::thread thread;
};

TEST(ManualWaiterTest, StepRunsExactlyTheGrantedRoundsAndMovesTheClock) {
  ManualClock clock(1000);
  ManualWaiter waiter(&clock);
  Loop loop(&waiter, &clock);

  waiter.Step(1);
  EXPECT_EQ(loop.last_seen.load(), 1020u);
  waiter.Step(3);
  EXPECT_EQ(loop.last_seen.load(), 1080u);
  EXPECT_EQ(waiter.rounds_done(), 4u);
  EXPECT_FALSE(loop.ended.load());

  waiter.Open();
  loop.thread.join();
  EXPECT_TRUE(loop.ended.load());
  EXPECT_EQ(clock.TickCount(), 1080u);  // the early-ended wait did not move time
}

TEST(ManualWaiterTest, OpenedWaiterNeverBlocks) {
  ManualWaiter waiter;
  waiter.Open();
  EXPECT_FALSE(waiter.WaitMs(20));
  waiter.Step(2);  // returns at once
  EXPECT_EQ(waiter.rounds_done(), 0u);
}

TEST(SystemWaiterTest, ReportsTheTimeOut) {
  const uint32_t before = SystemClock().TickCount();
  EXPECT_TRUE(SystemWaiter().WaitMs(5));
  EXPECT_GE(TicksSince(SystemClock().TickCount(), before), 4u);
}

}  // namespace
}  // namespace platform
