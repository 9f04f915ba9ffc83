#include "games/hall/app/my_match.h"

#include "gateclient/command/typed_commands.h"
#include "interface/command_ids.h"

namespace hall {

MyMatch::MyMatch() : table_(this) {
  table_.Set(qv::cmd::matchclient::kJoinRsp, &MyMatch::OnJoinRsp);
  table_.Set(qv::cmd::matchclient::kMatchStart, &MyMatch::OnMatchStart);
  table_.Set(qv::cmd::matchclient::kMatchPrize, &MyMatch::OnMatchPrize);
}

void MyMatch::OnMatchClientCmd(qv::CMD_base* command) {
  if (command != nullptr && command->kind == qv::cmd::kKindMatchClient)
    table_.HandleCmd(command);
}

void MyMatch::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  signups_.clear();
}

std::optional<MyMatchRecord> MyMatch::FindSignup(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = signups_.find(plan_id);
  if (it == signups_.end())
    return std::nullopt;
  return it->second;
}

size_t MyMatch::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return signups_.size();
}

void MyMatch::OnJoinRsp(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdJoinRsp*>(command)->message;
  if (reply.join_result() != qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED)
    return;
  const uint32_t plan_id = HallPlanId(reply.plan_id());
  std::lock_guard<std::mutex> lock(mu_);
  if (reply.is_quit()) {
    signups_.erase(plan_id);
  } else {
    signups_[plan_id] = MyMatchRecord{plan_id, reply.match_id(), false};
  }
}

void MyMatch::OnMatchStart(qv::CMD_base* command) {
  const auto& start = static_cast<qv::CmdMatchStart*>(command)->message;
  std::lock_guard<std::mutex> lock(mu_);
  signups_[start.plan_id()].started = true;
}

void MyMatch::OnMatchPrize(qv::CMD_base* command) {
  const auto& prize = static_cast<qv::CmdMatchPrize*>(command)->message;
  std::lock_guard<std::mutex> lock(mu_);
  signups_.erase(prize.plan_id());
}

}  // namespace hall
