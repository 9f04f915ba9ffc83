#include "games/hall/app/signup_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "games/hall/app/signup_flow.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "games/hall/app/testing/signup_catalogue.h"
#include "gateclient/log/debug_trace.h"
#include "skinui/control.h"
#include "skinui/label.h"
#include "skinui/test_driver.h"

namespace hall {
namespace {

using skinui::TestDriver;
using testing::Detail;
using testing::Plan;
using testing::Prize;
using testing::RecordingHallGate;
using testing::SignupCatalogue;

std::string TextOf(skinui::WindowImplBase& w, const char* name) {
  skinui::CControlUI* c = TestDriver::Find(w, name);
  return c != nullptr ? std::string(c->GetText()) : "(missing)";
}
bool Shown(skinui::WindowImplBase& w, const char* name) {
  skinui::CControlUI* c = TestDriver::Find(w, name);
  return c != nullptr && c->IsVisible();
}
skinui::CProgressUI* Progress(skinui::WindowImplBase& w) {
  skinui::CControlUI* c = TestDriver::Find(w, "MatchStartProgress");
  return c != nullptr ? static_cast<skinui::CProgressUI*>(c->GetInterface("Progress")) : nullptr;
}

std::vector<std::string> g_trace;
void KeepTrace(const char* text) {
  g_trace.emplace_back(text);
}

class SignupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    gate.SetCatalogue(catalogue.list());
    env.gate = &gate;
    env.my_match = &my_match;
  }

  // Shows the dialog of `plan_id` and runs `inside` with it; the dialog is cancelled after
  // unless `inside` closed it. Returns the dialog's result.
  UINT WithDialog(uint32_t plan_id, std::function<void(SignupDialog&)> inside) {
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
      auto& signup = static_cast<SignupDialog&>(dialog);
      const HWND h = dialog.GetHWND();
      inside(signup);
      if (skinui::IsWindow(h))
        driver.Click(dialog, "cancel");
    });
    return ShowSignupDialog(env, plan_id);
  }

  platform::ManualClock clock;
  TestDriver driver{&clock};
  SignupCatalogue catalogue;
  RecordingHallGate gate;
  MyMatch my_match;
  SignupEnv env;
};

// The details arrive after the dialog opened: the name and the seats come first, the prizes at
// the next tick, six of the seven rows.
TEST_F(SignupDialogTest, LateDetailsFillThePrizesAtTheNextTick) {
  catalogue.SetPlans({Plan(7, "周末欢乐赛", 1, 6, 502, 41)});
  catalogue.SetStartPoint(7, 6, 2);
  g_trace.clear();
  const auto old_trace = SetDebugTraceOutput(&KeepTrace);
  WithDialog(7, [&](SignupDialog& dialog) {
    EXPECT_EQ(dialog.app_id(), 41u);
    EXPECT_EQ(TextOf(dialog, "MatchName"), "周末欢乐赛");
    EXPECT_EQ(TextOf(dialog, "MatchStartCount"), "满6人开赛");
    EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), "2/6");
    EXPECT_EQ(Progress(dialog)->GetMaxValue(), 6);
    EXPECT_EQ(Progress(dialog)->GetValue(), 2);
    for (const char* row : {"Alexa0", "Prize0", "Alexa5", "Prize5"})
      EXPECT_EQ(TextOf(dialog, row), "") << row << " keeps the skin's text";
    EXPECT_TRUE(gate.RequestsOf("display").empty());

    gate.SetMatchDetail(7, Detail(7, 41,
                                  {{1, 1, "奖金1000元"},
                                   {2, 2, "奖金500元"},
                                   {3, 3, nullptr},
                                   {4, 10, "参赛纪念品"},
                                   {11, 20, "积分50"},
                                   {21, 50, "积分20"},
                                   {51, 100, "积分10"}}));
    catalogue.SetStartPoint(7, 6, 5);
    driver.Advance(SignupDialog::kRefreshIntervalMs - 1);
    EXPECT_EQ(TextOf(dialog, "Alexa0"), "") << "not before the second is up";
    driver.Advance(1);
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"第1名", "奖金1000元"},    {"第2名", "奖金500元"},  {"第3名", ""},
        {"第4-10名", "参赛纪念品"}, {"第11-20名", "积分50"}, {"第21-50名", "积分20"}};
    for (int i = 0; i < SignupDialog::kPrizeRows; ++i) {
      EXPECT_EQ(TextOf(dialog, ("Alexa" + std::to_string(i)).c_str()), rows[i].first) << i;
      EXPECT_EQ(TextOf(dialog, ("Prize" + std::to_string(i)).c_str()), rows[i].second) << i;
    }
    EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), "5/6") << "the count follows the service";
    EXPECT_EQ(Progress(dialog)->GetValue(), 5);
    ASSERT_EQ(gate.RequestsOf("display").size(), 1u);
    EXPECT_EQ(gate.RequestsOf("display")[0].plan_id, 7u);
    driver.Advance(SignupDialog::kRefreshIntervalMs);
    EXPECT_EQ(gate.RequestsOf("display").size(), 2u) << "one request a second";
  });
  SetDebugTraceOutput(old_trace);
  EXPECT_EQ(g_trace, (std::vector<std::string>{"onterim w=1,l=0\n", "onterim w=1,l=0\n"}));
}

TEST_F(SignupDialogTest, FeeAndStartFieldsFollowThePlan) {
  struct Case {
    const char* what;
    qv::hallclient::PlanSimpleInfo plan;
    bool start_point;
    uint32_t signed_count;
    bool fee_shown;
    const char* prove;
    const char* count;
    const char* progress;
    int max, value;
  };
  const Case cases[] = {
      {"paid plan that starts when full", Plan(7, "七人赛", 1, 7, 502, 41), true, 3, true,
       "按比赛规则缴纳报名费", "满7人开赛", "3/7", 7, 3},
      {"free plan", Plan(7, "免费赛", 1, 4, 502, 41, true), true, 1, false, "免费报名!",
       "满4人开赛", "1/4", 4, 1},
      {"timed plan keeps the skin's start fields", Plan(7, "定时赛", 2, 6, 502, 41), true, 3, true,
       "按比赛规则缴纳报名费", "按时开赛", "", 100, 0},
      {"no start point yet", Plan(7, "七人赛", 1, 7, 502, 41), false, 0, true,
       "按比赛规则缴纳报名费", "按时开赛", "", 100, 0},
      // The gate named no seat count: shown without a share, nothing divides by it.
      {"starts when full, fixed count 0", Plan(7, "人满赛", 1, 0, 502, 41), true, 3, true,
       "按比赛规则缴纳报名费", "人满开赛", "3人已报名", 1, 0},
      {"more signed than seats", Plan(7, "爆满赛", 1, 4, 502, 41), true, 9, true,
       "按比赛规则缴纳报名费", "满4人开赛", "9/4", 4, 4},
      {"counts past an int", Plan(7, "大赛", 1, 0xFFFFFFF0u, 502, 41), true, 0xFFFFFFFFu, true,
       "按比赛规则缴纳报名费", "满4294967280人开赛", "4294967295/4294967280", 0x7FFFFFFF,
       0x7FFFFFFF},
  };
  for (const Case& c : cases) {
    SignupCatalogue fresh;
    fresh.SetPlans({c.plan});
    if (c.start_point)
      fresh.SetStartPoint(7, c.plan.fixed_count(), c.signed_count);
    gate.SetCatalogue(fresh.list());
    WithDialog(7, [&](SignupDialog& dialog) {
      EXPECT_EQ(TextOf(dialog, "MatchName"), c.plan.show_name()) << c.what;
      EXPECT_EQ(Shown(dialog, "SignUpInfo"), c.fee_shown) << c.what;
      EXPECT_EQ(TextOf(dialog, "MatchProve"), c.prove) << c.what;
      EXPECT_EQ(TextOf(dialog, "MatchStartCount"), c.count) << c.what;
      EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), c.progress) << c.what;
      EXPECT_EQ(Progress(dialog)->GetMaxValue(), c.max) << c.what;
      EXPECT_EQ(Progress(dialog)->GetValue(), c.value) << c.what;
      driver.Advance(SignupDialog::kRefreshIntervalMs);  // a refill changes nothing
      EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), c.progress) << c.what;
    });
  }
  gate.SetCatalogue(catalogue.list());
}

TEST_F(SignupDialogTest, APlanThatLeftTheCatalogueLeavesTheDialogAsItWas) {
  catalogue.SetPlans({Plan(7, "周末欢乐赛", 1, 6, 502, 41)});
  catalogue.SetStartPoint(7, 6, 2);
  WithDialog(7, [&](SignupDialog& dialog) {
    catalogue.SetPlans({});
    gate.SetMatchDetail(7, Detail(7, 41, {{1, 1, "奖金"}}));
    driver.Advance(SignupDialog::kRefreshIntervalMs);
    EXPECT_EQ(TextOf(dialog, "MatchName"), "周末欢乐赛");
    EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), "2/6");
    EXPECT_EQ(TextOf(dialog, "Alexa0"), "");
  });
  // Unknown from the start: every control as the skin has it.
  WithDialog(99, [&](SignupDialog& dialog) {
    EXPECT_EQ(TextOf(dialog, "MatchName"), "");
    EXPECT_EQ(TextOf(dialog, "MatchStartCount"), "按时开赛");
    EXPECT_EQ(dialog.app_id(), 0u);
  });
}

TEST_F(SignupDialogTest, DetailsThatDoNotParseShowNoPrizes) {
  catalogue.SetPlans({Plan(7, "周末欢乐赛", 1, 6, 502, 41)});
  qv::hallclient::GetMatchDetailRsp broken;
  broken.set_plan_id(7);
  broken.set_detail_titlematch(std::string("\x3a\xff\xff", 3));  // a length past the end
  gate.SetMatchDetail(7, broken);
  WithDialog(7, [&](SignupDialog& dialog) {
    EXPECT_EQ(TextOf(dialog, "MatchName"), "周末欢乐赛");
    EXPECT_EQ(TextOf(dialog, "Alexa0"), "");
  });
}

// Only a click acts: a button's other notifications neither sign up nor close, and one press
// (or two presses queued before the close arrives) sends one sign-up.
TEST_F(SignupDialogTest, OnlyTheFirstClickOfABurstSignsUpOrCloses) {
  catalogue.SetPlans({Plan(7, "周末欢乐赛", 1, 6, 502, 41)});
  for (const char* button : {"signup", "cancel"}) {
    bool still_open = false;
    const UINT result = WithDialog(7, [&](SignupDialog& dialog) {
      skinui::CControlUI* control = TestDriver::Find(dialog, button);
      ASSERT_NE(control, nullptr);
      for (const char* type :
           {"setfocus", "killfocus", "mouseenter", "mouseleave", "timer", "buttondown", "menu"})
        dialog.GetPaintManager().SendNotify(control, type);
      const HWND h = dialog.GetHWND();
      driver.RunUntilIdle();
      still_open = skinui::IsWindow(h);
      EXPECT_TRUE(gate.RequestsOf("signup").empty()) << button;
      if (!still_open)
        return;  // the dialog is gone with its controls

      // Two presses in one burst: both reach the button before the close is handled.
      const RECT r = control->GetPos();
      const LPARAM at = MAKELPARAM(static_cast<WORD>((r.left + r.right) / 2),
                                   static_cast<WORD>((r.top + r.bottom) / 2));
      for (int press = 0; press < 2; ++press) {
        skinui::PostMessage(dialog.GetHWND(), WM_MOUSEMOVE, 0, at);
        skinui::PostMessage(dialog.GetHWND(), WM_LBUTTONDOWN, 0, at);
        skinui::PostMessage(dialog.GetHWND(), WM_LBUTTONUP, 0, at);
      }
      driver.RunUntilIdle();
    });
    EXPECT_TRUE(still_open) << button;
    EXPECT_EQ(result, SignupDialog::kResultClosed) << button;
    const auto signups = gate.RequestsOf("signup");
    if (std::string(button) == "signup") {
      ASSERT_EQ(signups.size(), 1u);
      EXPECT_EQ(signups[0].plan_id, 7u);
    } else {
      EXPECT_TRUE(signups.empty());
    }
    gate.Clear();
  }
}

TEST_F(SignupDialogTest, TheWindowManagersCloseSignsNothingUp) {
  catalogue.SetPlans({Plan(7, "周末欢乐赛", 1, 6, 502, 41)});
  const UINT result = WithDialog(7, [&](SignupDialog& dialog) {
    skinui::PostMessage(dialog.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    driver.RunUntilIdle();
  });
  EXPECT_EQ(result, static_cast<UINT>(IDCANCEL));
  EXPECT_TRUE(gate.RequestsOf("signup").empty());
}

}  // namespace
}  // namespace hall
