// Wrapping an application command into the gate's transfer envelope (TransferDataReq).
#pragma once

#include "gateclient/command/typed_commands.h"

namespace qv {

// Fills the wrapper's message from `command`: data = its message serialized, att_apptype /
// att_appid = its routing apptype / appid, data_cmd_kind / data_cmd_subid = its ids (all five
// present on the wire, even when 0). req_id, client_ip_v4, att_sessionid, and the wrapper's own
// routing, kind and subid are not touched.
void WrapIntoTransferData(CMD_base& command, CmdTransferDataReq& wrapper);

// True for a command that may travel through the gate (kinds 13, 14, 18 and 23, subids that have a
// command class).
bool MayTravelThroughGate(uint16_t kind, uint16_t subid);

// WrapIntoTransferData for a command that may travel through the gate; false, wrapper untouched,
// for any other.
bool WrapForGate(CMD_base& command, CmdTransferDataReq& wrapper);

}  // namespace qv
