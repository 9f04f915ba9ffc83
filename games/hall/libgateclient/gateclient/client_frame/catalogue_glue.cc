#include "gateclient/client_frame/catalogue_glue.h"

#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/factories.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"

namespace qvc {

PlanListSettings PlanListSettingsFromConfig(const QConfig& config) {
  PlanListSettings settings;
  settings.page_id = static_cast<uint32_t>(config.pageid.value);
  settings.refresh_interval_s = static_cast<uint32_t>(config.start_point_interval.value);
  settings.quick_start_list = static_cast<uint32_t>(config.quick_start_list.value);
  settings.recommended_list = static_cast<uint32_t>(config.recommended_list.value);
  settings.game_kind = static_cast<uint32_t>(config.gamekind.value);
  return settings;
}

void GatePlanListHost::SendHallRequest(uint16_t subid, const google::protobuf::Message& request,
                                       uint32_t apptype, uint32_t appid) {
  std::unique_ptr<qv::CMD_base> command(qv::CreateHallClientCommand(
      qv::cmd::kKindHallClient, subid, request.SerializePartialAsString()));
  if (command == nullptr)
    return;
  command->routing.apptype = apptype;
  command->routing.appid = appid;
  requests_.SendThroughGate(*command);
}

void GatePlanListHost::PostTrace(const std::string& text) {
  PostTraceText(text.c_str());
}

void GatePlanListHost::Log(int level, const std::string& text) {
  GC_LOG(level) << text;
}

PlanListCatalogue::PlanListCatalogue(PlanListHost* host, PlanListSettings settings,
                                     platform::Clock* clock, platform::Waiter* waiter)
    : host_(host), settings_(settings), clock_(clock), waiter_(waiter) {}

PlanListCatalogue::~PlanListCatalogue() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    commands_.reset();
  }
  DestroyPlanListInstance();
}

void PlanListCatalogue::HandleHallCommand(qv::CMD_base* command) {
  std::lock_guard<std::mutex> lock(mu_);
  if (commands_ != nullptr)
    commands_->HandleCmd(command);
}

void PlanListCatalogue::StartRefreshing() {
  PlanList* list = CreatePlanListInstance(host_, settings_, clock_, waiter_);
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (commands_ == nullptr)
      commands_ = std::make_unique<PlanListCommands>(*list);
  }
  list->StartRefreshThread();
}

void PlanListCatalogue::StopRefreshing() {
  if (PlanList* list = PlanListInstance())
    list->RequestStop();
}

}  // namespace qvc
