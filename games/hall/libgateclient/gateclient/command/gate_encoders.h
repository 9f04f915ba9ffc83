// The gate encoders: a gate command (kind 12) into the data message that the network agent
// frames and sends.
#pragma once

#include "gateclient/base/network_commands.h"
#include "gateclient/command/typed_commands.h"

namespace qv {

// Each sets the data message's gate kind and subid to the command's, copies the command's routing
// header and serializes its message into the data message's payload.
void EncodePulseReqCommand(const CmdPulseReq& command, CMDNetwork_DataMessage& out);
void EncodePulseRspCommand(const CmdPulseRsp& command, CMDNetwork_DataMessage& out);
void EncodeTransferDataReqCommand(const CmdTransferDataReq& command, CMDNetwork_DataMessage& out);
void EncodeTransferDataRspCommand(const CmdTransferDataRsp& command, CMDNetwork_DataMessage& out);
void EncodeAuthInfoCommand(const CmdAuthInfo& command, CMDNetwork_DataMessage& out);
void EncodeHelloReqCommand(const CmdHelloReq& command, CMDNetwork_DataMessage& out);
void EncodeHelloRspCommand(const CmdHelloRsp& command, CMDNetwork_DataMessage& out);

// Chooses the encoder by subid. False (out untouched) for anything but one of the seven gate
// command classes.
bool EncodeGateCommand(const CMD_base& command, CMDNetwork_DataMessage& out);

}  // namespace qv
