#include "platform/clock.h"

#include <time.h>

namespace platform {
namespace {

class RealClock : public Clock {
 public:
  uint32_t TickCount() const override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1'000'000u;
    return static_cast<uint32_t>(ms);
  }

  int64_t WallSeconds() const override { return static_cast<int64_t>(::time(nullptr)); }

  std::tm LocalTime(int64_t seconds) const override {
    std::tm out{};
    const time_t t = static_cast<time_t>(seconds);
    localtime_r(&t, &out);
    return out;
  }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

std::tm ManualClock::LocalTime(int64_t seconds) const {
  std::tm out{};
  const time_t t = static_cast<time_t>(seconds);
  gmtime_r(&t, &out);
  return out;
}

}  // namespace platform
