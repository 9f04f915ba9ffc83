// The channel's implementation. A worker thread delivers every message waiting in read_queue to
// the callback, in order, one call each, and writes every waiting message into write_queue. It
// sleeps only while there is nothing to do: it wakes when the other side has written (the read
// queue's data-ready event, which each write sets), when Send has queued a message (Send sets the
// same event: the doorbell) or when Close asks it to stop, and looks again at least every
// kWorkerIntervalMs. A Send with nothing ahead of it writes the message itself when the queue
// takes it without waiting, sparing it the worker's wake-up (the worker is woken beside it, for
// the answer); the order of messages holds either way.
//
// What it hands to the callback is bounded in rate (messages and bytes; see IpcReceiveBounds): a
// game writing as fast as it can is read only as fast as the bound lets it through, and the rest
// waits in its queue, where the game's writes find no room. A single message, or a burst up to
// the bound, is never held back.
//
// Threads: the owner calls Open / Close, any thread may call Send, the worker runs the queues and
// the callback; the write queue is written by one thread at a time (the worker, or a Send writing
// by itself, marked in flight). `mutex_` guards send_queue_, that mark, the doorbell and the wake
// flag; it is never held while a queue is read or written or while the callback runs. `lifecycle_`
// serialises Open and Close, which joins the worker before the queues are detached. Every wait
// inside a pass is bounded (the queue's limits), so Close returns within about one pass.
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
#include "gateclient/ipc/rate_bound.h"
#include "gateclient/ipc/win_ipc.h"
#include "platform/clock.h"
#include "platform/named_sync.h"

namespace qvc {

// The bound on what a channel hands to its callback. A game sends a few messages a second; the
// defaults let forty times the old pace of one message per 40 ms pass through, in bursts of a
// hundred, and keep a flooding game from pushing more than that (or 4 MiB a second) at the gate.
// The byte burst holds a whole queue, so any one message passes at once.
struct IpcReceiveBounds {
  RateBound::Limits messages{100, 1000};
  RateBound::Limits bytes{1 << 20, 4 << 20};

  static IpcReceiveBounds Unbounded() { return {{}, {}}; }
};

class WinIpcImpl : public IWinIpc {
 public:
  // The longest the worker sleeps before it looks at both queues again.
  static constexpr uint32_t kWorkerIntervalMs = 40;
  // Lock limit of one read.
  static constexpr uint32_t kReadLockWaitMs = 100;
  // Messages delivered in one run before the waiting sends get their turn.
  static constexpr uint32_t kMaxReadsPerPass = 100;
  // Wakes by the read queue's event in a row that found nothing to do, before the worker stops
  // listening to the event for one interval. A write sets the event once per message, a Send
  // once per message sent, so only a game that sets it on its own gets there.
  static constexpr uint32_t kMaxIdleWakes = 64;

  // level, text. Levels as the log sinks use them.
  using LogFn = std::function<void(int, const std::string&)>;

  // `clock` times the last receive and refills the receive bounds.
  explicit WinIpcImpl(platform::Clock& clock = platform::SystemClock(),
                      IpcReceiveBounds bounds = IpcReceiveBounds());
  ~WinIpcImpl() override;
  WinIpcImpl(const WinIpcImpl&) = delete;
  WinIpcImpl& operator=(const WinIpcImpl&) = delete;

  // REQUIRES: before Open.
  void SetLog(LogFn log) { log_ = std::move(log); }

  // A channel is opened once; a second Open while running returns false.
  bool Open(uint32_t process_id, uint64_t key, IWinIpcCallback* callback, bool client) override;
  void Send(const void* data, uint32_t length) override;
  // Called on the worker thread itself (from the callback) it only asks the worker to stop; the
  // owner's next Close or the destructor joins it. No callback starts once Close was asked.
  void Close() override;

  bool running() const { return !stopped_.load(); }
  // Close has been asked for and the worker has not ended yet, or has ended.
  bool stop_requested() const { return stop_.load(); }
  // Messages not yet written, counting the one the worker is writing.
  size_t pending_sends() const;
  // Seconds (32 bits of the wall clock) of construction or of the last delivered message.
  uint32_t last_receive() const { return last_receive_.load(); }
  // Messages handed to the callback so far, counting one whose call is under way.
  uint64_t delivered() const { return delivered_.load(); }
  // True while the worker holds waiting messages back for the receive bound.
  bool held_by_bound() const { return held_by_bound_.load(); }
  // Passes the worker has made (each reads, writes and then waits).
  uint64_t passes() const { return passes_.load(); }

 private:
  // How a run of reads ended.
  enum class ReadEnd {
    kEmpty,    // nothing waits: sleep until the other side writes
    kMore,     // the run's limit was reached: go on at once
    kStalled,  // a message waits but could not be taken (lock, corrupt, bound): look again later
  };

  void Run();
  // Delivers waiting messages; `*retry_ms` is how long to wait when kStalled.
  ReadEnd ReadWaiting(uint32_t* retry_ms);
  // One message: 1 delivered, 0 nothing waits, -1 stalled.
  int ReadOne();
  // True when at least one message left the send queue (written, or dropped as unsendable).
  bool WriteWaiting();
  // Writes one message; true when it must stay at the front for a later pass.
  bool WriteOne(const std::string& message);
  // Sleeps up to `ms` unless Send or Close wakes it.
  void Pause(uint32_t ms);
  // Whether Send or Close rang since the last call.
  bool TakeRung();
  // Sets the doorbell and wakes a pause. REQUIRES: mutex_ held.
  void WakeLocked();
  void Log(int level, const std::string& text);
  void StopAndJoinLocked(std::unique_lock<std::mutex>& lifecycle);

  platform::Clock& clock_;
  IWinIpcCallback* callback_ = nullptr;
  CXQueue read_queue_;
  CXQueue write_queue_;
  RateBound message_bound_;
  RateBound byte_bound_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> stopped_{true};
  std::atomic<bool> held_by_bound_{false};
  std::atomic<uint64_t> delivered_{0};
  std::atomic<uint64_t> passes_{0};

  mutable std::mutex mutex_;
  std::deque<std::string> send_queue_;  // guarded by mutex_
  // A message being written, by the worker or by Send itself; one at a time, so the order holds.
  size_t in_flight_ = 0;  // guarded by mutex_
  std::condition_variable write_done_;
  // Send may write by itself: from Open until Close detaches the queues. Guarded by mutex_.
  bool direct_ = false;
  // The read queue's data-ready event, attached once more so that Send can set it from its own
  // thread. Guarded by mutex_.
  platform::NamedEvent doorbell_;
  bool woken_ = false;  // guarded by mutex_: Send or Close since the worker last looked
  bool rung_ = false;   // guarded by mutex_: the same, cleared only by the idle count
  std::condition_variable wake_;

  std::atomic<uint32_t> last_receive_;
  std::vector<unsigned char> receive_buffer_;
  LogFn log_;

  std::mutex lifecycle_;
  std::thread worker_;
  std::atomic<std::thread::id> worker_id_{};
};

}  // namespace qvc
