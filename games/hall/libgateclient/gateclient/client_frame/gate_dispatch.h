// The application side of the gate protocol handler: commands the gate forwards in a transfer
// (or inside a packed message) are made by their kind's factory and dispatched, in this order,
// to the publisher, to the handlers of their kind (13 login and logout; 14 the match table;
// 18 the catalogue's table and the hall table), to the plan manager and finally to the window.
// The session's login replies, the join results and the latest details of each plan are handled
// here. Everything runs on the job thread except where a method says otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "gateclient/client_frame/client_functions.h"
#include "gateclient/client_frame/dispatch_sinks.h"
#include "gateclient/client_frame/gate_send_path.h"
#include "gateclient/client_frame/gate_session.h"
#include "gateclient/command/factories.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/job/function_array.h"
#include "gateclient/publisher/publisher.h"

namespace qvc {

// A command handed out with one reference of its own, dropped when the holder lets go.
struct CommandReleaseDeleter {
  void operator()(qv::CMD_base* command) const { qv::ReleaseCommand(command); }
};
template <typename Command>
using CommandRef = std::unique_ptr<Command, CommandReleaseDeleter>;

class GateDispatch : public CommandIgnorer {
 public:
  // All four must outlive the dispatch.
  GateDispatch(GateSession& session, GateSendPath& link, Publisher& publisher,
               GateRequests& requests);
  ~GateDispatch();
  GateDispatch(const GateDispatch&) = delete;
  GateDispatch& operator=(const GateDispatch&) = delete;

  // Set before the job thread runs; null (the default) skips that receiver.
  void SetPlanManager(PlanManagerSink* plan_manager) { plan_manager_ = plan_manager; }
  void SetCatalogue(CatalogueSink* catalogue) { catalogue_ = catalogue; }

  // The factories of kinds 13, 14, 18 and 23.
  void RegisterDefaultFactories();
  // Adds or replaces a kind's factory; any thread (the main window adds the captcha kind).
  void AddFactory(uint16_t kind, qv::CommandFactory factory);

  // A new command (no releaser, payload = data) for (kind, subid), or null: no factory for the
  // kind (logged), ids above 16 bits (they name no command), a subid the factory refuses or
  // bytes that do not parse.
  qv::CMD_base* CreateCommandByKind(uint32_t kind, uint32_t subid, const std::string& data);

  // Unwraps a transfer from the gate and dispatches the command it carries.
  void OnTransferData(const qv::CmdTransferDataReq& transfer);
  // Dispatches `command`, or each entry of a packed message (never the pack itself).
  void HandleInnerCommand(qv::CMD_base* command, uint64_t app_session);
  void DispatchInnerCommand(qv::CMD_base* command, uint64_t app_session);

  // AuthInfo from the gate: a user id starts the catalogue's refreshing, 0 stops it.
  void OnAuthInfo(const qv::gate::AuthInfo& info);
  // A new connection (`connected` is its kind-9 command): the running games hear of it.
  void OnGateConnected(qv::CMD_base* connected);
  // The connection closed (`close` is the close command): state 0, trace, plan manager.
  void OnGateDisconnected(qv::CMD_base* close);

  // The kept details of `plan_id` with a reference of the caller's own, or null. Any thread.
  CommandRef<qv::CmdGetMatchDetailRsp> FindMatchDetail(uint32_t plan_id) const;
  uint64_t app_session() const { return app_session_; }

 private:
  void DispatchClientCommand(qv::CMD_base* command, uint64_t app_session);
  void OnLoginRsp(qv::CMD_base* command);
  void OnJoinRsp(qv::CMD_base* command);
  void OnGetMatchDetailRsp(qv::CMD_base* command);
  void DispatchPacked(const qv::CmdPackedMessage& packed);

  GateSession& session_;
  GateSendPath& link_;
  Publisher& publisher_;
  GateRequests& requests_;
  PlanManagerSink* plan_manager_ = nullptr;
  CatalogueSink* catalogue_ = nullptr;

  mutable std::mutex factories_mu_;  // guards factories_
  std::map<uint16_t, qv::CommandFactory> factories_;
  mutable std::mutex details_mu_;  // guards details_; never held while dispatching
  std::map<uint32_t, qv::CmdGetMatchDetailRsp*> details_;  // each entry holds one reference
  uint64_t app_session_ = 0;
  FunctionArray<GateDispatch, 48> match_table_;
  FunctionArray<GateDispatch, 100> hall_table_;
};

}  // namespace qvc
