#include "gateclient/client_frame/client_functions.h"

#include <string>

#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/transfer_wrap.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"

namespace qvc {
namespace {

// Waits for the details of its own plan (replies for other plans pass by), then joins the
// match service they name, or gives up when they name none.
class SignUpSubscriber final : public ICmdSubscriber {
 public:
  SignUpSubscriber(GateRequests& requests, uint32_t plan_id)
      : requests_(requests), plan_id_(plan_id) {}

  int OnCommand(qv::CMD_base* command) override {
    if (command->kind != qv::cmd::kKindHallClient || command->subid != qv::CmdGetMatchDetailRsp::kSubId)
      return 0;
    const auto& detail = static_cast<qv::CmdGetMatchDetailRsp*>(command)->message;
    if (detail.plan_id() != plan_id_) return 0;
    done_ = true;
    if (detail.has_detail_titlematch()) requests_.SendJoinReq(MatchAppIdOfDetail(detail), false);
    return 0;
  }
  bool KeepSubscribed() override { return !done_; }
  void Release() override { delete this; }
  bool SetKeepSubscribed(bool keep) override {
    done_ = !keep;
    return keep;
  }

 private:
  ~SignUpSubscriber() = default;
  GateRequests& requests_;
  const uint32_t plan_id_;
  bool done_ = false;
};

}  // namespace

uint32_t MatchAppIdOfDetail(const qv::hallclient::GetMatchDetailRsp& detail) {
  qv::hallclient::TitleMatchItem item;
  if (!item.ParseFromString(detail.detail_titlematch())) return 0;
  return item.app_id();
}

void GateRequests::SendHello() {
  qv::CmdHelloReq hello;
  hello.message.set_ad_id(0);
  link_.SendToGate(hello);
}

void GateRequests::StartLogin() { SendLogin(session_.StartLogin()); }

void GateRequests::OnHelloRsp(const qv::gate::HelloRsp& reply) {
  SendLogin(session_.OnHelloRsp(reply));
}

void GateRequests::SendLogin(std::unique_ptr<qv::CmdLoginReq> login) {
  // Neither a log record nor a trace: the login carries the password digest.
  if (login != nullptr) WrapAndSend(*login);
}

void GateRequests::WrapAndSend(qv::CMD_base& command) {
  qv::CmdTransferDataReq wrapper;
  qv::WrapIntoTransferData(command, wrapper);
  link_.SendToGate(wrapper);
}

void GateRequests::SendThroughGate(qv::CMD_base& command) {
  qv::CmdTransferDataReq wrapper;
  if (!qv::WrapForGate(command, wrapper)) return;
  const std::string text = " >>>> gate 1 kind=" + std::to_string(command.kind) +
                           ",小类=" + std::to_string(command.subid) + "\n,appid=" +
                           std::to_string(command.routing.appid);
  GC_LOG(kLogEvent) << text;
  PostTraceText(text.c_str());
  link_.SendToGate(wrapper);
}

void GateRequests::RequestMatchDetail(uint32_t plan_id) {
  qv::CmdGetMatchDetailReq request;
  request.message.set_plan_id(plan_id);
  request.message.set_app_id(0);
  request.routing.apptype = kDetailAppType;
  request.routing.appid = kDetailAppId;
  SendThroughGate(request);
}

void GateRequests::RequestPlanDisplayUpdate(uint32_t plan_id) {
  qv::CmdDisplayPlanUpdateReq request;
  request.message.add_array_plan_id(plan_id);
  request.routing.apptype = kDetailAppType;
  request.routing.appid = kDetailAppId;
  SendThroughGate(request);
}

void GateRequests::SignUp(uint32_t plan_id) {
  GC_LOG(kLogEvent) << " 报名请求! plan_id=" << plan_id;
  publisher_.Subscribe(new SignUpSubscriber(*this, plan_id), qv::cmd::kKindHallClient,
                       qv::CmdGetMatchDetailRsp::kSubId);
  RequestMatchDetail(plan_id);
}

void GateRequests::SendJoinReq(uint32_t match_app_id, bool is_quit) {
  GC_LOG(kLogEvent) << " 报名请求!";
  qv::CmdJoinReq join;
  join.message.set_is_quit(is_quit);
  join.routing.apptype = kMatchAppType;
  join.routing.appid = match_app_id;
  WrapAndSend(join);
}

}  // namespace qvc
