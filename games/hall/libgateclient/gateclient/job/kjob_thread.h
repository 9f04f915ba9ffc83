// The job thread: the one worker on which the gate client runs all of its protocol logic. Other
// threads post commands; every 20 ms the worker hands each due command to the handler filed for its
// kind, releases it, and at most every 100 ms gives every handler a timer round.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "gateclient/job/cmd_process.h"
#include "platform/clock.h"
#include "platform/waiter.h"

class KJobThread final : public IJobProcessPool {
 public:
  // The worker's poll period: a posted command waits up to one period before it runs.
  static constexpr uint32_t kPollMs = 20;
  // Timer rounds come when more than this has passed since the previous one.
  static constexpr uint64_t kTimerPeriodMs = 100;

  // `clock` and `waiter` must outlive the pool. Make with `new`; free with WaitAndDestroy.
  explicit KJobThread(const platform::Clock& clock = platform::SystemClock(),
                      platform::Waiter& waiter = platform::SystemWaiter());

  void RegisterProcess(ICmdProcess* handler, uint16_t kind) override;
  void PostCommand(qv::CMD_base* command) override;
  // Also asks the worker to stop, so a forgotten Stop cannot hang the caller.
  void WaitAndDestroy() override;
  bool Start(uint32_t ignored = 0) override;
  void Stop() override;

  // True once the worker's loop has ended.
  bool exited() const { return exited_.load(std::memory_order_acquire); }

 private:
  ~KJobThread();

  void Run();
  void AttachHandlers();
  // Milliseconds since Start (0 before it). REQUIRES: queue_mu_ held.
  uint64_t ElapsedMsLocked();
  void DispatchImmediate();
  void DispatchDue(uint64_t now_ms);
  void TimerRound(uint64_t now_ms);
  void Dispatch(qv::CMD_base* command);

  const platform::Clock& clock_;
  platform::Waiter& waiter_;

  std::mutex queue_mu_;  // guards the two queues and the elapsed-time reading
  std::deque<qv::CMD_base*> immediate_;
  // Keyed by (due ms, posting sequence): a command posted again while still pending keeps both
  // entries, and commands due in the same round run in posting order.
  std::map<std::pair<uint64_t, uint64_t>, qv::CMD_base*> timed_;
  uint64_t post_sequence_ = 0;
  bool started_ = false;
  uint32_t last_reading_ = 0;  // tick at the last elapsed-time update
  uint64_t elapsed_ms_ = 0;    // widened from 32-bit ticks so it never wraps

  // Written before Start only; read by the worker.
  std::map<uint16_t, ICmdProcess*> handlers_;
  ICmdProcess* default_handler_ = nullptr;

  std::atomic<bool> stop_{false};
  std::atomic<bool> exited_{false};
  std::mutex attach_mu_;
  bool attached_ = false;

  // Worker-only timer state.
  bool timer_started_ = false;
  uint64_t last_tick_ms_ = 0;

  std::thread worker_;
};
