#include "gateclient/client_frame/testing/scripted_agent.h"

#include <utility>

namespace qvc::testing {

bool ScriptedJobAgent::Init(IJobProcessPool* pool, uint32_t, uint32_t, uint32_t, uint32_t,
                            ICmdProcess*) {
  std::lock_guard<std::mutex> lock(mu_);
  pool_ = pool;
  return pool != nullptr;
}

void ScriptedJobAgent::Uninit() {
  std::lock_guard<std::mutex> lock(mu_);
  pool_ = nullptr;
  open_connid_ = 0;
}

bool ScriptedJobAgent::HandleCommand(qv::CMD_base* command) {
  if (command == nullptr || command->kind != qv::cmd::kKindNetwork)
    return false;
  std::lock_guard<std::mutex> lock(mu_);
  if (pool_ == nullptr)
    return false;
  switch (command->subid) {
    case qv::CMDNetwork_ConnectTo::kSubId: {
      auto* connect = static_cast<qv::CMDNetwork_ConnectTo*>(command);
      connect->routing.connid = ++next_connid_;
      connects_.push_back({connect->routing.connid, connect->host, connect->port});
      return true;
    }
    case qv::CMDNetwork_DataMessage::kSubId: {
      const auto* message = static_cast<const qv::CMDNetwork_DataMessage*>(command);
      sent_.push_back(
          {message->routing.connid, message->gate_kind, message->gate_subid, message->payload});
      return open_connid_ != 0 && message->routing.connid == open_connid_;
    }
    case qv::CMDNetwork_KickConnection::kSubId:
      kicks_.push_back(command->routing.connid);
      if (open_connid_ != 0 && command->routing.connid == open_connid_)
        CloseLocked();
      return true;
    default:
      return false;
  }
}

void ScriptedJobAgent::PostLocked(qv::CMD_base* command, uint64_t connid) {
  qv::AttachReleaser(command);
  command->routing.connid = connid;
  command->routing.from_connection = 1;
  if (pool_ != nullptr) {
    pool_->PostCommand(command);
  } else {
    qv::ReleaseCommand(command);
  }
}

void ScriptedJobAgent::AnswerConnect(bool success) {
  std::lock_guard<std::mutex> lock(mu_);
  if (connects_.empty())
    return;
  const uint64_t connid = connects_.back().connid;
  auto* result = new qv::CMDNetwork_OnConnectToRet();
  result->success = success ? 1 : 0;
  PostLocked(result, connid);
  if (!success)
    return;
  open_connid_ = connid;
  PostLocked(new qv::CMDNetwork_OnConnectionCome(), connid);
}

void ScriptedJobAgent::SendFrame(uint16_t kind, uint16_t subid, const std::string& payload) {
  std::lock_guard<std::mutex> lock(mu_);
  if (open_connid_ == 0)
    return;
  auto* message = new qv::CMDNetwork_DataMessage();
  message->gate_kind = kind;
  message->gate_subid = subid;
  message->payload = payload;
  PostLocked(message, open_connid_);
}

void ScriptedJobAgent::SendTransfer(uint32_t kind, uint32_t subid, const std::string& data,
                                    uint32_t apptype, uint32_t appid, uint64_t session) {
  qv::gate::TransferDataReq transfer;
  transfer.set_att_apptype(apptype);
  transfer.set_att_appid(appid);
  transfer.set_att_sessionid(session);
  transfer.set_data_cmd_kind(kind);
  transfer.set_data_cmd_subid(subid);
  transfer.set_data(data);
  SendFrame(qv::cmd::kKindGate, qv::cmd::gate::kTransferDataReq,
            transfer.SerializePartialAsString());
}

void ScriptedJobAgent::CloseConnection() {
  std::lock_guard<std::mutex> lock(mu_);
  CloseLocked();
}

void ScriptedJobAgent::CloseLocked() {
  if (open_connid_ == 0)
    return;
  PostLocked(new qv::CMDNetwork_OnConnectionClose(), open_connid_);
  open_connid_ = 0;
}

bool ScriptedJobAgent::initialised() const {
  std::lock_guard<std::mutex> lock(mu_);
  return pool_ != nullptr;
}

uint64_t ScriptedJobAgent::open_connid() const {
  std::lock_guard<std::mutex> lock(mu_);
  return open_connid_;
}

std::vector<ScriptedJobAgent::Connect> ScriptedJobAgent::connects() const {
  std::lock_guard<std::mutex> lock(mu_);
  return connects_;
}

std::vector<ScriptedJobAgent::Sent> ScriptedJobAgent::sent() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sent_;
}

std::vector<uint64_t> ScriptedJobAgent::kicks() const {
  std::lock_guard<std::mutex> lock(mu_);
  return kicks_;
}

size_t ScriptedJobAgent::CountSent(uint16_t kind, uint16_t subid, uint64_t connid) const {
  std::lock_guard<std::mutex> lock(mu_);
  size_t n = 0;
  for (const Sent& s : sent_) {
    if (s.kind == kind && s.subid == subid && (connid == 0 || s.connid == connid))
      ++n;
  }
  return n;
}

}  // namespace qvc::testing

namespace qvc::testing {

std::vector<qv::gate::TransferDataReq> ScriptedJobAgent::TransfersSent() const {
  std::vector<qv::gate::TransferDataReq> out;
  for (const Sent& s : sent()) {
    if (s.kind != qv::cmd::kKindGate || s.subid != qv::cmd::gate::kTransferDataReq)
      continue;
    qv::gate::TransferDataReq transfer;
    if (transfer.ParseFromString(s.payload))
      out.push_back(std::move(transfer));
  }
  return out;
}

}  // namespace qvc::testing
