#include "gateclient/net/client_net_agent.h"

#include "gateclient/log/debug_trace.h"
#include "gateclient/net/packet_frame.h"
#include "gateclient/net/qconn_mgr.h"
#include "interface/command_ids.h"

extern "C" IJobAgent* CreateJobAgent() { return new ClientNetAgent(); }

namespace {

// The tag field keeps the two marker bytes in memory order: low byte first.
gateframe::PacketFrame ToFrame(const qv::CMDNetwork_DataMessage& message) {
  gateframe::PacketFrame frame;
  frame.tag1 = static_cast<uint8_t>(message.tag & 0xff);
  frame.tag2 = static_cast<uint8_t>(message.tag >> 8);
  frame.kind = message.gate_kind;
  frame.subid = message.gate_subid;
  frame.text = message.text;
  frame.payload = message.payload;
  return frame;
}

void MarkFromConnection(qv::CMD_base* command, uint64_t connid, uint32_t context) {
  command->routing.connid = connid;
  command->routing.from_connection = 1;
  command->routing.conn_context = context;
}

}  // namespace

std::string EncodeFrame(const qv::CMDNetwork_DataMessage& message) {
  std::string out;
  gateframe::EncodeFrame(ToFrame(message), &out);  // empty when over the frame cap
  return out;
}

bool DecodeFrame(const void* bytes, size_t n, qv::CMDNetwork_DataMessage* message) {
  gateframe::PacketFrame frame;
  if (gateframe::DecodeFrame(bytes, n, &frame) != gateframe::DecodeError::kNone) return false;
  message->tag = static_cast<uint16_t>(frame.tag1 | frame.tag2 << 8);
  message->gate_kind = frame.kind;
  message->gate_subid = frame.subid;
  message->text = std::move(frame.text);
  message->payload = std::move(frame.payload);
  return true;
}

ClientNetAgent::~ClientNetAgent() { Uninit(); }

bool ClientNetAgent::Init(IJobProcessPool* pool, uint32_t, uint32_t, uint32_t, uint32_t,
                          ICmdProcess* direct) {
  pool_ = pool;
  direct_ = direct;
  auto* manager = new QConnMgr();
  if (!manager->Start(this)) {
    manager->Stop();
    return false;
  }
  manager_ = manager;
  return true;
}

void ClientNetAgent::Uninit() {
  if (manager_ == nullptr) return;
  manager_->Stop();  // deletes the manager
  manager_ = nullptr;
}

void ClientNetAgent::Release() { delete this; }

bool ClientNetAgent::HandleCommand(qv::CMD_base* command) {
  if (command == nullptr || command->kind != qv::cmd::kKindNetwork || manager_ == nullptr) {
    return false;
  }
  switch (command->subid) {
    case qv::CMDNetwork_DataMessage::kSubId: {
      const std::string bytes = EncodeFrame(*static_cast<qv::CMDNetwork_DataMessage*>(command));
      if (bytes.empty()) return false;
      return manager_->Send(command->routing.connid, bytes.data(),
                            static_cast<uint32_t>(bytes.size()));
    }
    case qv::CMDNetwork_ConnectTo::kSubId: {
      auto* connect = static_cast<qv::CMDNetwork_ConnectTo*>(command);
      const uint32_t timeout =
          connect->delay != 0 ? static_cast<uint32_t>(connect->delay) : kDefaultConnectTimeoutMs;
      connect->routing.connid =
          manager_->ConnectTo(connect->host.c_str(), connect->port, connect->user_context, timeout);
      return connect->routing.connid != 0;
    }
    case qv::CMDNetwork_KickConnection::kSubId:
      manager_->Close(command->routing.connid);
      return true;
    default:
      return false;
  }
}

void ClientNetAgent::OnConnectionClose(uint64_t connid, uint32_t context) {
  DebugTrace("conn closed:%lld\n", static_cast<long long>(connid));
  auto* command = new qv::CMDNetwork_OnConnectionClose();
  qv::AttachReleaser(command);
  MarkFromConnection(command, connid, context);
  pool_->PostCommand(command);
}

void ClientNetAgent::OnDataMessage(uint64_t connid, const void* frame, uint32_t length,
                                   uint32_t context) {
  auto* command = new qv::CMDNetwork_DataMessage();
  qv::AttachReleaser(command);
  // A frame that does not decode is still delivered, as kind 0, subid 0, no text, no payload.
  if (!DecodeFrame(frame, length, command)) command->tag = qv::CMDNetwork_DataMessage::kFrameTag;
  MarkFromConnection(command, connid, context);
  if (direct_ != nullptr) {
    direct_->OnCommand(command, 0);
    qv::ReleaseCommand(command);
  } else {
    pool_->PostCommand(command);
  }
}

void ClientNetAgent::OnConnectToRet(uint64_t connid, bool success, uint32_t context) {
  auto* result = new qv::CMDNetwork_OnConnectToRet();
  qv::AttachReleaser(result);
  MarkFromConnection(result, connid, context);
  result->user_context = context;
  result->success = success ? 1 : 0;
  pool_->PostCommand(result);
  if (success) {
    auto* come = new qv::CMDNetwork_OnConnectionCome();
    qv::AttachReleaser(come);
    MarkFromConnection(come, connid, context);
    pool_->PostCommand(come);
  }
}
