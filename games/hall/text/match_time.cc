#include "games/hall/text/match_time.h"

#include <cstdio>

namespace hall {

std::string& FormatMatchTime(std::string& out, int64_t time, const platform::Clock& clock) {
  std::tm now = clock.LocalTime(clock.WallSeconds());
  int64_t today = (now.tm_year + 1900) * int64_t{10000} + (now.tm_mon + 1) * 100 + now.tm_mday;
  int64_t m = time / 100;  // YYYYMMDDhhmm
  int64_t d = m / 10000;   // YYYYMMDD
  int hh = static_cast<int>((m - d * 10000) / 100);
  int mm = static_cast<int>(m - (m / 100) * 100);
  int64_t diff = d - today;

  char buf[32];
  int n;
  if (diff == 0) {
    n = std::snprintf(buf, sizeof buf, "今天 %02d:%02d", hh, mm);
  } else if (diff == 1) {
    n = std::snprintf(buf, sizeof buf, "明天 %02d:%02d", hh, mm);
  } else if (diff == -1) {
    n = std::snprintf(buf, sizeof buf, "昨天 %02d:%02d", hh, mm);
  } else {
    int month = static_cast<int>((m % 100000000) / 1000000);
    int day = static_cast<int>((m % 1000000) / 10000);
    n = std::snprintf(buf, sizeof buf, "%02d-%02d %02d:%02d", month, day, hh, mm);
  }
  out.assign(n > 0 ? buf : "");
  return out;
}

}  // namespace hall
