#include "platform/clock.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(ClockTest, TicksSinceIsCorrectAcrossTheWrap) {
  EXPECT_EQ(TicksSince(10, 0xFFFFFFF6u), 20u);
  EXPECT_EQ(TicksSince(1000, 900), 100u);
}

TEST(ClockTest, ManualClockMovesOnlyWhenAdvanced) {
  ManualClock clock(0xFFFFFF00u, 100);
  EXPECT_EQ(clock.TickCount(), 0xFFFFFF00u);
  clock.Advance(0x200);
  EXPECT_EQ(clock.TickCount(), 0x100u);  // wrapped
  EXPECT_EQ(clock.WallSeconds(), 100);   // 512 ms later, still in the same second
  clock.Advance(500);
  EXPECT_EQ(clock.WallSeconds(), 101);
  const std::tm t = clock.LocalTime(86400 + 3661);
  EXPECT_EQ(t.tm_mday, 2);
  EXPECT_EQ(t.tm_hour, 1);
  EXPECT_EQ(t.tm_min, 1);
  EXPECT_EQ(t.tm_sec, 1);
}

TEST(ClockTest, SystemClockTickIsMonotonicAndWallIsNow) {
  Clock& clock = SystemClock();
  const uint32_t a = clock.TickCount();
  const uint32_t b = clock.TickCount();
  EXPECT_LT(TicksSince(b, a), 1000u);
  EXPECT_GT(clock.WallSeconds(), 1'700'000'000);  // later than Nov 2023
}

}  // namespace
}  // namespace platform
