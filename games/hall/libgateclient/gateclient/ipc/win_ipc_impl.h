// The channel's implementation. A worker thread, every kWorkerIntervalMs, delivers at most one
// message from read_queue to the callback and writes every waiting message into write_queue.
//
// Threads: the owner calls Open / Close, any thread may call Send, the worker runs the queues and
// the callback. `mutex_` guards send_queue_ only; `lifecycle_` serialises Open and Close, which
// joins the worker before the queues are detached. Every wait inside a pass is bounded (the
// queue's limits), so Close returns within about one pass.
//
// Messages that can never cross are dropped and logged instead of blocking the channel: one
// longer than the write queue can hold, and an incoming one whose blocks are corrupt.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateclient/ipc/cxqueue.h"
#include "gateclient/ipc/win_ipc.h"
#include "platform/clock.h"

namespace qvc {

class WinIpcImpl : public IWinIpc {
 public:
  static constexpr uint32_t kWorkerIntervalMs = 40;
  // Lock limit of one read.
  static constexpr uint32_t kReadLockWaitMs = 100;

  // level, text. Levels as the log sinks use them.
  using LogFn = std::function<void(int, const std::string&)>;

  explicit WinIpcImpl(platform::Clock& clock = platform::SystemClock());
  ~WinIpcImpl() override;
  WinIpcImpl(const WinIpcImpl&) = delete;
  WinIpcImpl& operator=(const WinIpcImpl&) = delete;

  // REQUIRES: before Open.
  void SetLog(LogFn log) { log_ = std::move(log); }

  // A channel is opened once; a second Open while running returns false.
  bool Open(uint32_t process_id, uint64_t key, IWinIpcCallback* callback, bool client) override;
  void Send(const void* data, uint32_t length) override;
  // Called on the worker thread itself (from the callback) it only asks the worker to stop; the
  // owner's next Close or the destructor joins it.
  void Close() override;

  bool running() const { return !stopped_.load(); }
  // Messages not yet written, counting the one the worker is writing.
  size_t pending_sends() const;
  // Seconds (32 bits of the wall clock) of construction or of the last delivered message.
  uint32_t last_receive() const { return last_receive_.load(); }

 private:
  void Run();
  void ReadOne();
  void WriteWaiting();
  // Writes one message; true when it must stay at the front for a later pass.
  bool WriteOne(const std::string& message);
  void Log(int level, const std::string& text);
  void StopAndJoinLocked(std::unique_lock<std::mutex>& lifecycle);

  platform::Clock& clock_;
  IWinIpcCallback* callback_ = nullptr;
  CXQueue read_queue_;
  CXQueue write_queue_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> stopped_{true};
  mutable std::mutex mutex_;
  std::deque<std::string> send_queue_;
  size_t in_flight_ = 0;  // guarded by mutex_
  std::atomic<uint32_t> last_receive_;
  std::vector<unsigned char> receive_buffer_;
  LogFn log_;

  std::mutex lifecycle_;
  std::thread worker_;
  std::atomic<std::thread::id> worker_id_{};
  // Wakes the worker's pause early when Close asks it to stop.
  std::mutex wake_mutex_;
  std::condition_variable wake_;
};

}  // namespace qvc
