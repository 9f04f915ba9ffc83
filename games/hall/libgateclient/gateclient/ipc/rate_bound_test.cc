#include "gateclient/ipc/rate_bound.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

// Takes of `units` until one is refused; how many passed.
int TakeUntilRefused(RateBound& bound, uint64_t units, int limit = 100000) {
  int taken = 0;
  while (taken < limit && bound.TryTake(units))
    ++taken;
  return taken;
}

TEST(RateBoundTest, AFullBucketPassesTheBurstThenRefillsAtTheRate) {
  platform::ManualClock clock(5000);
  RateBound bound(clock, {100, 1000});  // 100 at once, one a millisecond
  EXPECT_EQ(TakeUntilRefused(bound, 1), 100);
  EXPECT_FALSE(bound.Available());
  EXPECT_EQ(bound.MsUntilAvailable(), 1u);
  clock.Advance(10);
  EXPECT_EQ(TakeUntilRefused(bound, 1), 10);
  // Never more than the burst, however long the pause.
  clock.Advance(3'600'000);
  EXPECT_EQ(TakeUntilRefused(bound, 1), 100);
}

TEST(RateBoundTest, ASingleTakeLargerThanTheBurstPassesAndItsDebtIsPaidFirst) {
  platform::ManualClock clock;
  RateBound bound(clock, {1000, 4000});  // bytes: 1000 at once, 4 a millisecond
  EXPECT_TRUE(bound.TryTake(5000));      // four thousand in debt
  EXPECT_FALSE(bound.TryTake(1));
  EXPECT_EQ(bound.MsUntilAvailable(), 1001u);  // 4001 bytes to earn back
  clock.Advance(1000);
  EXPECT_FALSE(bound.Available());
  clock.Advance(1);
  EXPECT_TRUE(bound.TryTake(1));
}

TEST(RateBoundTest, RatesThatDoNotDivideTheMillisecond) {
  struct Case {
    uint64_t per_second;
    uint32_t wait_ms;  // from empty to one unit
  };
  const Case cases[] = {{1, 1000}, {3, 334}, {999, 2}, {1000, 1}, {250'000, 1}};
  for (const Case& c : cases) {
    platform::ManualClock clock;
    RateBound bound(clock, {1, c.per_second});
    ASSERT_TRUE(bound.TryTake(1)) << c.per_second;
    EXPECT_EQ(bound.MsUntilAvailable(), c.wait_ms) << c.per_second;
    clock.Advance(c.wait_ms - 1);
    EXPECT_FALSE(bound.Available()) << c.per_second;
    clock.Advance(1);
    EXPECT_TRUE(bound.Available()) << c.per_second;
  }
}

TEST(RateBoundTest, TheTickWrappingAroundStillRefills) {
  platform::ManualClock clock(0xFFFFFFF0u);
  RateBound bound(clock, {2, 1000});
  EXPECT_EQ(TakeUntilRefused(bound, 1), 2);
  clock.Advance(0x20);  // past the wrap
  EXPECT_EQ(TakeUntilRefused(bound, 1), 2);
}

TEST(RateBoundTest, NoBurstMeansNoBound) {
  platform::ManualClock clock;
  RateBound bound(clock, {});
  EXPECT_FALSE(bound.bounded());
  EXPECT_EQ(TakeUntilRefused(bound, 1'000'000, 5000), 5000);
  EXPECT_EQ(bound.MsUntilAvailable(), 0u);
}

}  // namespace
}  // namespace qvc
