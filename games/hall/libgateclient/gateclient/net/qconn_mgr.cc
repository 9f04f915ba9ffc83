#include "gateclient/net/qconn_mgr.h"

#include <arpa/inet.h>
#include <event2/bufferevent.h>
#include <event2/thread.h>
#include <netinet/in.h>

#include <cstdio>
#include <mutex>
#include <new>
#include <string>

#include "gateclient/net/qconn_channel.h"
#include "platform/net.h"

namespace {

// libevent's locking must be switched on before the first event base exists.
void UseThreads() {
  static std::once_flag once;
  std::call_once(once, [] { evthread_use_pthreads(); });
}

// Callbacks run on the loop thread without the bufferevent lock, which keeps the lock order of
// the map mutex before a bufferevent lock.

constexpr int kChannelOptions =
    BEV_OPT_CLOSE_ON_FREE | BEV_OPT_THREADSAFE | BEV_OPT_DEFER_CALLBACKS | BEV_OPT_UNLOCK_CALLBACKS;

}  // namespace

extern "C" ICMGR_ConnManager* chCreateConnManager() { return new (std::nothrow) QConnMgr(); }

QConnMgr::QConnMgr() = default;

QConnMgr::~QConnMgr() {
  // Normally Stop has freed everything; a manager that never started owns only its base.
  if (wake_ != nullptr) event_free(wake_);
  if (stop_event_ != nullptr) event_free(stop_event_);
  if (base_ != nullptr) event_base_free(base_);
}

bool QConnMgr::Start(ICMGR_ChannelSink* sink) {
  sink_ = sink;
  next_id_ = 0;
  UseThreads();
  // libevent writes with writev, which raises SIGPIPE on a reset connection.
  platform::IgnoreBrokenPipe();
  base_ = event_base_new();
  if (base_ == nullptr) return false;
  wake_ = event_new(base_, -1, 0, &QConnMgr::WakeCallback, this);
  stop_event_ = event_new(base_, -1, 0, &QConnMgr::StopCallback, this);
  if (wake_ == nullptr || stop_event_ == nullptr || !OnStart()) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
  }
  stopped_ = false;
  loop_thread_ = std::thread(&QConnMgr::RunLoop, this);
  return true;
}

void QConnMgr::RunLoop() {
  // NO_EXIT_ON_EMPTY: an idle manager sleeps in the loop instead of spinning around it.
  event_base_loop(base_, EVLOOP_NO_EXIT_ON_EMPTY);
  DestroyAllChannels();
  // Let callbacks that were deferred before the channels went run out (they find no callback
  // left to call), so nothing of them stays behind in the base.
  event_base_loop(base_, EVLOOP_NONBLOCK);
}

void QConnMgr::StopCallback(evutil_socket_t, short, void* arg) {
  event_base_loopbreak(static_cast<QConnMgr*>(arg)->base_);
}

void QConnMgr::Stop() {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    stop_ = true;
    calls_done_.wait(lock, [this] { return in_calls_ == 0; });
  }
  OnStop();
  if (loop_thread_.joinable()) {
    // An activated event stays pending until the loop runs it, so a stop that arrives before
    // the loop starts is not lost (a plain loop break would be).
    event_active(stop_event_, EV_READ, 0);
    loop_thread_.join();
  }
  DestroyAllChannels();  // when the loop never ran
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    requests_.clear();
  }
  stopped_ = true;
  delete this;  // frees the events and the base
}

bool QConnMgr::EnterCall() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stop_ || base_ == nullptr) return false;
  ++in_calls_;
  return true;
}

void QConnMgr::LeaveCall() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--in_calls_ == 0) calls_done_.notify_all();
}

uint64_t QConnMgr::NextIdLocked() {
  uint64_t id;
  do {
    id = ++next_id_;
  } while (id == 0 || id == ~uint64_t{0} || channels_.count(id) != 0);
  return id;
}

uint64_t QConnMgr::ConnectTo(const char* host, uint32_t port, uint32_t context,
                             uint32_t timeout_ms) {
  if (!EnterCall()) return 0;
  const std::string name = host == nullptr ? "" : host;
  // Resolved here, on the caller's thread, like a connect without an asynchronous resolver.
  uint32_t address = 0;
  const bool resolved = !name.empty() && platform::ResolveIPv4(name.c_str(), &address);
  uint64_t id = 0;
  if (!resolved) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      id = NextIdLocked();
    }
    // The channel is already gone when the id is returned.
    sink_->OnConnectToRet(id, false, context);
    LeaveCall();
    return id;
  }
  // Our own close-on-exec socket: libevent's would be inherited by the game processes.
  const int fd = platform::OpenTcpSocket();
  // Gate frames are whole messages, most of them small: each should leave at once rather than
  // wait for the acknowledgement of the one before it.
  if (fd >= 0) platform::SetTcpNoDelay(fd);
  bufferevent* bev = fd < 0 ? nullptr : bufferevent_socket_new(base_, fd, kChannelOptions);
  if (bev == nullptr) {
    if (fd >= 0) platform::CloseSocket(fd);
    LeaveCall();
    return 0;
  }
  bufferevent_set_max_single_read(bev, QConnChannel::kMaxTransferPerPass);
  bufferevent_set_max_single_write(bev, QConnChannel::kMaxTransferPerPass);
  {
    // Held until the connect has started: the loop thread cannot destroy the channel (that takes
    // `mutex_`) while it is being set up.
    std::lock_guard<std::mutex> lock(mutex_);
    id = NextIdLocked();
    auto channel = std::make_unique<QConnChannel>(this, base_, bev, id, sink_, context, name);
    QConnChannel* raw = channel.get();
    channels_[id] = std::move(channel);
    // Without a timer the channel could hang forever; the error path below still reports it.
    raw->ArmConnectTimeout(timeout_ms);
    if (port >= 1 && port <= 65535) {
      sockaddr_in addr{};
      addr.sin_family = AF_INET;
      addr.sin_port = htons(static_cast<uint16_t>(port));
      addr.sin_addr.s_addr = address;
      // A failure is reported through the event callback on the loop thread.
      bufferevent_socket_connect(bev, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
      raw->Enable();
    }
    // A bad port gets no connect at all: the time-out reports the failure.
  }
  LeaveCall();
  return id;
}

bool QConnMgr::Send(uint64_t id, const void* data, uint32_t length) {
  if (!EnterCall()) return false;
  bool sent = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = channels_.find(id);
    if (it != channels_.end()) {
      sent = it->second->QueueOutput(data, length);
    }
  }
  LeaveCall();
  return sent;
}

void QConnMgr::Close(uint64_t id) {
  if (!EnterCall()) return;
  Post({Op::kClose, id});
  LeaveCall();
}

void QConnMgr::ResolveHosts(uint32_t count, HostEntry* table, uint32_t a, uint32_t b,
                            uint32_t c) {
  if (!EnterCall()) return;
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    resolve_count_ = count;
    resolve_table_ = table;
    resolve_words_[0] = a;
    resolve_words_[1] = b;
    resolve_words_[2] = c;
  }
  Post({Op::kResolve, 0});
  LeaveCall();
}

void QConnMgr::Post(Request request) {
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    requests_.push_back(request);
  }
  // Activation from any thread; libevent clears the active mark before it runs the callback, so
  // a request queued during RunRequests wakes it again.
  event_active(wake_, EV_READ, 0);
}

void QConnMgr::WakeCallback(evutil_socket_t, short, void* arg) {
  static_cast<QConnMgr*>(arg)->RunRequests();
}

void QConnMgr::RunRequests() {
  std::vector<Request> requests;
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    requests.swap(requests_);
  }
  for (const Request& request : requests) {
    if (request.op == Op::kClose) {
      CloseChannel(request.id);
    } else {
      ResolvePending();
    }
  }
}

std::unique_ptr<QConnChannel> QConnMgr::TakeChannel(uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = channels_.find(id);
  if (it == channels_.end()) return nullptr;
  std::unique_ptr<QConnChannel> channel = std::move(it->second);
  channels_.erase(it);
  return channel;
}

void QConnMgr::CloseChannel(uint64_t id) {
  // Out of the map first, so no Send can reach it; reported outside the lock.
  std::unique_ptr<QConnChannel> channel = TakeChannel(id);
  if (channel) channel->ReportCloseIfConnected();
}

void QConnMgr::DestroyChannel(uint64_t id) {
  TakeChannel(id);
}

void QConnMgr::DestroyAllChannels() {
  std::map<uint64_t, std::unique_ptr<QConnChannel>> channels;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    channels.swap(channels_);
  }
}

void QConnMgr::ResolvePending() {
  uint32_t count;
  HostEntry* table;
  {
    std::lock_guard<std::mutex> lock(requests_mutex_);
    count = resolve_count_;
    table = resolve_table_;
    resolve_count_ = 0;
  }
  for (uint32_t i = 0; i < count; ++i) {
    HostEntry& entry = table[i];
    uint32_t address = 0;
    if (entry.host != nullptr && platform::ResolveIPv4(entry.host, &address)) {
      entry.address = address;
      std::printf("ip=%d\n", static_cast<int>(address));
    } else {
      entry.address = 0;
      entry.failure[0] = entry.failure[1] = 1000;
    }
  }
}

size_t QConnMgr::ChannelCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return channels_.size();
}

int QConnMgr::SocketOf(uint64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = channels_.find(id);
  return it == channels_.end() ? -1 : bufferevent_getfd(it->second->bev());
}
