#include "gateclient/command/transfer_wrap.h"

#include <string>

#include "gateclient/command/factories.h"
#include "interface/command_ids.h"

namespace qv {

void WrapIntoTransferData(CMD_base& command, CmdTransferDataReq& wrapper) {
  std::string data;
  command.SerializeBody(&data);
  gate::TransferDataReq& m = wrapper.message;
  m.set_data(data);
  m.set_att_apptype(command.routing.apptype);
  m.set_att_appid(command.routing.appid);
  m.set_data_cmd_kind(command.kind);
  m.set_data_cmd_subid(command.subid);
}

bool MayTravelThroughGate(uint16_t kind, uint16_t subid) {
  switch (kind) {
    case cmd::kKindClient:
    case cmd::kKindMatchClient:
    case cmd::kKindHallClient:
    case cmd::kKindUserInfo:
      return HasCommandClass(kind, subid);
    default:
      return false;
  }
}

bool WrapForGate(CMD_base& command, CmdTransferDataReq& wrapper) {
  if (!MayTravelThroughGate(command.kind, command.subid)) return false;
  WrapIntoTransferData(command, wrapper);
  return true;
}

}  // namespace qv
