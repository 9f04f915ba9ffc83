#include "gateclient/ipc/rate_bound.h"

#include <algorithm>

namespace qvc {

namespace {
constexpr int64_t kMilli = 1000;
}  // namespace

RateBound::RateBound(const platform::Clock& clock, Limits limits)
    : clock_(clock),
      limits_(limits),
      milli_(static_cast<int64_t>(limits.burst) * kMilli),
      last_tick_(clock.TickCount()) {}

void RateBound::Refill() {
  const uint32_t now = clock_.TickCount();
  const uint64_t elapsed = platform::TicksSince(now, last_tick_);
  last_tick_ = now;
  const int64_t full = static_cast<int64_t>(limits_.burst) * kMilli;
  if (milli_ >= full || elapsed == 0)
    return;
  // Units per second are thousandths of a unit per millisecond. Capped before multiplying so a
  // long pause cannot overflow.
  const uint64_t missing = static_cast<uint64_t>(full - milli_);
  if (elapsed >= missing / limits_.per_second + 1) {
    milli_ = full;
  } else {
    milli_ = std::min(full, milli_ + static_cast<int64_t>(elapsed * limits_.per_second));
  }
}

bool RateBound::Available() {
  if (!bounded())
    return true;
  Refill();
  return milli_ >= kMilli;
}

bool RateBound::TryTake(uint64_t units) {
  if (!bounded())
    return true;
  if (!Available())
    return false;
  // A debt beyond any real take is not kept: it only has to keep the product in range.
  milli_ -= static_cast<int64_t>(std::min<uint64_t>(units, uint64_t{1} << 40)) * kMilli;
  return true;
}

uint32_t RateBound::MsUntilAvailable() {
  if (Available())
    return 0;
  const uint64_t needed = static_cast<uint64_t>(kMilli - milli_);
  const uint64_t ms = (needed + limits_.per_second - 1) / limits_.per_second;
  return static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
}

}  // namespace qvc
