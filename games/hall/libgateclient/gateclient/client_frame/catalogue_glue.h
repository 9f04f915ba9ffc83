// The match catalogue joined to the gate client: its requests go out through the request path,
// its traces to the main window and its records to the log sinks; the dispatch reaches the
// process's catalogue through CatalogueSink.
#pragma once

#include <memory>
#include <mutex>

#include "gateclient/client_frame/client_functions.h"
#include "gateclient/client_frame/dispatch_sinks.h"
#include "gateclient/config/qconfig.h"
#include "gateclient/plan_list/plan_list_commands.h"
#include "gateclient/plan_list/plan_list_host.h"
#include "gateclient/plan_list/plan_list_instance.h"

namespace qvc {

// The catalogue's items of a loaded QConfig: "pageid", "开赛点获取间隔秒数", "快速开赛列表",
// "推荐大赛列表" and "gamekind".
PlanListSettings PlanListSettingsFromConfig(const QConfig& config);

class GatePlanListHost : public PlanListHost {
 public:
  // `requests` must outlive the host.
  explicit GatePlanListHost(GateRequests& requests) : requests_(requests) {}
  void SendHallRequest(uint16_t subid, const google::protobuf::Message& request, uint32_t apptype,
                       uint32_t appid) override;
  void PostTrace(const std::string& text) override;
  void Log(int level, const std::string& text) override;

 private:
  GateRequests& requests_;
};

class PlanListCatalogue : public CatalogueSink {
 public:
  // All pointers must outlive the catalogue glue.
  PlanListCatalogue(PlanListHost* host, PlanListSettings settings, platform::Clock* clock,
                    platform::Waiter* waiter);
  // Destroys the process's catalogue, joining its refresh thread.
  ~PlanListCatalogue() override;

  void HandleHallCommand(qv::CMD_base* command) override;
  // Makes the process's catalogue on the first call and starts its refresh thread.
  void StartRefreshing() override;
  // Asks the refresh thread to end; nothing without a catalogue.
  void StopRefreshing() override;

 private:
  PlanListHost* const host_;
  const PlanListSettings settings_;
  platform::Clock* const clock_;
  platform::Waiter* const waiter_;
  std::mutex mu_;  // guards commands_
  std::unique_ptr<PlanListCommands> commands_;
};

}  // namespace qvc
