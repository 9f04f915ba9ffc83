#include "games/hall/update/file_time.h"

#include <gtest/gtest.h>

#include <limits>

namespace hall {
namespace {

TEST(FileTimeTest, ComparesWithinTwoSecondsAsEqual) {
  constexpr int64_t kBase = 133'000'000'000'000'000;
  const struct {
    int64_t delta;
    int expected;
  } cases[] = {
      {0, 0}, {19'999'999, 0}, {20'000'000, 1},  {-20'000'000, 0}, {-20'000'001, -1},
      {1, 0}, {-1, 0},         {500'000'000, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareFileTimes(kBase + c.delta, kBase), c.expected) << c.delta;
  }
}

TEST(FileTimeTest, ExtremeValuesDoNotOverflow) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  EXPECT_EQ(CompareFileTimes(kMax, kMin), 1);
  EXPECT_EQ(CompareFileTimes(kMin, kMax), -1);
  EXPECT_EQ(CompareFileTimes(0, kMin), 1);
}

TEST(FileTimeTest, ConvertsUnixSeconds) {
  EXPECT_EQ(FileTimeFromUnixSeconds(0), 116'444'736'000'000'000);
  EXPECT_EQ(FileTimeFromUnixSeconds(1), 116'444'736'010'000'000);
  // One second apart stays within the tolerance; three do not.
  EXPECT_EQ(CompareFileTimes(FileTimeFromUnixSeconds(100), FileTimeFromUnixSeconds(101)), 0);
  EXPECT_EQ(CompareFileTimes(FileTimeFromUnixSeconds(100), FileTimeFromUnixSeconds(103)), -1);
  // Values no file time can hold are clamped instead of wrapping round.
  EXPECT_GT(FileTimeFromUnixSeconds(std::numeric_limits<int64_t>::max()), 0);
  EXPECT_EQ(FileTimeFromUnixSeconds(std::numeric_limits<int64_t>::min()), 0);
}

}  // namespace
}  // namespace hall
