// Timed waits of a polling loop, behind an interface so that tests can step the loop round by
// round instead of waiting for real time to pass.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace platform {

class Waiter {
 public:
  virtual ~Waiter() = default;
  // Waits `ms` milliseconds. True when the wait ended by its time-out; false when it ended early
  // (the waiter was opened for shutdown).
  virtual bool WaitMs(uint32_t ms) = 0;
};

// The process-wide real waiter: sleeps and always reports the time-out.
Waiter& SystemWaiter();

// A waiter for tests, used by one waiting thread. Each wait blocks until the test grants it with
// Step; a granted wait moves `clock` (when given) forward by its length and returns true. Open
// ends every current and later wait at once with false, so a loop being stopped can finish.
class ManualWaiter : public Waiter {
 public:
  explicit ManualWaiter(ManualClock* clock = nullptr) : clock_(clock) {}

  bool WaitMs(uint32_t ms) override;

  // Grants `rounds` waits and returns once the waiting thread has used them all and is blocked in
  // its next wait, i.e. the work that followed each wait has finished. Returns early when opened.
  // REQUIRES: the waiting thread keeps waiting (it is not being stopped).
  void Step(int rounds = 1);

  // Ends all waits, now and later, with false.
  void Open();

  // Number of waits granted and used so far.
  uint64_t rounds_done() const;

 private:
  ManualClock* const clock_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  uint64_t granted_ = 0;
  uint64_t used_ = 0;
  bool waiting_ = false;
  bool open_ = false;
};

}  // namespace platform
