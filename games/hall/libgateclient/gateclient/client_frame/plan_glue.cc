#include "gateclient/client_frame/plan_glue.h"

namespace qvc {
namespace {

uint32_t Low(uint64_t value) { return static_cast<uint32_t>(value); }
uint32_t High(uint64_t value) { return static_cast<uint32_t>(value >> 32); }

}  // namespace

void PlanManagerAdapter::OnClientCmd(qv::CMD_base* command, uint64_t app_session) {
  manager_.OnClientCmd(*command, Low(app_session), High(app_session));
}
void PlanManagerAdapter::OnMatchClientCmd(qv::CMD_base* command, uint64_t app_session) {
  manager_.OnMatchClientCmd(*command, Low(app_session), High(app_session));
}
void PlanManagerAdapter::OnHallClientCmd(qv::CMD_base* command, uint64_t app_session) {
  manager_.OnHallClientCmd(*command, Low(app_session), High(app_session));
}
void PlanManagerAdapter::OnNetworkCmd(qv::CMD_base* command) { manager_.OnNetworkCmd(*command); }

std::unique_ptr<qv::CMD_base> GatePlanHost::StoredLoginReply() {
  return session_.CopyLoginReply();
}

std::unique_ptr<qv::CMD_base> GatePlanHost::StoredMatchDetail(uint32_t plan_id) {
  CommandRef<qv::CmdGetMatchDetailRsp> kept = dispatch_.FindMatchDetail(plan_id);
  if (kept == nullptr) return nullptr;
  auto copy = std::make_unique<qv::CmdGetMatchDetailRsp>();
  copy->CopyFrom(*kept);
  copy->payload = kept->payload;
  return copy;
}

void GatePlanHost::SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) {
  if (send_game_message_) send_game_message_(std::move(message));
}

}  // namespace qvc
