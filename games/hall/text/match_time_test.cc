#include "games/hall/text/match_time.h"

#include <gtest/gtest.h>

#include <ctime>

namespace hall {
namespace {

// ManualClock keeps local time in UTC, so the day is fixed whatever the machine's zone.
int64_t UtcSeconds(int year, int month, int day, int hour) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  return timegm(&tm);
}

struct TimeCase {
  int64_t now;  // wall seconds
  int64_t match_time;
  const char* expected;
};

TEST(FormatMatchTimeTest, NamesTodayTomorrowYesterdayElseMonthAndDay) {
  const int64_t mid_march = UtcSeconds(2024, 3, 15, 12);
  const int64_t end_of_march = UtcSeconds(2024, 3, 31, 23);
  const TimeCase cases[] = {
      {mid_march, 20240315093000, "今天 09:30"},
      {mid_march, 20240315000059, "今天 00:00"},
      {mid_march, 20240316180500, "明天 18:05"},
      {mid_march, 20240314235900, "昨天 23:59"},
      {mid_march, 20240317080000, "03-17 08:00"},
      {mid_march, 20250315093000, "03-15 09:30"},
      // The next day across a month end differs by more than 1 as a number.
      {end_of_march, 20240401100000, "04-01 10:00"},
      {end_of_march, 20240331070000, "今天 07:00"},
  };
  platform::ManualClock clock;
  for (const auto& c : cases) {
    clock.SetWallSeconds(c.now);
    std::string out = "stale";
    std::string& result = FormatMatchTime(out, c.match_time, clock);
    EXPECT_EQ(&result, &out);
    EXPECT_EQ(out, c.expected) << c.match_time;
  }
}

}  // namespace
}  // namespace hall
