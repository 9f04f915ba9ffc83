#include "games/hall/app/signup_flow.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "games/hall/app/signup_dialog.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "games/hall/app/testing/signup_catalogue.h"
#include "gateclient/command/typed_commands.h"
#include "skinui/control.h"
#include "skinui/test_driver.h"
#include "skinui/window_wnd.h"

namespace hall {
namespace {

using skinui::TestDriver;
using testing::Detail;
using testing::Plan;
using testing::RecordingHallGate;
using testing::SignupCatalogue;

constexpr uint32_t kGame = 502;
constexpr uint32_t kMatchService = 41;

std::unique_ptr<qv::CMD_base> AcceptedJoin(uint32_t plan_id) {
  auto command = std::make_unique<qv::CmdJoinRsp>();
  command->message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  command->message.set_plan_id(plan_id);
  command->message.set_match_id(plan_id * 10ull);
  return command;
}

// The version check as the game list answers it.
struct CheckScript {
  bool known = true;        // the game list names the game
  bool usable = true;       // the game is current, or its update succeeded
  bool update_ran = false;  // what the check returns
};

class SignupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    catalogue.SetPlans(
        {Plan(7, "周末欢乐赛", 1, 6, kGame, kMatchService), Plan(8, "每日定时赛", 2, 0, 503, 42)});
    catalogue.SetStartPoint(7, 6, 2);
    gate.SetCatalogue(catalogue.list());
    env.gate = &gate;
    env.my_match = &my_match;
    env.check_game_version = [this](uint32_t game_id, bool& usable) {
      checked_games.push_back(game_id);
      if (script.known)
        usable = script.usable;
      return script.update_ran;
    };
  }

  std::vector<std::string> RequestNames() const {
    std::vector<std::string> names;
    for (const auto& r : gate.requests())
      names.push_back(r.what);
    return names;
  }

  SignupCatalogue catalogue;
  RecordingHallGate gate;
  MyMatch my_match;
  SignupEnv env;
  CheckScript script;
  std::vector<uint32_t> checked_games;
};

TEST_F(SignupFlowTest, EachRoadSendsWhatItShouldAndShowsTheDialogOnlyForASignup) {
  struct Case {
    const char* what;
    uint32_t plan;
    CheckScript check;
    bool signed_up;
    bool no_check;  // no version check given
    std::vector<uint32_t> checked;
    std::vector<std::string> sent;
    bool dialog;
  };
  const Case cases[] = {
      {"unknown plan: nothing checked, nothing sent", 99, {}, false, false, {}, {}, false},
      {"update declined or failed", 7, {true, false, true}, false, false, {kGame}, {}, false},
      {"game the list does not know", 7, {false, true, false}, false, false, {kGame}, {}, false},
      {"no version check at all", 7, {}, false, true, {}, {}, false},
      {"signed up: withdrawn at once", 7, {}, true, false, {kGame}, {"join"}, false},
      {"signed up after an update", 7, {true, true, true}, true, false, {kGame}, {"join"}, false},
      {"current game: details, display, dialog",
       7,
       {},
       false,
       false,
       {kGame},
       {"detail", "display"},
       true},
      {"updated game: the same",
       8,
       {true, true, true},
       false,
       false,
       {503},
       {"detail", "display"},
       true},
  };
  for (const Case& c : cases) {
    gate.Clear();
    checked_games.clear();
    script = c.check;
    MyMatch signed_up;
    if (c.signed_up)
      signed_up.OnMatchClientCmd(AcceptedJoin(c.plan).get());
    env.my_match = &signed_up;
    SignupEnv run = env;
    if (c.no_check)
      run.check_game_version = nullptr;
    std::optional<uint32_t> shown;
    std::vector<std::string> sent_before_dialog;
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
      shown = static_cast<SignupDialog&>(dialog).plan_id();
      sent_before_dialog = RequestNames();
      TestDriver d;
      d.Click(dialog, "cancel");
    });
    BeginSignup(run, c.plan);
    EXPECT_EQ(checked_games, c.checked) << c.what;
    if (c.dialog) {
      EXPECT_EQ(shown, c.plan) << c.what;
      EXPECT_EQ(sent_before_dialog, c.sent) << c.what;
    } else {
      EXPECT_FALSE(shown.has_value()) << c.what;
      EXPECT_EQ(RequestNames(), c.sent) << c.what;
      // The answer meant for a dialog that never came is used up here.
      ASSERT_EQ(skinui::internal::PendingModalAnswers(), 1u) << c.what;
      ShowSignupDialog(env, 8);
    }
    EXPECT_EQ(gate.RequestsOf("signup").size(), 0u) << c.what << ": cancel signs nothing up";
  }
  env.my_match = &my_match;
}

TEST_F(SignupFlowTest, AWithdrawalIsOneJoinReqToThePlansMatchService) {
  my_match.OnMatchClientCmd(AcceptedJoin(7).get());
  BeginSignup(env, 7);
  const auto joins = gate.RequestsOf("join");
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_TRUE(joins[0].is_quit);
  EXPECT_EQ(joins[0].app_id, kMatchService);
  EXPECT_EQ(gate.requests().size(), 1u);
}

TEST_F(SignupFlowTest, APlanGoneDuringTheGamesUpdateIsNotWithdrawn) {
  my_match.OnMatchClientCmd(AcceptedJoin(7).get());
  env.check_game_version = [this](uint32_t, bool& usable) {
    catalogue.SetPlans({});  // a newer catalogue arrived while the update ran
    usable = true;
    return true;
  };
  BeginSignup(env, 7);
  EXPECT_TRUE(gate.requests().empty());
}

TEST_F(SignupFlowTest, NoCatalogueYetSignsNothingUp) {
  gate.SetCatalogue(nullptr);
  BeginSignup(env, 7);
  EXPECT_TRUE(checked_games.empty());
  EXPECT_TRUE(gate.requests().empty());
}

TEST_F(SignupFlowTest, TheDialogIsOwnedByTheMainWindowWhileItLives) {
  struct Owner : skinui::WindowImplBase {
    const char* GetWindowClassName() const override { return "Owner"; }
    skinui::CDuiString GetSkinFile() override {
      return "<Window size=\"50,50\"><Control/></Window>";
    }
  } owner;
  owner.Create(nullptr, "", 0, 0);
  env.owner = owner.GetHWND();
  bool owner_disabled = false;
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    owner_disabled = !owner.IsWindowEnabled();
    TestDriver d;
    d.Click(dialog, "cancel");
  });
  EXPECT_EQ(ShowSignupDialog(env, 7), SignupDialog::kResultClosed);
  EXPECT_TRUE(owner_disabled) << "a modal dialog holds its owner";
  owner.Close();
  TestDriver().RunUntilIdle();
  // The main window is gone: the dialog opens without an owner.
  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    TestDriver d;
    d.Click(dialog, "cancel");
  });
  EXPECT_EQ(ShowSignupDialog(env, 7), SignupDialog::kResultClosed);
}

}  // namespace
}  // namespace hall
