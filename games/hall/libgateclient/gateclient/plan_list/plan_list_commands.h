// The catalogue's kind-18 table: the replies it absorbs, by subid, handed to the catalogue as
// their messages. GetMatchDetailRsp (14) is filed as ignored: the protocol handler keeps it.
#pragma once

#include "gateclient/job/function_array.h"
#include "gateclient/plan_list/plan_list.h"

namespace qvc {

class PlanListCommands : public CommandIgnorer {
 public:
  static constexpr uint16_t kHighestSubId = 99;

  // `list` must outlive the table.
  explicit PlanListCommands(PlanList& list);
  // Hands a kind-18 command (typed, as the factories make them) to its slot, if any.
  void HandleCmd(qv::CMD_base* command) { table_.HandleCmd(command); }

 private:
  void OnAllGroupRsp(qv::CMD_base* command);
  void OnAllListRsp(qv::CMD_base* command);
  void OnAllPlanRsp(qv::CMD_base* command);
  void OnPlanAllStartPoint(qv::CMD_base* command);
  void OnMyMatchDataRsp(qv::CMD_base* command);

  PlanList& list_;
  FunctionArray<PlanListCommands, kHighestSubId> table_;
};

}  // namespace qvc
