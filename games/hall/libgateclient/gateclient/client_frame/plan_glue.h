// The hall plan manager joined to the gate client: the dispatch reaches it through
// PlanManagerSink (the application session split into its low and high halves), and it reaches
// the session, the kept details and the request path through PlanHost.
#pragma once

#include <functional>
#include <memory>

#include "gateclient/client_frame/client_functions.h"
#include "gateclient/client_frame/dispatch_sinks.h"
#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/client_frame/gate_session.h"
#include "gateclient/plan_table/plan_host.h"
#include "gateclient/plan_table/plan_manager.h"

namespace qvc {

class PlanManagerAdapter : public PlanManagerSink {
 public:
  // `manager` must outlive the adapter.
  explicit PlanManagerAdapter(PlanManager& manager) : manager_(manager) {}
  void OnClientCmd(qv::CMD_base* command, uint64_t app_session) override;
  void OnMatchClientCmd(qv::CMD_base* command, uint64_t app_session) override;
  void OnHallClientCmd(qv::CMD_base* command, uint64_t app_session) override;
  void OnNetworkCmd(qv::CMD_base* command) override;

 private:
  PlanManager& manager_;
};

class GatePlanHost : public PlanHost {
 public:
  using GameMessageSender = std::function<void(std::unique_ptr<qv::CMDNetwork_DataMessage>)>;
  // All references must outlive the host; `send_game_message` is the client frame's send path
  // for games' messages and must be safe from several threads.
  GatePlanHost(GateSession& session, GateDispatch& dispatch, GateRequests& requests,
               GameMessageSender send_game_message)
      : session_(session),
        dispatch_(dispatch),
        requests_(requests),
        send_game_message_(std::move(send_game_message)) {}

  std::unique_ptr<qv::CMD_base> StoredLoginReply() override;
  std::unique_ptr<qv::CMD_base> StoredMatchDetail(uint32_t plan_id) override;
  void RequestMatchDetail(uint32_t plan_id) override { requests_.RequestMatchDetail(plan_id); }
  void SendThroughGate(qv::CMD_base& command) override { requests_.SendThroughGate(command); }
  void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) override;

 private:
  GateSession& session_;
  GateDispatch& dispatch_;
  GateRequests& requests_;
  GameMessageSender send_game_message_;
};

}  // namespace qvc
