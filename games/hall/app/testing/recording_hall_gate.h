// A HallGate for window tests: records every request in order, and answers the reads from what
// the test put in. The catalogue is a real PlanList the test fills through its reply handlers.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "games/hall/app/hall_gate.h"

namespace hall::testing {

class RecordingHallGate : public HallGate {
 public:
  // One request, as the window made it.
  struct Request {
    Request() = default;
    explicit Request(std::string kind) : what(std::move(kind)) {}
    std::string what;       // "credentials", "login", "through_gate", "wrapped", "detail",
                            // "display", "signup", "join", "factory"
    uint32_t plan_id = 0;   // detail, display, signup
    uint32_t app_id = 0;    // join: the match service
    bool is_quit = false;   // join
    uint16_t kind = 0;      // through_gate, wrapped, factory
    uint16_t subid = 0;     // through_gate, wrapped
    std::string payload;    // through_gate, wrapped: the command's message bytes
    RoutingHeader routing;  // through_gate, wrapped
    std::string account;    // credentials
    std::string password;   // credentials
  };

  void SetCredentials(const std::string& account, const std::string& password) override {
    Request r{"credentials"};
    r.account = account;
    r.password = password;
    requests_.push_back(std::move(r));
  }
  void StartLogin() override { requests_.push_back(Request{"login"}); }
  void SendThroughGate(qv::CMD_base& command) override { Send("through_gate", command); }
  void SendWrapped(qv::CMD_base& command) override { Send("wrapped", command); }
  void AddCommandFactory(uint16_t kind, qv::CommandFactory factory) override {
    Request r{"factory"};
    r.kind = kind;
    requests_.push_back(std::move(r));
    factories_[kind] = factory;
  }
  void RequestMatchDetail(uint32_t plan_id) override { PlanRequest("detail", plan_id); }
  void RequestPlanDisplayUpdate(uint32_t plan_id) override { PlanRequest("display", plan_id); }
  void SignUp(uint32_t plan_id) override { PlanRequest("signup", plan_id); }
  void SendJoinReq(uint32_t match_app_id, bool is_quit) override {
    Request r{"join"};
    r.app_id = match_app_id;
    r.is_quit = is_quit;
    requests_.push_back(std::move(r));
  }
  qvc::CommandRef<qv::CmdGetMatchDetailRsp> FindMatchDetail(uint32_t plan_id) const override {
    const auto it = details_.find(plan_id);
    if (it == details_.end())
      return nullptr;
    auto* copy = new qv::CmdGetMatchDetailRsp;
    copy->message = it->second;
    qv::AttachReleaser(copy);
    return qvc::CommandRef<qv::CmdGetMatchDetailRsp>(copy);
  }
  uint32_t login_token() const override { return login_token_; }
  uint64_t user_id() const override { return user_id_; }
  qv::types::BaseUserInfo base_info() const override { return base_info_; }
  qvc::PlanList* catalogue() override { return catalogue_; }

  // --- what the test puts in
  void SetCatalogue(qvc::PlanList* catalogue) { catalogue_ = catalogue; }
  void SetMatchDetail(uint32_t plan_id, qv::hallclient::GetMatchDetailRsp detail) {
    details_[plan_id] = std::move(detail);
  }
  void SetLoginToken(uint32_t token) { login_token_ = token; }
  void SetUserId(uint64_t id) { user_id_ = id; }
  void SetBaseInfo(qv::types::BaseUserInfo info) { base_info_ = std::move(info); }

  // --- what the windows did
  const std::vector<Request>& requests() const { return requests_; }
  // The requests of one kind ("join", "detail" ...).
  std::vector<Request> RequestsOf(const std::string& what) const {
    std::vector<Request> out;
    for (const Request& r : requests_) {
      if (r.what == what)
        out.push_back(r);
    }
    return out;
  }
  qv::CommandFactory FactoryOf(uint16_t kind) const {
    const auto it = factories_.find(kind);
    return it == factories_.end() ? nullptr : it->second;
  }
  void Clear() { requests_.clear(); }

 private:
  void Send(const char* what, qv::CMD_base& command) {
    Request r{what};
    r.kind = command.kind;
    r.subid = command.subid;
    command.SerializeBody(&r.payload);
    r.routing = command.routing;
    requests_.push_back(std::move(r));
  }
  void PlanRequest(const char* what, uint32_t plan_id) {
    Request r{what};
    r.plan_id = plan_id;
    requests_.push_back(std::move(r));
  }

  std::vector<Request> requests_;
  std::map<uint16_t, qv::CommandFactory> factories_;
  std::map<uint32_t, qv::hallclient::GetMatchDetailRsp> details_;
  qvc::PlanList* catalogue_ = nullptr;
  uint32_t login_token_ = 0;
  uint64_t user_id_ = 0;
  qv::types::BaseUserInfo base_info_;
};

}  // namespace hall::testing
