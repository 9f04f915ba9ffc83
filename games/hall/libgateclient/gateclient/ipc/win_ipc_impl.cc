#include "gateclient/ipc/win_ipc_impl.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>

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

WinIpcImpl::WinIpcImpl(platform::Clock& clock)
    : clock_(clock), last_receive_(static_cast<uint32_t>(clock.WallSeconds())) {}

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
  if (!attach(read_queue_, read_name) || !attach(write_queue_, write_name)) {
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

void WinIpcImpl::Send(const void* data, uint32_t length) {
  std::string message(static_cast<const char*>(data), data == nullptr ? 0 : length);
  std::lock_guard<std::mutex> lock(mutex_);
  send_queue_.push_back(std::move(message));
}

void WinIpcImpl::StopAndJoinLocked(std::unique_lock<std::mutex>&) {
  if (!worker_.joinable())
    return;
  {
    std::lock_guard<std::mutex> wake(wake_mutex_);
    stop_ = true;
  }
  wake_.notify_all();
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
  while (!stop_) {
    ReadOne();
    WriteWaiting();
    std::unique_lock<std::mutex> wake(wake_mutex_);
    wake_.wait_for(wake, std::chrono::milliseconds(kWorkerIntervalMs),
                   [this] { return stop_.load(); });
  }
  stopped_ = true;
}

void WinIpcImpl::ReadOne() {
  if (!read_queue_.attached())
    return;
  uint32_t total = 0;
  uint32_t sequence = 0;
  uint32_t rc = read_queue_.Read(nullptr, &total, &sequence, nullptr, 0);
  if (rc == kQueueCorrupt) {
    read_queue_.DropOldest();
    Log(3, "ipc: dropped a corrupt message from " + read_queue_.name());
    return;
  }
  if (rc != kQueueOk || total == 0)
    return;
  // total is bounded by the queue's geometry, which Open checked against the mapping.
  if (receive_buffer_.size() < total)
    receive_buffer_.assign(total, 0);
  uint32_t length = static_cast<uint32_t>(receive_buffer_.size());
  rc = read_queue_.Read(receive_buffer_.data(), &length, &sequence, nullptr, kReadLockWaitMs);
  if (rc == kQueueCorrupt) {
    read_queue_.DropOldest();
    Log(3, "ipc: dropped a corrupt message from " + read_queue_.name());
    return;
  }
  if (rc != kQueueOk)
    return;  // read again next pass
  if (callback_ != nullptr)
    callback_->OnIpcData(receive_buffer_.data(), length);
  last_receive_ = static_cast<uint32_t>(clock_.WallSeconds());
}

void WinIpcImpl::WriteWaiting() {
  while (!stop_) {
    std::string message;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (send_queue_.empty())
        return;
      message = std::move(send_queue_.front());
      send_queue_.pop_front();
      in_flight_ = 1;
    }
    bool keep = WriteOne(message);
    std::lock_guard<std::mutex> lock(mutex_);
    in_flight_ = 0;
    if (keep) {
      send_queue_.push_front(std::move(message));
      return;
    }
  }
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
