// The client frame: owns the hall's gate connection (job thread, network agent, gate protocol
// handler, publisher), chooses a gate address, connects and reconnects, keeps the link alive with
// a heartbeat, kicks a silent gate, and sends commands with their payload transformed by the
// session key. All its work except construction, Start, Stop and SendToGate runs on the job
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "gateclient/base/cmd_base.h"
#include "gateclient/base/network_commands.h"
#include "gateclient/client_frame/client_functions.h"
#include "gateclient/client_frame/frame_send_path.h"
#include "gateclient/client_frame/gate_client_proc.h"
#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/client_frame/gate_session.h"
#include "gateclient/client_frame/payload_cipher.h"
#include "gateclient/job/cmd_process.h"
#include "gateclient/publisher/publisher.h"
#include "platform/clock.h"
#include "platform/waiter.h"

class IJobAgent;

namespace qvc {

// The gate endpoint used when addr.ini names none.
inline constexpr const char* kDefaultGateHost = "gate.tarvix.net";
inline constexpr uint32_t kDefaultGatePort = 10168;
// Delays of the first connect and of every reconnect.
inline constexpr uint32_t kFirstConnectDelayMs = 100;
inline constexpr uint32_t kReconnectDelayMs = 50;
// Seconds between heartbeats.
inline constexpr int64_t kHeartbeatSeconds = 15;

// What the frame runs on. The defaults are the program's: the system clock, a job thread that
// really waits, and the network agent over the connection manager. A test hands in a manual
// clock and waiter to step the job thread round by round, and an agent of its own instead of TCP.
struct ClientFrameOptions {
  // Wall seconds of the heartbeat and the silence check.
  const platform::Clock* clock = &platform::SystemClock();
  // The job thread's milliseconds (delayed commands, timer rounds) and its waits between two
  // polls. A headless test gives both the manual clock and a waiter that moves it.
  const platform::Clock* job_clock = &platform::SystemClock();
  platform::Waiter* job_waiter = &platform::SystemWaiter();
  // Makes the network agent (not yet initialised; the frame releases it at Stop). Null:
  // CreateJobAgent.
  std::function<IJobAgent*()> make_agent;
  std::string client_ini;  // empty: "LobbyData/client.ini"
  std::string addr_ini;    // empty: "LobbyData/addr.ini"
};

class ClientFrame {
 public:
  explicit ClientFrame(ClientFrameOptions options = {});
  // Stops the frame first.
  virtual ~ClientFrame();
  ClientFrame(const ClientFrame&) = delete;
  ClientFrame& operator=(const ClientFrame&) = delete;

  // Registers the handlers, starts the job thread and the network agent and schedules the first
  // connect 100 ms later. REQUIRES: called once.
  virtual bool Start();
  // Orderly shutdown: reconnecting ends, the job thread and the connection thread are stopped and
  // joined, and nothing is reported afterwards. Idempotent; not from the job thread.
  void Stop();

  // Sends a gate command (kind 12) or a data message (kind 9 subid 2) on the current connection.
  // False, nothing sent, when not connected, before Start, after Stop, for other kinds, and for
  // application transfers before the connection's hello reply. Any thread.
  bool SendToGate(qv::CMD_base* command);

  // Job thread.
  void Reconnect(uint32_t delay_ms);
  void ChooseGateAddress(std::string* host, uint32_t* port) const;
  void KickGate();
  void CheckHeartbeat();
  void OnNetworkCommand(qv::CMD_base* command);
  // The gate protocol handler's calls back into the frame.
  void OnHelloDone(uint64_t connid, std::shared_ptr<const Blowfish> cipher);
  void ClearConnected() { connected_.store(false); }
  // The gate reported a second login: no more reconnects.
  void SetNoReconnect() { no_reconnect_.store(true); }

  GateClientProc& proc() { return proc_; }
  Publisher& publisher() { return publisher_; }
  // The protocol layer over this frame. The dispatch's plan manager and catalogue are set before
  // Start; the session and the requests are used from any thread as their headers say.
  GateSession& session() { return session_; }
  GateRequests& requests() { return requests_; }
  GateDispatch& dispatch() { return dispatch_; }
  bool connected() const { return connected_.load(); }
  bool connecting() const { return connecting_.load(); }
  uint64_t connid() const { return connid_.load(); }
  std::shared_ptr<const LinkSnapshot> link() const { return link_.Get(); }

 private:
  class NetworkProc;
  class PostGuard;

  bool SendData(qv::CMDNetwork_DataMessage* message, const LinkSnapshot& link);
  void OnData(qv::CMDNetwork_DataMessage* message);
  void OnConnectResult(qv::CMDNetwork_OnConnectToRet* result);
  void OnConnected(qv::CMD_base* command);
  void OnClosed(qv::CMD_base* command);

  const ClientFrameOptions options_;
  Publisher publisher_;
  // The protocol layer, built in this order over the publisher and the frame's send path.
  GateSession session_;
  FrameSendPath send_path_;
  GateRequests requests_;
  GateDispatch dispatch_;
  GateClientProc proc_;
  std::unique_ptr<NetworkProc> network_proc_;
  std::unique_ptr<PostGuard> post_guard_;
  IJobProcessPool* pool_ = nullptr;
  // Senders on any thread hold agent_mutex_ shared while they use the agent; Stop takes it
  // exclusively to take the agent away, so none is inside a call when it is freed.
  mutable std::shared_mutex agent_mutex_;
  std::atomic<IJobAgent*> agent_{nullptr};
  GateLink link_;
  std::atomic<bool> started_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> connecting_{false};
  std::atomic<bool> no_reconnect_{false};
  std::atomic<uint64_t> connid_{0};

  // Job thread only.
  int64_t last_gate_frame_ = 0;
  int64_t connect_time_ = 0;
  int64_t last_data_ = 0;
  int64_t last_pulse_ = 0;
  bool send_heartbeat_ = true;
  int64_t timedisconn_ = 25;
};

// Sends the hello of a new connection: a HelloReq whose only field is ad_id = 0.
bool SendHello(ClientFrame& frame);

}  // namespace qvc
