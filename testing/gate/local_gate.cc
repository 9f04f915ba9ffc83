#include "testing/gate/local_gate.h"

#include <event2/thread.h>

#include "gate/gate.pb.h"
#include "interface/command_ids.h"
#include "platform/net.h"

namespace testgate {

namespace gatecmd = qv::cmd::gate;

LocalGate::LocalGate() { InstallDefaultHandlers(); }

LocalGate::~LocalGate() { Stop(); }

bool LocalGate::Start() {
  static std::once_flag threads;
  std::call_once(threads, [] { evthread_use_pthreads(); });
  platform::IgnoreBrokenPipe();  // a hall that resets must not kill the gate's process
  const int fd = platform::ListenOnLoopback(&port_);
  if (fd < 0) return false;
  base_ = event_base_new();
  // The listener accepts until it would block, so its socket must not block.
  evutil_make_socket_nonblocking(fd);
  listener_ = evconnlistener_new(base_, &LocalGate::AcceptCallback, this,
                                 LEV_OPT_CLOSE_ON_FREE | LEV_OPT_CLOSE_ON_EXEC, -1, fd);
  wake_ = event_new(base_, -1, 0, &LocalGate::WakeCallback, this);
  stop_event_ = event_new(base_, -1, 0, &LocalGate::StopCallback, this);
  if (listener_ == nullptr || wake_ == nullptr || stop_event_ == nullptr) {
    if (listener_ == nullptr) platform::CloseSocket(fd);
    Stop();
    return false;
  }
  loop_ = std::thread([this] {
    event_base_loop(base_, EVLOOP_NO_EXIT_ON_EMPTY);
    connections_.clear();
  });
  return true;
}

void LocalGate::Stop() {
  if (loop_.joinable()) {
    event_active(stop_event_, EV_READ, 0);  // stays pending until the loop runs it
    loop_.join();
  }
  connections_.clear();
  if (listener_ != nullptr) evconnlistener_free(listener_);
  if (wake_ != nullptr) event_free(wake_);
  if (stop_event_ != nullptr) event_free(stop_event_);
  if (base_ != nullptr) event_base_free(base_);
  listener_ = nullptr;
  wake_ = stop_event_ = nullptr;
  base_ = nullptr;
}

void LocalGate::StopCallback(evutil_socket_t, short, void* arg) {
  event_base_loopbreak(static_cast<LocalGate*>(arg)->base_);
}

void LocalGate::AcceptCallback(evconnlistener*, evutil_socket_t fd, sockaddr*, int, void* arg) {
  auto* self = static_cast<LocalGate*>(arg);
  int index;
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    index = self->accepted_++;
    ++self->open_;
    self->changed_.notify_all();
  }
  self->connections_.push_back(
      std::make_unique<GateConnection>(self, index, self->base_, static_cast<int>(fd)));
}

void LocalGate::SetHelloReply(HelloReply reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  hello_ = std::move(reply);
}

void LocalGate::SetSilent(bool silent) {
  std::lock_guard<std::mutex> lock(mutex_);
  silent_ = silent;
}

void LocalGate::OnFrame(uint16_t kind, uint16_t subid, FrameHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  frame_handlers_[{kind, subid}] = std::move(handler);
}

void LocalGate::OnTransfer(uint16_t kind, uint16_t subid, TransferHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  transfer_handlers_[{kind, subid}] = std::move(handler);
}

void LocalGate::InstallDefaultHandlers() {
  frame_handlers_[{qv::cmd::kKindGate, gatecmd::kHelloReq}] =
      [this](GateConnection& c, const ReceivedFrame&) { AnswerHello(c); };
  frame_handlers_[{qv::cmd::kKindGate, gatecmd::kPulseReq}] = [](GateConnection& c,
                                                                 const ReceivedFrame& f) {
    qv::gate::PulseReq request;
    if (!request.ParseFromString(f.payload)) return;
    qv::gate::PulseRsp answer;
    if (request.has_speed_data()) answer.set_speed_data(request.speed_data());
    if (request.has_attached_data()) answer.set_attachd_data(request.attached_data());
    c.SendFrame(qv::cmd::kKindGate, gatecmd::kPulseRsp, answer.SerializeAsString());
  };
  frame_handlers_[{qv::cmd::kKindGate, gatecmd::kTransferDataReq}] = [this](
                                                                         GateConnection& c,
                                                                         const ReceivedFrame& f) {
    qv::gate::TransferDataReq transfer;
    if (!transfer.ParseFromString(f.payload)) return;
    TransferHandler handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = transfer_handlers_.find({static_cast<uint16_t>(transfer.data_cmd_kind()),
                                         static_cast<uint16_t>(transfer.data_cmd_subid())});
      if (it == transfer_handlers_.end()) return;
      handler = it->second;
    }
    handler(c, f, transfer.data());
  };
}

void LocalGate::AnswerHello(GateConnection& connection) {
  HelloReply script;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    script = hello_;
  }
  if (!script.send) return;
  qv::gate::HelloRsp reply;
  reply.set_rsp_flag(script.rsp_flag);
  if (script.rsp_flag & 1) reply.set_encrypt_key(script.key);
  if (script.rsp_flag & 2) {
    for (const std::string& address : script.gate_addresses) reply.add_gate_address(address);
  }
  if (script.rsp_flag & 4) reply.set_login_token(script.login_token);
  // The reply itself travels in clear; the cipher starts right after it.
  connection.SendFrame(qv::cmd::kKindGate, gatecmd::kHelloRsp, reply.SerializeAsString());
  if (script.rsp_flag & 1) connection.SetSessionKey(script.key);
}

void LocalGate::OnReceived(GateConnection& connection, ReceivedFrame frame) {
  FrameHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!silent_ && frame.decoded) {
      auto it = frame_handlers_.find({frame.kind, frame.subid});
      if (it != frame_handlers_.end()) handler = it->second;
    }
    frames_.push_back(frame);
    changed_.notify_all();
  }
  if (handler) handler(connection, frame);
}

void LocalGate::OnConnectionEnded(GateConnection&) {
  std::lock_guard<std::mutex> lock(mutex_);
  --open_;
  changed_.notify_all();
}

std::vector<ReceivedFrame> LocalGate::Frames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

std::vector<ReceivedFrame> LocalGate::WaitForFrames(size_t count,
                                                    std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return frames_.size() >= count; });
  return frames_;
}

bool LocalGate::WaitForFrame(uint16_t kind, uint16_t subid, size_t after,
                             std::chrono::milliseconds limit, ReceivedFrame* found) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    for (size_t i = after; i < frames_.size(); ++i) {
      if (frames_[i].decoded && frames_[i].kind == kind && frames_[i].subid == subid) {
        if (found != nullptr) *found = frames_[i];
        return true;
      }
    }
    return false;
  });
}

int LocalGate::accepted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return accepted_;
}

int LocalGate::open_connections() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool LocalGate::WaitForAccepted(int count, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return accepted_ >= count; });
}

bool LocalGate::WaitForOpen(int count, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] { return open_ == count; });
}

void LocalGate::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(tasks_mutex_);
    tasks_.push_back(std::move(task));
  }
  event_active(wake_, EV_READ, 0);
}

void LocalGate::WakeCallback(evutil_socket_t, short, void* arg) {
  static_cast<LocalGate*>(arg)->RunTasks();
}

void LocalGate::RunTasks() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard<std::mutex> lock(tasks_mutex_);
    tasks.swap(tasks_);
  }
  for (auto& task : tasks) task();
}

GateConnection* LocalGate::Find(int index) {
  if (connections_.empty()) return nullptr;
  if (index < 0) return connections_.back().get();
  for (auto& c : connections_) {
    if (c->index() == index) return c.get();
  }
  return nullptr;
}

void LocalGate::Act(int index, std::function<void(GateConnection&)> action) {
  Post([this, index, action = std::move(action)] {
    GateConnection* c = Find(index);
    if (c != nullptr && c->open()) action(*c);
  });
}

void LocalGate::SendFrame(int index, uint16_t kind, uint16_t subid, const std::string& payload) {
  Act(index, [=](GateConnection& c) { c.SendFrame(kind, subid, payload); });
}

void LocalGate::SendRaw(int index, const std::string& bytes) {
  Act(index, [=](GateConnection& c) { c.SendRaw(bytes); });
}

void LocalGate::SendBytewise(int index, const std::string& bytes) {
  Act(index, [=](GateConnection& c) { c.SendBytewise(bytes); });
}

void LocalGate::SendPulse(int index, uint32_t speed_data, const std::string& attached) {
  qv::gate::PulseReq pulse;
  pulse.set_speed_data(speed_data);
  if (!attached.empty()) pulse.set_attached_data(attached);
  SendFrame(index, qv::cmd::kKindGate, gatecmd::kPulseReq, pulse.SerializeAsString());
}

void LocalGate::SendTransfer(int index, uint16_t kind, uint16_t subid, const std::string& data,
                             uint32_t apptype, uint32_t appid) {
  qv::gate::TransferDataReq transfer;
  transfer.set_att_apptype(apptype);
  transfer.set_att_appid(appid);
  transfer.set_data_cmd_kind(kind);
  transfer.set_data_cmd_subid(subid);
  transfer.set_data(data);
  SendFrame(index, qv::cmd::kKindGate, gatecmd::kTransferDataReq, transfer.SerializeAsString());
}

void LocalGate::CloseConnection(int index) {
  Act(index, [](GateConnection& c) { c.Close(); });
}

void LocalGate::ResetConnection(int index) {
  Act(index, [](GateConnection& c) { c.Reset(); });
}

}  // namespace testgate
