// The hall's outgoing side of the gate protocol: greeting a new connection, logging in with the
// digest of the stored password, asking for a plan's details and display updates, signing up
// and withdrawing, and sending any application command wrapped in a gate transfer. Each builds
// its command on the stack and sends it synchronously through the client frame.
#pragma once

#include <cstdint>
#include <memory>

#include "gateclient/client_frame/gate_send_path.h"
#include "gateclient/client_frame/gate_session.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/publisher/publisher.h"

namespace qvc {

class GateRequests {
 public:
  // Routing of the display and detail requests, and of a join.
  static constexpr uint32_t kDetailAppType = 5;
  static constexpr uint32_t kDetailAppId = 2;
  static constexpr uint32_t kMatchAppType = 13;

  // All three must outlive the requests.
  GateRequests(GateSession& session, GateSendPath& link, Publisher& publisher)
      : session_(session), link_(link), publisher_(publisher) {}

  // HelloReq with only ad_id = 0, unwrapped. Job thread, on a new connection.
  void SendHello();
  // The user confirmed the login dialog (credentials already in the session): logs in now when
  // a hello reply is in, else after the next one. Window thread.
  void StartLogin();
  // The hello reply (job thread): the session takes it, and the wished-for login goes out.
  void OnHelloRsp(const qv::gate::HelloRsp& reply);
  // Wraps `login` (made by the session) and sends it. Null sends nothing.
  void SendLogin(std::unique_ptr<qv::CmdLoginReq> login);

  // Wraps an application command into a transfer and sends it; a command that may not travel
  // through the gate is dropped silently.
  void SendThroughGate(qv::CMD_base& command);
  void RequestMatchDetail(uint32_t plan_id);
  void RequestPlanDisplayUpdate(uint32_t plan_id);
  // Asks for the plan's details and joins the match service they name once the reply for this
  // plan arrives. Window thread.
  void SignUp(uint32_t plan_id);
  // JoinReq with only is_quit, routed to the match service `match_app_id`; is_quit withdraws.
  void SendJoinReq(uint32_t match_app_id, bool is_quit);

 private:
  void WrapAndSend(qv::CMD_base& command);

  GateSession& session_;
  GateSendPath& link_;
  Publisher& publisher_;
};

// The match service's app id named in a plan's details; 0 when absent or unparsable.
uint32_t MatchAppIdOfDetail(const qv::hallclient::GetMatchDetailRsp& detail);

}  // namespace qvc
