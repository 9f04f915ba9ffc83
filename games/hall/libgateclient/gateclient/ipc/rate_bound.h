// A token bucket over the millisecond tick: up to `burst` units at once, refilled at `per_second`.
// A take is allowed while the bucket holds anything and may overdraw it, so a single take larger
// than the burst still passes when the bucket is full; what it overdrew is paid back before the
// next one.
//
//   | debt (< 0) |  0  | available ... burst |      kept in thousandths of a unit
//
// One object is used by one thread.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace qvc {

class RateBound {
 public:
  struct Limits {
    uint64_t burst = 0;       // 0: no bound
    uint64_t per_second = 0;  // REQUIRES: not 0 when burst is set
  };

  // Starts full. `clock` must outlive the bound.
  RateBound(const platform::Clock& clock, Limits limits);

  bool bounded() const { return limits_.burst != 0; }
  // Whether a take would pass now.
  bool Available();
  // Takes `units` when Available(); false (nothing taken) otherwise.
  bool TryTake(uint64_t units);
  // Milliseconds until Available() holds again; 0 when it holds now.
  uint32_t MsUntilAvailable();

 private:
  void Refill();

  const platform::Clock& clock_;
  const Limits limits_;
  int64_t milli_ = 0;  // thousandths of a unit; negative while in debt
  uint32_t last_tick_ = 0;
};

}  // namespace qvc
