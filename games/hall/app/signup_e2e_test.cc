// The sign-up road end to end: the hall runtime over the real client frame, the hall's plan
// manager and MyMatch, against the local gate and its hall services over loopback. The dialog
// is opened and pressed through the test driver; the join goes out, the match service's reply
// comes back and the plan reads as signed up; the next press withdraws.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "games/hall/app/hall_plan_manager.h"
#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/signup_dialog.h"
#include "games/hall/app/signup_flow.h"
#include "games/hall/app/testing/queued_poster.h"
#include "gateclient/client_frame/e2e_support.h"
#include "skinui/control.h"
#include "skinui/test_driver.h"
#include "testing/gate/hall_services.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using qvc::e2e::WaitUntil;
using skinui::TestDriver;

constexpr uint32_t kPlan = 7;
constexpr uint32_t kMatchService = 41;
constexpr uint32_t kGame = 502;

std::string TextOf(skinui::WindowImplBase& w, const char* name) {
  skinui::CControlUI* c = TestDriver::Find(w, name);
  return c != nullptr ? std::string(c->GetText()) : "(missing)";
}

TEST(SignupEndToEndTest, TheDialogSignsUpAndTheNextPressWithdraws) {
  testgate::LocalGate gate;
  testgate::HallServices services(gate);
  testgate::ScriptedPlan plan{kPlan, 1, 1};
  plan.name = "周末欢乐赛";
  plan.fixed_count = 6;
  plan.game_kind = kGame;
  plan.app_id = kMatchService;
  services.SetCatalogue({{21, 5, {{100, 1, {plan}}}}});
  testgate::ScriptedDetail detail;
  detail.match_app_id = kMatchService;
  detail.prizes = {{1, 1, "奖金1000元"}, {2, 3, "奖金300元"}};
  services.SetMatchDetail(kPlan, detail);
  services.SetStartPoint(kPlan, {6, 2, 0, 1, 0});
  ASSERT_TRUE(gate.Start());
  update_server::TempFolder folder("tvx_signup_e2e");
  ASSERT_TRUE(
      update_server::PutFile(folder.path(), "LobbyData/addr.ini",
                             "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate.port()) + "\n"));

  testing::QueuedPoster window;
  MyMatch my_match;
  std::atomic<int> gate_closed{0};
  HallRuntimeOptions options;
  options.program_folder = folder.path();
  options.poster = &window;
  options.make_manager = HallPlanManagerFactory(my_match, [&](UINT message, WPARAM, LPARAM) {
    gate_closed += message == WM_GATE_CLOSED;
    return true;
  });
  HallRuntime runtime(options);
  ASSERT_TRUE(runtime.Start());
  ASSERT_NE(dynamic_cast<HallPlanManager*>(runtime.plan_manager()), nullptr);
  runtime.SetCredentials("dora", "pa55");
  runtime.StartLogin();
  // The window thread's part: handling what the gate client hands over.
  auto drained = [&](auto done) {
    return WaitUntil([&] {
      window.Drain();
      return done();
    });
  };
  ASSERT_TRUE(drained([&] {
    qvc::PlanList* list = runtime.catalogue();
    return list != nullptr && list->FindPlan(kPlan).has_value() &&
           list->FindStartPoints(kPlan).has_value();
  }));

  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
  platform::ManualClock ui_clock;
  TestDriver driver(&ui_clock);
  SignupEnv env;
  env.gate = &runtime;
  env.my_match = &my_match;
  std::vector<uint32_t> checked;
  env.check_game_version = [&](uint32_t game_id, bool& usable) {
    checked.push_back(game_id);
    usable = true;
    return false;
  };

  bool dialog_shown = false;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    dialog_shown = true;
    EXPECT_EQ(TextOf(dialog, "MatchName"), "周末欢乐赛");
    // The details asked for on the way in are kept by the gate client; the next tick shows
    // their prizes and the seats as the service counts them.
    ASSERT_TRUE(drained([&] { return runtime.FindMatchDetail(kPlan) != nullptr; }));
    driver.Advance(SignupDialog::kRefreshIntervalMs);
    EXPECT_EQ(TextOf(dialog, "Alexa0"), "第1名");
    EXPECT_EQ(TextOf(dialog, "Prize0"), "奖金1000元");
    EXPECT_EQ(TextOf(dialog, "Alexa1"), "第2-3名");
    EXPECT_EQ(TextOf(dialog, "MatchStartProgress"), "2/6");
    EXPECT_TRUE(driver.Click(dialog, "signup"));
  });
  BeginSignup(env, kPlan);
  EXPECT_TRUE(dialog_shown);
  EXPECT_EQ(checked, std::vector<uint32_t>{kGame});

  // The join went to the plan's match service; its reply makes the plan read as signed up.
  ASSERT_TRUE(drained([&] { return my_match.FindSignup(kPlan).has_value(); }));
  EXPECT_EQ(*my_match.FindSignup(kPlan), (MyMatchRecord{kPlan, kPlan * 100ull, false}));
  EXPECT_EQ(services.joins(), (std::vector<std::pair<uint32_t, bool>>{{kMatchService, false}}));
  EXPECT_EQ(services.signed_count(kPlan), 3u);
  EXPECT_TRUE(window.Saw(qv::cmd::kKindMatchClient, qv::cmd::matchclient::kJoinRsp));

  // Pressed again (as the plan's row does): withdrawn at once, no dialog.
  BeginSignup(env, kPlan);
  ASSERT_TRUE(drained([&] { return !my_match.FindSignup(kPlan).has_value(); }));
  EXPECT_EQ(services.joins(), (std::vector<std::pair<uint32_t, bool>>{{kMatchService, false},
                                                                      {kMatchService, true}}));
  EXPECT_EQ(services.signed_count(kPlan), 2u);

  // Signed up again, then the gate goes away: the window hears of it once and nothing reads as
  // signed up.
  runtime.SignUp(kPlan);
  ASSERT_TRUE(drained([&] { return my_match.FindSignup(kPlan).has_value(); }));
  gate.CloseConnection(-1);
  ASSERT_TRUE(drained([&] { return gate_closed.load() == 1; }));
  EXPECT_FALSE(my_match.FindSignup(kPlan).has_value());
  runtime.Stop();
  EXPECT_EQ(gate_closed.load(), 1);
  window.Drain();
}

}  // namespace
}  // namespace hall
