// Clocks: the millisecond tick, wall-clock seconds and local time, behind one interface so that
// tests can drive time by hand instead of waiting.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;

  // Milliseconds since an arbitrary start; wraps at 2^32 like the tick counter it stands for.
  // Compare ticks by unsigned difference (`now - then`), never by `<`.
  virtual uint32_t TickCount() const = 0;

  // Seconds since the Unix epoch.
  virtual int64_t WallSeconds() const = 0;

  // Broken-down local time of `seconds` since the epoch.
  virtual std::tm LocalTime(int64_t seconds) const = 0;
};

// The process-wide real clock.
Clock& SystemClock();

// Milliseconds elapsed from `then` to `now`, correct across one wrap of the tick counter.
inline uint32_t TicksSince(uint32_t now, uint32_t then) {
  return now - then;
}

// A clock that moves only when told to. Safe to read from any thread while a test advances it.
// Local time is computed in UTC so tests do not depend on the machine's time zone.
class ManualClock : public Clock {
 public:
  explicit ManualClock(uint32_t tick = 0, int64_t wall_seconds = 1'700'000'000)
      : tick_(tick), wall_ms_(wall_seconds * 1000) {}

  uint32_t TickCount() const override { return tick_.load(std::memory_order_acquire); }
  int64_t WallSeconds() const override { return wall_ms_.load(std::memory_order_acquire) / 1000; }
  std::tm LocalTime(int64_t seconds) const override;

  // Moves both the tick and the wall clock forward by `ms`.
  void Advance(uint32_t ms) {
    tick_.fetch_add(ms, std::memory_order_acq_rel);
    wall_ms_.fetch_add(ms, std::memory_order_acq_rel);
  }
  void SetTick(uint32_t tick) { tick_.store(tick, std::memory_order_release); }
  void SetWallSeconds(int64_t seconds) {
    wall_ms_.store(seconds * 1000, std::memory_order_release);
  }

 private:
  std::atomic<uint32_t> tick_;
  std::atomic<int64_t> wall_ms_;
};

}  // namespace platform
