#include "gateclient/client_frame/gate_client_proc.h"

#include <memory>
#include <string>

#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"

namespace qvc {

namespace gatecmd = qv::cmd::gate;

GateClientProc::GateClientProc(ClientFrame* frame) : frame_(frame), gate_table_(this) {}

void GateClientProc::RegisterHandlers() {
  RegisterLogSink();
  gate_table_.Set(gatecmd::kPulseReq, &GateClientProc::OnPulse);
  gate_table_.Set(gatecmd::kPulseRsp, &GateClientProc::IgnoreCommand);
  gate_table_.Set(gatecmd::kTransferDataReq, &GateClientProc::OnTransferData);
  gate_table_.Set(gatecmd::kTransferDataRsp, &GateClientProc::IgnoreCommand);
  gate_table_.Set(gatecmd::kAuthInfo, &GateClientProc::OnAuthInfo);
  gate_table_.Set(gatecmd::kLoginToken, &GateClientProc::IgnoreCommand);
  gate_table_.Set(gatecmd::kHelloRsp, &GateClientProc::OnHelloRsp);
}

void GateClientProc::OnGateKindMessage(qv::CMD_base* command) {
  if (command->kind != qv::cmd::kKindGate) return;
  const std::string trace = "收到报文0,kind=gate,id=" + std::to_string(command->subid) + "\n";
  PostTraceText(trace.c_str());
  gate_table_.HandleCmd(command);
}

void GateClientProc::OnPulse(qv::CMD_base* command) {
  const auto* request = static_cast<qv::CmdPulseReq*>(command);
  qv::CmdPulseRsp answer;
  if (request->message.has_speed_data()) answer.message.set_speed_data(request->message.speed_data());
  if (request->message.has_attached_data()) {
    answer.message.set_attachd_data(request->message.attached_data());
  }
  answer.routing = request->routing;
  frame_->SendToGate(&answer);
  GC_LOG(kLogTraffic) << " #HeartBeat Rsp";
}

void GateClientProc::OnHelloRsp(qv::CMD_base* command) {
  const auto& reply = static_cast<qv::CmdHelloRsp*>(command)->message;
  GateSession& session = frame_->session();
  std::unique_ptr<qv::CmdLoginReq> login = session.OnHelloRsp(reply);
  // The link is keyed (for the connection the reply came on) before the login leaves: the frame
  // sends no transfer on a connection whose hello is not done.
  frame_->OnHelloDone(command->routing.connid, session.cipher());
  frame_->requests().SendLogin(std::move(login));
}

void GateClientProc::OnTransferData(qv::CMD_base* command) {
  frame_->dispatch().OnTransferData(*static_cast<qv::CmdTransferDataReq*>(command));
}

void GateClientProc::OnAuthInfo(qv::CMD_base* command) {
  frame_->dispatch().OnAuthInfo(static_cast<qv::CmdAuthInfo*>(command)->message);
}

void GateClientProc::OnGateDisconnected(qv::CMD_base* command) {
  frame_->ClearConnected();
  frame_->dispatch().OnGateDisconnected(command);
}

void GateClientProc::ResetForNewConnection() { frame_->session().OnConnected(); }

}  // namespace qvc
