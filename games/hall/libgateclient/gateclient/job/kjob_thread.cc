#include "gateclient/job/kjob_thread.h"

#include <limits>
#include <system_error>

KJobThread::KJobThread(const platform::Clock& clock, platform::Waiter& waiter)
    : clock_(clock), waiter_(waiter) {}

KJobThread::~KJobThread() {
  // Commands still queued were handed to the pool; their references end here.
  for (qv::CMD_base* command : immediate_)
    qv::ReleaseCommand(command);
  for (auto& [key, command] : timed_)
    qv::ReleaseCommand(command);
}

void KJobThread::RegisterProcess(ICmdProcess* handler, uint16_t kind) {
  handlers_[kind] = handler;
  if (kind == 0)
    default_handler_ = handler;
}

uint64_t KJobThread::ElapsedMsLocked() {
  if (!started_)
    return 0;
  const uint32_t now = clock_.TickCount();
  elapsed_ms_ += platform::TicksSince(now, last_reading_);
  last_reading_ = now;
  return elapsed_ms_;
}

void KJobThread::PostCommand(qv::CMD_base* command) {
  std::lock_guard<std::mutex> lock(queue_mu_);
  if (command->delay == 0) {
    immediate_.push_back(command);
    return;
  }
  const uint64_t posted = ElapsedMsLocked();
  uint64_t due = posted;
  if (command->delay > 0) {
    const auto delay = static_cast<uint64_t>(command->delay);
    due = delay > std::numeric_limits<uint64_t>::max() - posted
              ? std::numeric_limits<uint64_t>::max()
              : posted + delay;
  }
  timed_.emplace(std::make_pair(due, post_sequence_++), command);
}

bool KJobThread::Start(uint32_t /*ignored*/) {
  if (worker_.joinable())
    return false;
  {
    std::lock_guard<std::mutex> lock(queue_mu_);
    started_ = true;
    last_reading_ = clock_.TickCount();
    elapsed_ms_ = 0;
  }
  try {
    worker_ = std::thread(&KJobThread::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void KJobThread::Stop() {
  stop_.store(true, std::memory_order_release);
}

void KJobThread::WaitAndDestroy() {
  Stop();
  if (worker_.joinable())
    worker_.join();
  delete this;
}

void KJobThread::Run() {
  AttachHandlers();
  while (!stop_.load(std::memory_order_acquire)) {
    if (!waiter_.WaitMs(kPollMs))
      continue;  // woken early: no work this round
    uint64_t now;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      now = ElapsedMsLocked();
    }
    DispatchImmediate();
    DispatchDue(now);
    TimerRound(now);
  }
  exited_.store(true, std::memory_order_release);
}

void KJobThread::AttachHandlers() {
  std::lock_guard<std::mutex> lock(attach_mu_);
  if (attached_)
    return;
  attached_ = true;
  if (default_handler_ != nullptr)
    default_handler_->OnAttach(0, this);
  for (auto& [kind, handler] : handlers_) {
    if (handler != nullptr && handler != default_handler_)
      handler->OnAttach(0, this);
  }
}

void KJobThread::DispatchImmediate() {
  for (;;) {
    qv::CMD_base* command;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      if (immediate_.empty())
        return;
      command = immediate_.front();
      immediate_.pop_front();
    }
    Dispatch(command);
  }
}

void KJobThread::DispatchDue(uint64_t now_ms) {
  for (;;) {
    qv::CMD_base* command;
    {
      std::lock_guard<std::mutex> lock(queue_mu_);
      auto first = timed_.begin();
      if (first == timed_.end() || first->first.first > now_ms)
        return;
      command = first->second;
      timed_.erase(first);
    }
    Dispatch(command);
  }
}

void KJobThread::TimerRound(uint64_t now_ms) {
  if (!timer_started_) {
    timer_started_ = true;
    last_tick_ms_ = now_ms;
    return;
  }
  if (now_ms - last_tick_ms_ <= kTimerPeriodMs)
    return;
  for (auto& [kind, handler] : handlers_) {
    if (handler != nullptr)
      handler->OnTimer(now_ms, 0);
  }
  last_tick_ms_ = now_ms;
}

void KJobThread::Dispatch(qv::CMD_base* command) {
  auto entry = handlers_.find(command->kind);
  ICmdProcess* handler = entry != handlers_.end() ? entry->second : default_handler_;
  if (handler != nullptr)
    handler->OnCommand(command, 0);
  // Released whether or not anyone handled it; a deferred callback runs here.
  qv::ReleaseCommand(command);
}
