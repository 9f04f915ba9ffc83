#include "gateclient/ipc/win_ipc_impl.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <utility>

namespace qvc {

namespace {
constexpr const char kChannelPrefix[] = "cs2015";
constexpr const char kToServerSuffix[] = "_s";
constexpr const char kToClientSuffix[] = "_c";
}  // namespace

std::string ChannelName(uint32_t process_id, uint64_t key) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%d_%lld", kChannelPrefix, static_cast<int>(process_id),
                static_cast<long long>(key));
  return text;
}

std::string ToServerQueueName(uint32_t process_id, uint64_t key) {
  return ChannelName(process_id, key) + kToServerSuffix;
}

std::string ToClientQueueName(uint32_t process_id, uint64_t key) {
  return ChannelName(process_id, key) + kToClientSuffix;
}

WinIpcImpl::WinIpcImpl(platform::Clock& clock, IpcReceiveBounds bounds)
    : clock_(clock),
      message_bound_(clock, bounds.messages),
      byte_bound_(clock, bounds.bytes),
      last_receive_(static_cast<uint32_t>(clock.WallSeconds())) {}

WinIpcImpl::~WinIpcImpl() {
  Close();
}

bool WinIpcImpl::Open(uint32_t process_id, uint64_t key, IWinIpcCallback* callback, bool client) {
  std::unique_lock<std::mutex> lifecycle(lifecycle_);
  if (worker_.joinable())
    return false;
  callback_ = callback;
  std::string to_server = ToServerQueueName(process_id, key);
  std::string to_client = ToClientQueueName(process_id, key);
  const std::string& read_name = client ? to_client : to_server;
  const std::string& write_name = client ? to_server : to_client;
  auto attach = [client](CXQueue& q, const std::string& name) {
    return (client ? q.Open(name.c_str()) : q.Create(name.c_str())) == kQueueOk;
  };
  bool ok = attach(read_queue_, read_name) && attach(write_queue_, write_name);
  if (ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    ok = doorbell_.Open(CXQueue::DataReadyName(read_name.c_str()));
    woken_ = false;
    direct_ = ok;
  }
  if (!ok) {
    read_queue_.Close();
    write_queue_.Close();
    return false;
  }
  // Marked running before the thread exists, so a Close right after Open always joins it.
  stop_ = false;
  stopped_ = false;
  worker_ = std::thread(&WinIpcImpl::Run, this);
  return true;
}

void WinIpcImpl::WakeLocked() {
  woken_ = true;
  rung_ = true;
  doorbell_.Set();  // does nothing once Close has detached it
  wake_.notify_one();
}

void WinIpcImpl::Send(const void* data, uint32_t length) {
  std::unique_lock<std::mutex> lock(mutex_);
  // With nothing ahead of it, a message is written here and now when the queue takes it without
  // waiting; that spares it the worker's wake-up. Anything else goes to the worker.
  if (direct_ && data != nullptr && length > 0 && send_queue_.empty() && in_flight_ == 0) {
    in_flight_ = 1;
    lock.unlock();
    const bool written = write_queue_.TryWrite(data, length) == kQueueOk;
    lock.lock();
    in_flight_ = 0;
    write_done_.notify_all();
    if (written) {
      // The worker is woken all the same, off this message's way: the game's answer then finds
      // it awake instead of waiting for its wake-up.
      WakeLocked();
      return;
    }
    // Sends that came meanwhile are newer: this one stays ahead of them.
    send_queue_.emplace_front(static_cast<const char*>(data), length);
    WakeLocked();
    return;
  }
  send_queue_.emplace_back(static_cast<const char*>(data), data == nullptr ? 0 : length);
  WakeLocked();
}

void WinIpcImpl::StopAndJoinLocked(std::unique_lock<std::mutex>&) {
  if (!worker_.joinable())
    return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    WakeLocked();
  }
  worker_.join();
  worker_id_ = std::thread::id();
}

void WinIpcImpl::Close() {
  if (worker_id_.load() == std::this_thread::get_id()) {
    stop_ = true;
    return;
  }
  std::unique_lock<std::mutex> lifecycle(lifecycle_);
  StopAndJoinLocked(lifecycle);
  {
    // Send may run on another thread right now: it writes no more once direct_ is clear, and
    // the doorbell goes under the lock it rings under.
    std::unique_lock<std::mutex> lock(mutex_);
    direct_ = false;
    write_done_.wait(lock, [this] { return in_flight_ == 0; });
    doorbell_.Close();
  }
  read_queue_.Close();
  write_queue_.Close();
}

size_t WinIpcImpl::pending_sends() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return send_queue_.size() + in_flight_;
}

void WinIpcImpl::Log(int level, const std::string& text) {
  if (log_)
    log_(level, text);
}

void WinIpcImpl::Run() {
  worker_id_ = std::this_thread::get_id();
  // Wakes by the event after which there was nothing to read and nothing written, in a row.
  uint32_t idle_wakes = 0;
  bool signalled = false;
  while (!stop_) {
    ++passes_;
    uint32_t retry_ms = kWorkerIntervalMs;
    const uint64_t delivered_before = delivered_.load();
    const ReadEnd end = ReadWaiting(&retry_ms);
    const bool wrote = WriteWaiting();
    if (stop_)
      break;
    // A wake with Send or Close behind it is never idle.
    const bool rung = TakeRung();
    idle_wakes =
        signalled && !rung && !wrote && delivered_.load() == delivered_before ? idle_wakes + 1 : 0;
    signalled = false;
    if (end == ReadEnd::kMore)
      continue;
    if (end == ReadEnd::kEmpty && idle_wakes < kMaxIdleWakes) {
      // After a Send the game's answer is likely within microseconds: watch for it rather than
      // pay a second wake-up.
      if (rung)
        read_queue_.ExpectData();
      // The other side's next write, a Send and a Close all set the read queue's event.
      signalled = read_queue_.WaitForData(kWorkerIntervalMs) == kQueueOk;
    } else {
      // A message waits that cannot be taken yet (waiting on the event would return at once),
      // or the event keeps being set with nothing behind it (a game that only sets it would
      // keep this thread as busy as itself): pause, woken only by Send and Close.
      Pause(end == ReadEnd::kEmpty ? kWorkerIntervalMs : retry_ms);
      idle_wakes = 0;
    }
  }
  stopped_ = true;
}

bool WinIpcImpl::TakeRung() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(rung_, false);
}

void WinIpcImpl::Pause(uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken_ || stop_.load(); });
  woken_ = false;
}

WinIpcImpl::ReadEnd WinIpcImpl::ReadWaiting(uint32_t* retry_ms) {
  held_by_bound_ = false;
  for (uint32_t i = 0; i < kMaxReadsPerPass; ++i) {
    // No callback starts once Close was asked, also when Close came from the last callback.
    if (stop_)
      return ReadEnd::kMore;
    if (!message_bound_.Available() || !byte_bound_.Available()) {
      const uint32_t wait =
          std::max(message_bound_.MsUntilAvailable(), byte_bound_.MsUntilAvailable());
      *retry_ms = std::clamp<uint32_t>(wait, 1, kWorkerIntervalMs);
      held_by_bound_ = true;
      return ReadEnd::kStalled;
    }
    const int got = ReadOne();
    if (got == 0)
      return ReadEnd::kEmpty;
    if (got < 0)
      return ReadEnd::kStalled;
  }
  return ReadEnd::kMore;
}

int WinIpcImpl::ReadOne() {
  if (!read_queue_.attached())
    return 0;
  uint32_t total = 0;
  uint32_t sequence = 0;
  uint32_t rc = read_queue_.Read(nullptr, &total, &sequence, nullptr, 0);
  if (rc == kQueueCorrupt) {
    read_queue_.DropOldest();
    Log(3, "ipc: dropped a corrupt message from " + read_queue_.name());
    // Paced: a game that keeps damaging its queue must not keep this thread busy.
    return -1;
  }
  if (rc == kQueueEmpty)
    return 0;
  if (rc != kQueueOk || total == 0)
    return -1;
  // total is bounded by the queue's geometry, which Open checked against the mapping.
  if (receive_buffer_.size() < total)
    receive_buffer_.assign(total, 0);
  uint32_t length = static_cast<uint32_t>(receive_buffer_.size());
  rc = read_queue_.Read(receive_buffer_.data(), &length, &sequence, nullptr, kReadLockWaitMs);
  if (rc == kQueueCorrupt) {
    read_queue_.DropOldest();
    Log(3, "ipc: dropped a corrupt message from " + read_queue_.name());
    return -1;
  }
  if (rc == kQueueEmpty)
    return 0;
  if (rc != kQueueOk)
    return -1;  // read again in a later pass
  message_bound_.TryTake(1);
  byte_bound_.TryTake(length);
  ++delivered_;
  if (callback_ != nullptr)
    callback_->OnIpcData(receive_buffer_.data(), length);
  last_receive_ = static_cast<uint32_t>(clock_.WallSeconds());
  return 1;
}

bool WinIpcImpl::WriteWaiting() {
  bool taken = false;
  while (!stop_) {
    std::string message;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // What Send rang for is taken from here on; a later Send rings again.
      woken_ = false;
      // A Send writing by itself finishes first (it never waits), so the order holds.
      write_done_.wait(lock, [this] { return in_flight_ == 0; });
      if (send_queue_.empty())
        return taken;
      message = std::move(send_queue_.front());
      send_queue_.pop_front();
      in_flight_ = 1;
    }
    bool keep = WriteOne(message);
    std::lock_guard<std::mutex> lock(mutex_);
    in_flight_ = 0;
    write_done_.notify_all();
    if (keep) {
      send_queue_.push_front(std::move(message));
      return taken;
    }
    taken = true;
  }
  return taken;
}

bool WinIpcImpl::WriteOne(const std::string& message) {
  if (message.empty())
    return false;
  // Its length comes from the gate: one that the queue can never hold would stall every
  // message behind it.
  if (message.size() > write_queue_.Capacity()) {
    Log(3, "ipc: dropped a message of " + std::to_string(message.size()) + " bytes, more than " +
               write_queue_.name() + " holds");
    return false;
  }
  uint32_t rc = write_queue_.Write(message.data(), static_cast<uint32_t>(message.size()));
  if (rc == kQueueOk)
    return false;
  if (rc == kQueueBadArgument) {
    Log(3,
        "ipc: dropped a message the queue refuses (" + std::to_string(message.size()) + " bytes)");
    return false;
  }
  return true;  // full, busy or the other side gone: try again next pass
}

}  // namespace qvc
