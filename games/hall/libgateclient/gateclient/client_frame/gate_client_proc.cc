#include "gateclient/client_frame/gate_client_proc.h"

#include <string>

#include "gateclient/client_frame/client_frame.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/client_frame/payload_cipher.h"
#include "gateclient/command/payload_key.h"
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
  gate_table_.Set(gatecmd::kTransferDataRsp, &GateClientProc::IgnoreCommand);
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
  const uint32_t flags = reply.rsp_flag();
  std::shared_ptr<const Blowfish> cipher;
  {
    std::lock_guard<std::mutex> lock(session_mutex_);
    if (flags & kHelloEncryptInfo) {
      key_material_ = qv::PayloadKeyMaterial(reply.encrypt_key());
    }
    if (flags & kHelloAdviceNewGate) {
      gate_addresses_.assign(reply.gate_address().begin(), reply.gate_address().end());
    }
    if (flags & kHelloLoginToken) login_token_ = reply.login_token();
    cipher = MakePayloadCipher(key_material_);
  }
  // The key belongs to the connection the reply came on.
  frame_->OnHelloDone(command->routing.connid, std::move(cipher));
  set_state(kSessionHelloDone);
}

void GateClientProc::OnGateDisconnected(qv::CMD_base*) {
  set_state(kSessionNoGate);
  frame_->ClearConnected();
  PostTraceText("连接gate 断开");
  GC_LOG(kLogEvent) << "连接gate断开";
}

void GateClientProc::ResetForNewConnection() {
  {
    std::lock_guard<std::mutex> lock(session_mutex_);
    login_token_ = 0;
    key_material_.clear();
  }
  set_state(kSessionHelloSent);
}

uint32_t GateClientProc::login_token() const {
  std::lock_guard<std::mutex> lock(session_mutex_);
  return login_token_;
}

std::string GateClientProc::key_material() const {
  std::lock_guard<std::mutex> lock(session_mutex_);
  return key_material_;
}

std::vector<std::string> GateClientProc::gate_addresses() const {
  std::lock_guard<std::mutex> lock(session_mutex_);
  return gate_addresses_;
}

}  // namespace qvc
