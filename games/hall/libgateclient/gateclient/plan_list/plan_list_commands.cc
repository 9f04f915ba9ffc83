#include "gateclient/plan_list/plan_list_commands.h"

#include "gateclient/command/typed_commands.h"

namespace qvc {
namespace {

// The table hands out commands only under their own subid, and kind 18 is checked by the caller:
// the factories made them as this class.
template <typename Command>
const typename Command::MessageType& MessageOf(qv::CMD_base* command) {
  return static_cast<Command*>(command)->message;
}

}  // namespace

PlanListCommands::PlanListCommands(PlanList& list) : list_(list), table_(this) {
  table_.Set(qv::CmdAllGroupRsp::kSubId, &PlanListCommands::OnAllGroupRsp);
  table_.Set(qv::CmdAllListRsp::kSubId, &PlanListCommands::OnAllListRsp);
  table_.Set(qv::CmdAllPlanRsp::kSubId, &PlanListCommands::OnAllPlanRsp);
  table_.Set(qv::CmdPlanAllStartPoint::kSubId, &PlanListCommands::OnPlanAllStartPoint);
  table_.Set(qv::CmdMyMatchDataRsp::kSubId, &PlanListCommands::OnMyMatchDataRsp);
  table_.Set(qv::CmdGetMatchDetailRsp::kSubId, &PlanListCommands::IgnoreCommand);
}

void PlanListCommands::OnAllGroupRsp(qv::CMD_base* command) {
  list_.OnAllGroupRsp(MessageOf<qv::CmdAllGroupRsp>(command));
}
void PlanListCommands::OnAllListRsp(qv::CMD_base* command) {
  list_.OnAllListRsp(MessageOf<qv::CmdAllListRsp>(command));
}
void PlanListCommands::OnAllPlanRsp(qv::CMD_base* command) {
  list_.OnAllPlanRsp(MessageOf<qv::CmdAllPlanRsp>(command));
}
void PlanListCommands::OnPlanAllStartPoint(qv::CMD_base* command) {
  list_.OnPlanAllStartPoint(MessageOf<qv::CmdPlanAllStartPoint>(command));
}
void PlanListCommands::OnMyMatchDataRsp(qv::CMD_base* command) {
  list_.OnMyMatchDataRsp(MessageOf<qv::CmdMyMatchDataRsp>(command));
}

}  // namespace qvc
