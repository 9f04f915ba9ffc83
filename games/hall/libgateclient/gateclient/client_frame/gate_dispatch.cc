#include "gateclient/client_frame/gate_dispatch.h"

#include <algorithm>
#include <limits>
#include <string>

#include "gateclient/client_frame/net_result.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"

namespace qvc {
namespace {

constexpr uint32_t kMaxId = std::numeric_limits<uint16_t>::max();

void Trace(const std::string& text) { PostTraceText(text.c_str()); }

}  // namespace

GateDispatch::GateDispatch(GateSession& session, GateSendPath& link, Publisher& publisher,
                           GateRequests& requests)
    : session_(session),
      link_(link),
      publisher_(publisher),
      requests_(requests),
      match_table_(this),
      hall_table_(this) {
  match_table_.Set(qv::CmdJoinRsp::kSubId, &GateDispatch::OnJoinRsp);
  match_table_.Set(qv::CmdMatchStart::kSubId, &GateDispatch::IgnoreCommand);
  hall_table_.Set(qv::CmdGetMatchDetailRsp::kSubId, &GateDispatch::OnGetMatchDetailRsp);
}

GateDispatch::~GateDispatch() {
  std::lock_guard<std::mutex> lock(details_mu_);
  for (auto& [plan, detail] : details_) qv::ReleaseCommand(detail);
}

void GateDispatch::RegisterDefaultFactories() {
  AddFactory(qv::cmd::kKindMatchClient, &qv::CreateMatchClientCommand);
  AddFactory(qv::cmd::kKindHallClient, &qv::CreateHallClientCommand);
  AddFactory(qv::cmd::kKindClient, &qv::CreateClientCommand);
  AddFactory(qv::cmd::kKindUserInfo, &qv::CreateUserInfoCommand);
}

void GateDispatch::AddFactory(uint16_t kind, qv::CommandFactory factory) {
  std::lock_guard<std::mutex> lock(factories_mu_);
  factories_[kind] = factory;
}

qv::CMD_base* GateDispatch::CreateCommandByKind(uint32_t kind, uint32_t subid,
                                                const std::string& data) {
  qv::CommandFactory factory = nullptr;
  if (kind <= kMaxId && subid <= kMaxId) {
    std::lock_guard<std::mutex> lock(factories_mu_);
    auto found = factories_.find(static_cast<uint16_t>(kind));
    if (found != factories_.end()) factory = found->second;
  }
  if (factory == nullptr) {
    GC_LOG(kLogUnknownMessage) << "创建失败：报文:cmd_kind=" << kind << ",cmdid=" << subid;
    return nullptr;
  }
  qv::CMD_base* command =
      factory(static_cast<uint16_t>(kind), static_cast<uint16_t>(subid), data);
  if (command != nullptr) command->payload = data;
  return command;
}

void GateDispatch::OnTransferData(const qv::CmdTransferDataReq& transfer) {
  const qv::gate::TransferDataReq& m = transfer.message;
  Trace("收到报文1,kind=" + std::to_string(m.data_cmd_kind()) +
        ",id=" + std::to_string(m.data_cmd_subid()) + "\n");
  qv::CMD_base* inner = CreateCommandByKind(m.data_cmd_kind(), m.data_cmd_subid(), m.data());
  if (inner == nullptr) return;
  inner->routing = transfer.routing;
  inner->routing.appid = m.att_appid();
  inner->routing.apptype = m.att_apptype();
  qv::AttachReleaser(inner);
  HandleInnerCommand(inner, m.att_sessionid());
  GC_LOG(kLogTraffic) << "--收到转发报文:cmd_kind=" << inner->kind << ",cmdid=" << inner->subid
                      << ",src_appid=" << inner->routing.appid
                      << ",src_apptype=" << inner->routing.apptype;
  qv::ReleaseCommand(inner);
}

void GateDispatch::HandleInnerCommand(qv::CMD_base* command, uint64_t app_session) {
  app_session_ = app_session;
  if (command->kind == qv::cmd::kKindClient && command->subid == qv::CmdPackedMessage::kSubId) {
    const auto& packed = *static_cast<qv::CmdPackedMessage*>(command);
    GC_LOG(kLogDetail) << "收到打包报文:seq=" << packed.message.sequence()
                       << ",session=" << packed.message.att_sessionid()
                       << ",appsession=" << app_session << ",srcappid=" << command->routing.appid
                       << ",srcapptype=" << command->routing.apptype;
    DispatchPacked(packed);
    return;
  }
  DispatchInnerCommand(command, app_session);
}

void GateDispatch::DispatchPacked(const qv::CmdPackedMessage& packed) {
  const qv::client::PackedMessage& m = packed.message;
  // The three lists are parallel; a pack whose lists differ in length uses the shortest.
  const int count = std::min({m.cmd_kind_size(), m.cmd_subid_size(), m.cmd_data_size()});
  for (int i = 0; i < count; ++i) {
    qv::CMD_base* entry = CreateCommandByKind(m.cmd_kind(i), m.cmd_subid(i), m.cmd_data(i));
    if (entry == nullptr) continue;
    entry->routing = packed.routing;
    entry->routing.appid = m.my_appid();
    entry->routing.apptype = m.my_apptype();
    qv::AttachReleaser(entry);
    DispatchInnerCommand(entry, m.att_sessionid());
    qv::ReleaseCommand(entry);
  }
}

void GateDispatch::DispatchInnerCommand(qv::CMD_base* command, uint64_t app_session) {
  app_session_ = app_session;
  Trace("收到报文,kind=" + std::to_string(command->kind) + ",id=" + std::to_string(command->subid) +
        "\n");
  publisher_.Publish(command);
  switch (command->kind) {
    case qv::cmd::kKindClient:
      DispatchClientCommand(command, app_session);
      break;
    case qv::cmd::kKindMatchClient:
      match_table_.HandleCmd(command);
      if (plan_manager_ != nullptr) plan_manager_->OnMatchClientCmd(command, app_session);
      break;
    case qv::cmd::kKindHallClient:
      if (catalogue_ != nullptr) catalogue_->HandleHallCommand(command);
      hall_table_.HandleCmd(command);
      if (plan_manager_ != nullptr) plan_manager_->OnHallClientCmd(command, app_session);
      break;
    default:
      break;
  }
  PostNetResult(command, app_session);
}

void GateDispatch::DispatchClientCommand(qv::CMD_base* command, uint64_t app_session) {
  if (command->subid == qv::CmdLoginRsp::kSubId) {
    OnLoginRsp(command);
  } else if (command->subid == qv::CmdLogoutRsp::kSubId &&
             static_cast<qv::CmdLogoutRsp*>(command)->message.logout_reason() ==
                 qv::client::LogoutRsp::AnotherLogin) {
    // Logged in elsewhere: when the gate closes this connection, it stays closed.
    link_.SetNoReconnect();
    Trace("被顶号了.");
  }
  if (plan_manager_ != nullptr) plan_manager_->OnClientCmd(command, app_session);
}

void GateDispatch::OnLoginRsp(qv::CMD_base* command) {
  if (session_.StoreLoginRsp(*static_cast<qv::CmdLoginRsp*>(command))) {
    Trace("收到登录结果:ok");
    GC_LOG(kLogEvent) << "登录成功ok";
  } else {
    Trace("收到登录结果:fail");
    GC_LOG(kLogEvent) << "登录失败了";
  }
}

void GateDispatch::OnJoinRsp(qv::CMD_base* command) {
  const qv::matchclient::JoinRsp& m = static_cast<qv::CmdJoinRsp*>(command)->message;
  if (m.join_result() == qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED) {
    Trace("报名成功");
    GC_LOG(kLogEvent) << " #报名成功!";
  } else {
    Trace("报名失败");
  }
  if (m.has_result_info()) Trace(m.result_info());
}

void GateDispatch::OnGetMatchDetailRsp(qv::CMD_base* command) {
  auto* detail = static_cast<qv::CmdGetMatchDetailRsp*>(command);
  const uint32_t plan = detail->message.plan_id();
  // Only a counted command can be kept beyond this dispatch.
  if (plan == 0 || detail->releaser == nullptr) return;
  qv::AddRefCommand(detail);
  qv::CmdGetMatchDetailRsp* replaced = nullptr;
  {
    std::lock_guard<std::mutex> lock(details_mu_);
    qv::CmdGetMatchDetailRsp*& slot = details_[plan];
    replaced = slot;
    slot = detail;
  }
  if (replaced != nullptr) qv::ReleaseCommand(replaced);
}

CommandRef<qv::CmdGetMatchDetailRsp> GateDispatch::FindMatchDetail(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(details_mu_);
  auto found = details_.find(plan_id);
  if (found == details_.end()) return nullptr;
  qv::AddRefCommand(found->second);
  return CommandRef<qv::CmdGetMatchDetailRsp>(found->second);
}

void GateDispatch::OnAuthInfo(const qv::gate::AuthInfo& info) {
  if (catalogue_ == nullptr) return;
  if (info.user_id() != 0) {
    catalogue_->StartRefreshing();
  } else {
    catalogue_->StopRefreshing();
  }
}

void GateDispatch::OnGateConnected(qv::CMD_base* connected) {
  if (plan_manager_ != nullptr) plan_manager_->OnNetworkCmd(connected);
}

void GateDispatch::OnGateDisconnected(qv::CMD_base* close) {
  session_.OnDisconnected();
  Trace("连接gate 断开");
  GC_LOG(kLogEvent) << "连接gate断开";
  if (plan_manager_ != nullptr) plan_manager_->OnNetworkCmd(close);
}

}  // namespace qvc
