// What the plan tables and their manager need from the rest of the gate client: the session's
// stored replies, requests to the gate and the send path for the games' messages. The client
// frame provides the real one; tests provide fakes.
#pragma once

#include <cstdint>
#include <memory>

#include "gateclient/base/cmd_base.h"
#include "gateclient/base/network_commands.h"

namespace qvc {

class PlanHost {
 public:
  virtual ~PlanHost() = default;
  // A copy of the login reply stored in the gate session (a CmdLoginRsp), or null before any.
  virtual std::unique_ptr<qv::CMD_base> StoredLoginReply() = 0;
  // A copy of the stored GetMatchDetailRsp of `plan_id`, or null when none is stored.
  virtual std::unique_ptr<qv::CMD_base> StoredMatchDetail(uint32_t plan_id) = 0;
  // Asks the gate for the match detail of `plan_id`; the reply comes as a kind-18 command.
  virtual void RequestMatchDetail(uint32_t plan_id) = 0;
  // Sends an application command the hall built through the gate (wrapped for it).
  virtual void SendThroughGate(qv::CMD_base& command) = 0;
  // Hands a game's message to the client frame's send path, which sends it when connected.
  // Called on a channel's worker thread, so it must be safe to call from several threads.
  virtual void SendGameMessage(std::unique_ptr<qv::CMDNetwork_DataMessage> message) = 0;
};

}  // namespace qvc
