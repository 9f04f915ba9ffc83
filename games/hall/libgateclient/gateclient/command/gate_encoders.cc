#include "gateclient/command/gate_encoders.h"

#include "interface/command_ids.h"

namespace qv {
namespace {

template <typename Command>
void Encode(const Command& command, CMDNetwork_DataMessage& out) {
  out.gate_kind = Command::kKind;
  out.gate_subid = Command::kSubId;
  out.routing = command.routing;
  command.message.SerializePartialToString(&out.payload);
}

template <typename Command>
bool EncodeAs(const CMD_base& command, CMDNetwork_DataMessage& out) {
  // The id alone does not prove the class: a command built as another class keeps its id.
  const auto* typed = dynamic_cast<const Command*>(&command);
  if (typed == nullptr) return false;
  Encode(*typed, out);
  return true;
}

}  // namespace

void EncodePulseReqCommand(const CmdPulseReq& c, CMDNetwork_DataMessage& out) { Encode(c, out); }
void EncodePulseRspCommand(const CmdPulseRsp& c, CMDNetwork_DataMessage& out) { Encode(c, out); }
void EncodeTransferDataReqCommand(const CmdTransferDataReq& c, CMDNetwork_DataMessage& out) {
  Encode(c, out);
}
void EncodeTransferDataRspCommand(const CmdTransferDataRsp& c, CMDNetwork_DataMessage& out) {
  Encode(c, out);
}
void EncodeAuthInfoCommand(const CmdAuthInfo& c, CMDNetwork_DataMessage& out) { Encode(c, out); }
void EncodeHelloReqCommand(const CmdHelloReq& c, CMDNetwork_DataMessage& out) { Encode(c, out); }
void EncodeHelloRspCommand(const CmdHelloRsp& c, CMDNetwork_DataMessage& out) { Encode(c, out); }

bool EncodeGateCommand(const CMD_base& command, CMDNetwork_DataMessage& out) {
  if (command.kind != cmd::kKindGate) return false;
  switch (command.subid) {
    case cmd::gate::kPulseReq:
      return EncodeAs<CmdPulseReq>(command, out);
    case cmd::gate::kPulseRsp:
      return EncodeAs<CmdPulseRsp>(command, out);
    case cmd::gate::kTransferDataReq:
      return EncodeAs<CmdTransferDataReq>(command, out);
    case cmd::gate::kTransferDataRsp:
      return EncodeAs<CmdTransferDataRsp>(command, out);
    case cmd::gate::kAuthInfo:
      return EncodeAs<CmdAuthInfo>(command, out);
    case cmd::gate::kHelloReq:
      return EncodeAs<CmdHelloReq>(command, out);
    case cmd::gate::kHelloRsp:
      return EncodeAs<CmdHelloRsp>(command, out);
    default:
      return false;
  }
}

}  // namespace qv
