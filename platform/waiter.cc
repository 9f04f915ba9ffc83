#include "platform/waiter.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

class SleepingWaiter : public Waiter {
 public:
  bool WaitMs(uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  }
};

}  // namespace

Waiter& SystemWaiter() {
  static SleepingWaiter waiter;
  return waiter;
}

bool ManualWaiter::WaitMs(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mu_);
  waiting_ = true;
  cv_.notify_all();
  cv_.wait(lock, [this] { return open_ || used_ < granted_; });
  waiting_ = false;
  if (open_)
    return false;
  ++used_;
  // The clock moves while the lock is held, so Step cannot return before the clock has moved.
  if (clock_ != nullptr)
    clock_->Advance(ms);
  cv_.notify_all();
  return true;
}

void ManualWaiter::Step(int rounds) {
  std::unique_lock<std::mutex> lock(mu_);
  granted_ += static_cast<uint64_t>(rounds);
  cv_.notify_all();
  cv_.wait(lock, [this] { return open_ || (used_ == granted_ && waiting_); });
}

void ManualWaiter::Open() {
  std::lock_guard<std::mutex> lock(mu_);
  open_ = true;
  cv_.notify_all();
}

uint64_t ManualWaiter::rounds_done() const {
  std::lock_guard<std::mutex> lock(mu_);
  return used_;
}

}  // namespace platform
