// The catalogue views' tests: a real catalogue, a recording gate, the user's sign-ups and a
// headless host window holding the three views, with helpers to read a row's texts.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "games/hall/app/account_record.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/testing/plan_catalogue.h"
#include "games/hall/app/testing/plan_views_host.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "gateclient/command/typed_commands.h"
#include "skinui/button.h"
#include "skinui/test_driver.h"

namespace hall::testing {

// 2024-03-15 12:00:00 (the manual clock's local time is UTC).
inline constexpr int64_t kTestNow = 1710504000;
inline constexpr int64_t kTestToday = 20240315;

class PlanViewsTest : public ::testing::Test {
 protected:
  PlanViewsTest() : clock_(0, kTestNow) {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    gate_.SetCatalogue(&fixture_.catalogue());
  }
  ~PlanViewsTest() override {
    if (host_ != nullptr && host_->GetHWND() != nullptr)
      host_->DestroyWindow();
  }

  PlanViewLinks Links() {
    PlanViewLinks links;
    links.gate = &gate_;
    links.my_match = &my_match_;
    links.begin_signup = [this](uint32_t plan_id) { signups_.push_back(plan_id); };
    links.clock = &clock_;
    links.account = &account_;
    return links;
  }
  // Builds the host window over the catalogue as it is now.
  void Open(int cx = 0, int cy = 0) {
    host_ = std::make_unique<PlanViewsHost>(Links(), PLAN_VIEWS_HOST_SKIN);
    host_->Open(cx, cy);
    driver_.RunUntilIdle();
    ASSERT_NE(host_->tree(), nullptr);
    ASSERT_NE(host_->hot(), nullptr);
    ASSERT_NE(host_->bar(), nullptr);
  }

  UIPlanList& tree() { return *host_->tree(); }

  // The text of control `name` in the row of plan `plan_id` under list `list_id`.
  std::string ItemText(uint32_t list_id, uint32_t plan_id, const char* name) {
    PlanTreeNode* item = tree().FindItem(list_id, plan_id);
    if (item == nullptr || item->data().row == nullptr)
      return "<no row>";
    skinui::CControlUI* control = item->data().row->FindByName(name);
    return control != nullptr ? std::string(control->GetText()) : "<no control>";
  }
  skinui::CButtonUI* SignupButton(uint32_t list_id, uint32_t plan_id) {
    PlanTreeNode* item = tree().FindItem(list_id, plan_id);
    return item != nullptr ? item->data().signup_button : nullptr;
  }
  // The plan ids of the tree's item rows under list `list_id`, top to bottom.
  std::vector<uint32_t> RowsOf(uint32_t list_id) {
    std::vector<uint32_t> plans;
    PlanTreeNode* type = tree().FindType(list_id);
    if (type == nullptr)
      return plans;
    for (int i = tree().GetItemIndex(type->data().row) + 1; i < tree().GetCount(); ++i) {
      auto* node = reinterpret_cast<PlanTreeNode*>(tree().GetItemAt(i)->GetTag());
      if (node->parent() != type)
        break;
      plans.push_back(static_cast<uint32_t>(node->data().id));
    }
    return plans;
  }

  // The user's sign-up (or, with `quit`, withdrawal) of a plan, as the job thread applies it.
  void Join(uint32_t plan_id, bool quit = false) {
    qv::CmdJoinRsp command;
    command.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
    command.message.set_is_quit(quit);
    command.message.set_plan_id(plan_id);
    command.message.set_match_id(uint64_t{plan_id} * 10);
    my_match_.OnMatchClientCmd(&command);
  }
  void Prize(uint32_t plan_id) {
    qv::CmdMatchPrize command;
    command.message.set_plan_id(plan_id);
    my_match_.OnMatchClientCmd(&command);
  }

  CatalogueFixture fixture_;
  RecordingHallGate gate_;
  MyMatch my_match_;
  AccountRecord account_;
  platform::ManualClock clock_;
  std::vector<uint32_t> signups_;
  std::unique_ptr<PlanViewsHost> host_;
  skinui::TestDriver driver_;
};

}  // namespace hall::testing
