// A local gate for tests and for trying the hall by hand: a libevent server on a free loopback
// port that speaks gate frames with the project's own schemas and cipher. Scriptable: what the
// hello reply says, whether pulses are answered, and faults on any connection. Received frames
// are recorded for tests to wait on.
//
// Extending it: every received frame goes to the handler filed under its (kind, subid) with
// OnFrame; application messages arrive inside transfers (12, 3) and go to the handler filed under
// the inner (kind, subid) with OnTransfer. Handlers run on the gate's loop thread and answer with
// GateConnection::SendFrame or LocalGate::SendTransfer.
#pragma once

#include <event2/event.h>
#include <event2/listener.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "testing/gate/gate_connection.h"

namespace testgate {

// What the gate answers to a hello request.
struct HelloReply {
  bool send = true;     // false: the hello goes unanswered
  uint32_t rsp_flag = 0;  // bits: 1 key, 2 gate list, 4 login token
  std::string key;        // encrypt_key; the cipher starts after the reply when bit 1 is set
  std::vector<std::string> gate_addresses;
  uint32_t login_token = 0;
};

using FrameHandler = std::function<void(GateConnection& connection, const ReceivedFrame& frame)>;
// inner_kind / inner_subid / inner data of a transfer, with the transfer's frame.
using TransferHandler = std::function<void(GateConnection& connection, const ReceivedFrame& frame,
                                           const std::string& inner_data)>;

class LocalGate {
 public:
  LocalGate();
  // Stops the gate.
  ~LocalGate();
  LocalGate(const LocalGate&) = delete;
  LocalGate& operator=(const LocalGate&) = delete;

  // Listens on a free loopback port and starts the loop thread. False when it cannot listen.
  bool Start();
  // Closes every connection, ends and joins the loop thread. Idempotent.
  void Stop();
  uint16_t port() const { return port_; }

  // Script (any thread).
  void SetHelloReply(HelloReply reply);
  // false: neither pulses nor hellos are answered and nothing is sent unasked (a silent gate).
  void SetSilent(bool silent);
  void OnFrame(uint16_t kind, uint16_t subid, FrameHandler handler);
  void OnTransfer(uint16_t kind, uint16_t subid, TransferHandler handler);

  // Observation (any thread).
  std::vector<ReceivedFrame> Frames() const;
  // Waits until at least `count` frames were received (or the time is up); returns them.
  std::vector<ReceivedFrame> WaitForFrames(size_t count, std::chrono::milliseconds limit);
  // Waits until a frame of (kind, subid) numbered at least `after` (in Frames order) arrived.
  bool WaitForFrame(uint16_t kind, uint16_t subid, size_t after, std::chrono::milliseconds limit,
                    ReceivedFrame* found = nullptr);
  // Connections accepted so far / still open.
  int accepted() const;
  int open_connections() const;
  bool WaitForAccepted(int count, std::chrono::milliseconds limit);
  bool WaitForOpen(int count, std::chrono::milliseconds limit);

  // Actions on connection `index` (-1: the newest), run on the loop thread. Any thread.
  void Act(int index, std::function<void(GateConnection&)> action);
  void SendFrame(int index, uint16_t kind, uint16_t subid, const std::string& payload);
  void SendRaw(int index, const std::string& bytes);
  void SendBytewise(int index, const std::string& bytes);
  void SendPulse(int index, uint32_t speed_data, const std::string& attached);
  // Wraps `data` of (kind, subid) into a transfer and sends it.
  void SendTransfer(int index, uint16_t kind, uint16_t subid, const std::string& data,
                    uint32_t apptype = 0, uint32_t appid = 0);
  void CloseConnection(int index);
  void ResetConnection(int index);

  // For GateConnection (loop thread).
  void OnReceived(GateConnection& connection, ReceivedFrame frame);
  void OnConnectionEnded(GateConnection& connection);

 private:
  static void AcceptCallback(evconnlistener* listener, evutil_socket_t fd, sockaddr*, int,
                             void* arg);
  static void WakeCallback(evutil_socket_t, short, void* arg);
  static void StopCallback(evutil_socket_t, short, void* arg);
  void Post(std::function<void()> task);
  void RunTasks();
  void InstallDefaultHandlers();
  void AnswerHello(GateConnection& connection);
  GateConnection* Find(int index);

  event_base* base_ = nullptr;
  evconnlistener* listener_ = nullptr;
  event* wake_ = nullptr;
  event* stop_event_ = nullptr;
  uint16_t port_ = 0;
  std::thread loop_;

  std::mutex tasks_mutex_;  // leaf lock
  std::vector<std::function<void()>> tasks_;

  // Loop thread only.
  std::vector<std::unique_ptr<GateConnection>> connections_;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  HelloReply hello_;
  bool silent_ = false;
  std::map<std::pair<uint16_t, uint16_t>, FrameHandler> frame_handlers_;
  std::map<std::pair<uint16_t, uint16_t>, TransferHandler> transfer_handlers_;
  std::vector<ReceivedFrame> frames_;
  int accepted_ = 0;
  int open_ = 0;
};

}  // namespace testgate
