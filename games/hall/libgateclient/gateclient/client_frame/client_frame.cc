#include "gateclient/client_frame/client_frame.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "gateclient/base/lambda_function.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/factories.h"
#include "gateclient/command/gate_encoders.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/config/qconfig.h"
#include "gateclient/config/qgate_address.h"
#include "gateclient/job/kjob_thread.h"
#include "gateclient/log/log_sink_list.h"
#include "gateclient/net/client_net_agent.h"
#include "interface/command_ids.h"

namespace qvc {

// The pool's default handler: network events and the timer rounds of the heartbeat.
class ClientFrame::NetworkProc final : public ICmdProcess {
 public:
  explicit NetworkProc(ClientFrame* frame) : frame_(frame) {}
  bool OnAttach(uint32_t, IJobProcessPool*) override { return true; }
  void Reset() override {}
  void OnCommand(qv::CMD_base* command, uint32_t) override { frame_->OnNetworkCommand(command); }
  void OnTimer(uint64_t, uint32_t) override { frame_->CheckHeartbeat(); }

 private:
  ClientFrame* frame_;
};

// Stands between the connection thread and the pool: once closed, reports are dropped instead of
// reaching a pool that is being destroyed.
class ClientFrame::PostGuard final : public IJobProcessPool {
 public:
  explicit PostGuard(IJobProcessPool* pool) : pool_(pool) {}
  void RegisterProcess(ICmdProcess*, uint16_t) override {}
  void PostCommand(qv::CMD_base* command) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pool_ != nullptr) {
      pool_->PostCommand(command);
    } else {
      qv::ReleaseCommand(command);
    }
  }
  void WaitAndDestroy() override {}
  bool Start(uint32_t) override { return false; }
  void Stop() override {}
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    pool_ = nullptr;
  }

 private:
  std::mutex mutex_;
  IJobProcessPool* pool_;
};

namespace {

void ReconnectNow(ClientFrame* frame) {
  frame->Reconnect(0);
}

}  // namespace

ClientFrame::ClientFrame(ClientFrameOptions options)
    : options_(std::move(options)),
      send_path_(*this),
      requests_(session_, send_path_, publisher_),
      dispatch_(session_, send_path_, publisher_, requests_),
      proc_(this),
      network_proc_(std::make_unique<NetworkProc>(this)),
      pool_(new KJobThread(*options_.job_clock, *options_.job_waiter)) {
  last_gate_frame_ = options_.clock->WallSeconds();
  dispatch_.RegisterDefaultFactories();
  post_guard_ = std::make_unique<PostGuard>(pool_);
}

ClientFrame::~ClientFrame() {
  Stop();
  if (pool_ != nullptr)
    pool_->WaitAndDestroy();  // never started
}

bool ClientFrame::Start() {
  QConfig config(options_.client_ini.empty() ? kClientIniPath : options_.client_ini);
  config.Load();
  send_heartbeat_ = config.send_heartbeat.value != 0;
  timedisconn_ = config.timedisconn.value;

  proc_.RegisterHandlers();
  pool_->RegisterProcess(network_proc_.get(), 0);
  if (!pool_->Start(0))
    return false;
  IJobAgent* agent = options_.make_agent ? options_.make_agent() : CreateJobAgent();
  if (agent == nullptr)
    return false;
  if (!agent->Init(post_guard_.get(), 0, 0, 0, 0, nullptr)) {
    agent->Release();
    return false;
  }
  agent_.store(agent);
  started_.store(true);
  Reconnect(kFirstConnectDelayMs);
  return true;
}

void ClientFrame::Stop() {
  if (!started_.exchange(false))
    return;
  stopping_.store(true);
  no_reconnect_.store(true);
  // The connection thread may still report: from now on its reports are dropped.
  post_guard_->Close();
  // Queued deferred reconnects run as they are released; they see `stopping_` and do nothing.
  pool_->Stop();
  pool_->WaitAndDestroy();
  pool_ = nullptr;
  // Waits for senders on other threads to leave the agent; then closes every connection
  // silently and joins the connection thread.
  IJobAgent* agent;
  {
    std::unique_lock<std::shared_mutex> lock(agent_mutex_);
    agent = agent_.exchange(nullptr);
  }
  if (agent != nullptr)
    agent->Release();
  connected_.store(false);
  connecting_.store(false);
  link_.Closed();
}

void ClientFrame::Reconnect(uint32_t delay_ms) {
  if (stopping_.load())
    return;
  if (delay_ms != 0) {
    pool_->PostCommand(new qv::CMD_LambdaFunction<ClientFrame*>(&ReconnectNow, delay_ms, this));
    return;
  }
  std::shared_lock<std::shared_mutex> lock(agent_mutex_);
  IJobAgent* agent = agent_.load();
  if (no_reconnect_.load() || agent == nullptr)
    return;
  qv::CMDNetwork_ConnectTo connect;
  ChooseGateAddress(&connect.host, &connect.port);
  connecting_.store(true);
  agent->HandleCommand(&connect);
  connid_.store(connect.routing.connid);
  GC_LOG(kLogEvent) << "重联gate ing,address=" << connect.host << ",port=" << connect.port
                    << ",connid=" << connect.routing.connid;
}

void ClientFrame::ChooseGateAddress(std::string* host, uint32_t* port) const {
  std::srand(static_cast<unsigned>(options_.clock->WallSeconds()));
  QGateAddress addresses(options_.addr_ini.empty() ? kAddrIniPath : options_.addr_ini);
  if (!addresses.Load()) {
    GC_LOG(kLogFailure) << "gate-address file could not be loaded: " << addresses.file_name();
    return;
  }
  std::vector<std::string> entries;
  for (const std::string& entry : addresses.addr.entries) {
    if (!entry.empty())
      entries.push_back(entry);
  }
  std::string chosen;
  if (entries.empty()) {
    GC_LOG(kLogFailure) << "gate-address file holds no address: " << addresses.file_name();
    *host = kDefaultGateHost;
    *port = kDefaultGatePort;
    return;
  }
  chosen = entries[static_cast<size_t>(std::rand()) % entries.size()];
  GC_LOG(kLogEvent) << "连接地址=" << chosen;
  const size_t colon = chosen.find(':');
  if (colon == std::string::npos) {
    *host = chosen;
    return;
  }
  *host = chosen.substr(0, colon);
  *port = static_cast<uint32_t>(std::strtoul(chosen.c_str() + colon + 1, nullptr, 10));
}

void ClientFrame::KickGate() {
  connected_.store(false);
  connecting_.store(false);
  std::shared_lock<std::shared_mutex> lock(agent_mutex_);
  IJobAgent* agent = agent_.load();
  if (agent == nullptr)
    return;
  qv::CMDNetwork_KickConnection kick;
  kick.routing.connid = connid_.load();
  agent->HandleCommand(&kick);
}

bool ClientFrame::SendToGate(qv::CMD_base* command) {
  if (stopping_.load() || agent_.load() == nullptr || !connected_.load())
    return false;
  // One snapshot for the whole send: the connection and its key belong together.
  const std::shared_ptr<const LinkSnapshot> link = link_.Get();
  if (link->connid == 0)
    return false;
  if (command->kind == qv::cmd::kKindNetwork &&
      command->subid == qv::CMDNetwork_DataMessage::kSubId) {
    return SendData(static_cast<qv::CMDNetwork_DataMessage*>(command), *link);
  }
  if (command->kind != qv::cmd::kKindGate)
    return false;
  // Application messages wait for the hello, so none leaves in clear on a keyed link.
  if (command->subid == qv::cmd::gate::kTransferDataReq && !link->hello_done)
    return false;
  const std::string trace = ">> gate 0,小类=" + std::to_string(command->subid);
  PostTraceText(trace.c_str());
  qv::CMDNetwork_DataMessage message;
  if (!qv::EncodeGateCommand(*command, message))
    return false;
  return SendData(&message, *link);
}

bool ClientFrame::SendData(qv::CMDNetwork_DataMessage* message, const LinkSnapshot& link) {
  std::shared_lock<std::shared_mutex> lock(agent_mutex_);
  IJobAgent* agent = agent_.load();
  if (agent == nullptr)
    return false;
  message->routing.connid = link.connid;
  if (link.cipher != nullptr)
    message->payload = EncryptPayload(*link.cipher, message->payload);
  return agent->HandleCommand(message);
}

void ClientFrame::OnNetworkCommand(qv::CMD_base* command) {
  if (command->kind != qv::cmd::kKindNetwork)
    return;
  switch (command->subid) {
    case qv::CMDNetwork_OnConnectionCome::kSubId:
      OnConnected(command);
      break;
    case qv::CMDNetwork_OnConnectionClose::kSubId:
      OnClosed(command);
      break;
    case qv::CMDNetwork_DataMessage::kSubId:
      OnData(static_cast<qv::CMDNetwork_DataMessage*>(command));
      break;
    case qv::CMDNetwork_OnConnectToRet::kSubId:
      OnConnectResult(static_cast<qv::CMDNetwork_OnConnectToRet*>(command));
      break;
    default:
      break;
  }
}

void ClientFrame::OnData(qv::CMDNetwork_DataMessage* message) {
  const int64_t now = options_.clock->WallSeconds();
  last_data_ = now;
  if (message->gate_kind != qv::cmd::kKindGate)
    return;
  last_gate_frame_ = now;
  const std::shared_ptr<const LinkSnapshot> link = link_.Get();
  // A frame of a connection that is already gone would be read with the wrong key.
  if (message->routing.connid != link->connid)
    return;
  if (link->cipher != nullptr && message->gate_subid != qv::cmd::gate::kHelloRsp) {
    message->payload = DecryptPayload(*link->cipher, message->payload);
  }
  qv::CMD_base* command = qv::CreateGateCommand(message->gate_subid, message->payload);
  if (command == nullptr)
    return;
  command->routing = message->routing;
  qv::AttachReleaser(command);
  GC_LOG(kLogTraffic) << "收到Gate报文:cmd_kind=" << command->kind << ",cmdid=" << command->subid
                      << ",src_apptype=" << command->routing.apptype
                      << ",src_appid=" << command->routing.appid;
  proc_.OnGateKindMessage(command);
  qv::ReleaseCommand(command);
}

void ClientFrame::OnConnectResult(qv::CMDNetwork_OnConnectToRet* result) {
  connecting_.store(false);
  connected_.store(result->success != 0);
  connid_.store(result->routing.connid);
  GC_LOG(kLogEvent) << "连接gate :" << static_cast<int>(result->success)
                    << ",connid=" << result->routing.connid;
  publisher_.Publish(result);
  if (result->success == 0 && !no_reconnect_.load())
    Reconnect(kReconnectDelayMs);
}

void ClientFrame::OnConnected(qv::CMD_base* command) {
  connect_time_ = last_data_ = options_.clock->WallSeconds();
  PostTraceText("连接gate ok");
  proc_.ResetForNewConnection();
  link_.Connected(command->routing.connid);
  requests_.SendHello();
  dispatch_.OnGateConnected(command);
}

void ClientFrame::OnClosed(qv::CMD_base* command) {
  connected_.store(false);
  connecting_.store(false);
  connid_.store(0);
  // The key goes with the connection: the next one starts in clear.
  link_.Closed();
  publisher_.Publish(command);
  proc_.OnGateDisconnected(command);
  if (!no_reconnect_.load())
    Reconnect(kReconnectDelayMs);
}

void ClientFrame::OnHelloDone(uint64_t connid, std::shared_ptr<const Blowfish> cipher) {
  if (link_.Get()->connid == connid)
    link_.HelloDone(connid, std::move(cipher));
}

void ClientFrame::CheckHeartbeat() {
  if (!connected_.load() || connecting_.load())
    return;
  const int64_t now = options_.clock->WallSeconds();
  if (last_pulse_ == 0)
    last_pulse_ = now;
  if (!send_heartbeat_)
    return;
  if (now - last_pulse_ < kHeartbeatSeconds)
    return;
  const int64_t diff = now - last_pulse_;
  last_pulse_ = now;
  qv::CmdPulseReq pulse;
  pulse.message.set_my_speed(static_cast<uint32_t>(now));
  pulse.message.set_speed_data(options_.clock->TickCount());
  SendToGate(&pulse);
  GC_LOG(kLogTraffic) << " heart beat req: diff=" << diff << ", time_now=" << now;
  if (now - last_data_ >= timedisconn_) {
    GC_LOG(kLogEvent) << "判断认为客户端掉线了:diff=" << (now - last_data_);
    KickGate();
  }
}

bool SendHello(ClientFrame& frame) {
  qv::CmdHelloReq hello;
  hello.message.set_ad_id(0);  // set, so present on the wire
  return frame.SendToGate(&hello);
}

}  // namespace qvc
