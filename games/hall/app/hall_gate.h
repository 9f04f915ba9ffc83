// What the hall's windows may ask of the gate client and read from it. Windows never see the
// client frame itself: the program's gate is the one the hall runtime builds over the client
// frame, and window tests hand their windows a RecordingHallGate (testing/recording_hall_gate.h).
//
// Requests are made on the window thread; the reads hand out copies (or, for the catalogue, the
// catalogue's own locked reads) and are safe while the job thread writes.
#pragma once

#include <cstdint>
#include <string>

#include "gateclient/client_frame/gate_dispatch.h"
#include "gateclient/command/factories.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/plan_list/plan_list.h"
#include "types/types.pb.h"

namespace hall {

class HallGate {
 public:
  virtual ~HallGate() = default;

  // --- login and registration
  // Puts the account and the UTF-8 password into the session, for the next login.
  virtual void SetCredentials(const std::string& account, const std::string& password) = 0;
  // Logs in now when the gate's hello reply is in, else after the next one.
  virtual void StartLogin() = 0;
  // Wraps `command` into a gate transfer and sends it (fund query, registration); a command of a
  // kind that may not travel through the gate is dropped.
  virtual void SendThroughGate(qv::CMD_base& command) = 0;
  // Wraps `command` into a gate transfer and sends it whatever its kind: the captcha request,
  // whose kind the gate's list of travelling kinds does not hold.
  virtual void SendWrapped(qv::CMD_base& command) = 0;
  // Files the command factory of a kind the gate client does not make itself (the captcha's).
  virtual void AddCommandFactory(uint16_t kind, qv::CommandFactory factory) = 0;

  // --- sign-up
  virtual void RequestMatchDetail(uint32_t plan_id) = 0;
  virtual void RequestPlanDisplayUpdate(uint32_t plan_id) = 0;
  // Asks for the plan's details and joins once they arrive.
  virtual void SignUp(uint32_t plan_id) = 0;
  // JoinReq routed to the match service `match_app_id`; `is_quit` withdraws.
  virtual void SendJoinReq(uint32_t match_app_id, bool is_quit) = 0;
  // The kept GetMatchDetailRsp of `plan_id` with a reference of the caller's own; null when none
  // has arrived.
  virtual qvc::CommandRef<qv::CmdGetMatchDetailRsp> FindMatchDetail(uint32_t plan_id) const = 0;

  // --- the logged-in user (copies from the session)
  virtual uint32_t login_token() const = 0;
  virtual uint64_t user_id() const = 0;
  virtual qv::types::BaseUserInfo base_info() const = 0;

  // --- the match catalogue: null until the first login made it; it stays valid until the gate
  // client stops.
  virtual qvc::PlanList* catalogue() = 0;
};

}  // namespace hall
