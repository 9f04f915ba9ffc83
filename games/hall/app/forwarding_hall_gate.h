// A HallGate that stands for one made later: the main window's views are built with the skin,
// before the window starts the hall runtime, so they are given this one, and the window points it
// at the runtime once it has started (and away from it before the runtime stops). Without a
// target, requests go nowhere and reads are empty. Window thread only.
#pragma once

#include "games/hall/app/hall_gate.h"

namespace hall {

class ForwardingHallGate : public HallGate {
 public:
  void SetTarget(HallGate* target) { target_ = target; }
  HallGate* target() const { return target_; }

  void SetCredentials(const std::string& account, const std::string& password) override {
    if (target_ != nullptr)
      target_->SetCredentials(account, password);
  }
  void StartLogin() override {
    if (target_ != nullptr)
      target_->StartLogin();
  }
  void SendThroughGate(qv::CMD_base& command) override {
    if (target_ != nullptr)
      target_->SendThroughGate(command);
  }
  void SendWrapped(qv::CMD_base& command) override {
    if (target_ != nullptr)
      target_->SendWrapped(command);
  }
  void AddCommandFactory(uint16_t kind, qv::CommandFactory factory) override {
    if (target_ != nullptr)
      target_->AddCommandFactory(kind, factory);
  }
  void RequestMatchDetail(uint32_t plan_id) override {
    if (target_ != nullptr)
      target_->RequestMatchDetail(plan_id);
  }
  void RequestPlanDisplayUpdate(uint32_t plan_id) override {
    if (target_ != nullptr)
      target_->RequestPlanDisplayUpdate(plan_id);
  }
  void SignUp(uint32_t plan_id) override {
    if (target_ != nullptr)
      target_->SignUp(plan_id);
  }
  void SendJoinReq(uint32_t match_app_id, bool is_quit) override {
    if (target_ != nullptr)
      target_->SendJoinReq(match_app_id, is_quit);
  }
  qvc::CommandRef<qv::CmdGetMatchDetailRsp> FindMatchDetail(uint32_t plan_id) const override {
    return target_ != nullptr ? target_->FindMatchDetail(plan_id) : nullptr;
  }
  uint32_t login_token() const override { return target_ != nullptr ? target_->login_token() : 0; }
  uint64_t user_id() const override { return target_ != nullptr ? target_->user_id() : 0; }
  qv::types::BaseUserInfo base_info() const override {
    return target_ != nullptr ? target_->base_info() : qv::types::BaseUserInfo();
  }
  qvc::PlanList* catalogue() override {
    return target_ != nullptr ? target_->catalogue() : nullptr;
  }

 private:
  HallGate* target_ = nullptr;
};

}  // namespace hall
