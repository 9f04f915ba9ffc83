#include "games/hall/app/hall_plan_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "gateclient/base/network_commands.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/plan_table/plan_fakes_test.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "skinui/window_impl_base.h"

namespace hall {
namespace {

using qvc::testing_fakes::FakeEnv;
using JoinResult = qv::matchclient::JoinRsp;

// A manager whose catalogue hook records the subids that reach it.
class HookedManager : public HallPlanManager {
 public:
  using HallPlanManager::HallPlanManager;
  std::vector<uint16_t> catalogue_hits;

 protected:
  void OnCatalogueReply(qv::CMD_base& command) override { catalogue_hits.push_back(command.subid); }
};

// The main window's posts, with what MyMatch held when each was made.
struct PostLog {
  std::mutex mu;
  std::vector<UINT> messages;
  std::vector<size_t> signups_at_post;
};

std::unique_ptr<qv::CMD_base> Join(int result, bool quit, uint64_t plan_id, uint64_t match_id) {
  auto command = std::make_unique<qv::CmdJoinRsp>();
  command->message.set_join_result(static_cast<JoinResult::Result>(result));
  command->message.set_is_quit(quit);
  command->message.set_plan_id(plan_id);
  command->message.set_match_id(match_id);
  return command;
}
std::unique_ptr<qv::CMD_base> Start(uint32_t plan_id) {
  auto command = std::make_unique<qv::CmdMatchStart>();
  command->message.set_plan_id(plan_id);
  command->message.set_game_kind(502);
  return command;
}
std::unique_ptr<qv::CMD_base> Prize(uint32_t plan_id) {
  auto command = std::make_unique<qv::CmdMatchPrize>();
  command->message.set_plan_id(plan_id);
  return command;
}
std::unique_ptr<qv::CMD_base> Catalogue(uint16_t subid) {
  return std::make_unique<qv::CMD_base>(qv::cmd::kKindHallClient, subid);
}
std::unique_ptr<qv::CMD_base> Connected() {
  return std::make_unique<qv::CMDNetwork_OnConnectionCome>();
}
std::unique_ptr<qv::CMD_base> Closed() {
  return std::make_unique<qv::CMDNetwork_OnConnectionClose>();
}

class HallPlanManagerTest : public ::testing::Test {
 protected:
  HallPlanManagerTest()
      : manager(fx.env, my_match, [this](UINT message, WPARAM wParam, LPARAM lParam) {
          std::lock_guard<std::mutex> lock(posts.mu);
          EXPECT_EQ(wParam, 0u);
          EXPECT_EQ(lParam, 0);
          posts.messages.push_back(message);
          posts.signups_at_post.push_back(my_match.size());
          return true;
        }) {}

  // Hands `command` to the manager the way the gate client's dispatch does.
  void Dispatch(qv::CMD_base& command, uint64_t key) {
    const auto low = static_cast<uint32_t>(key), high = static_cast<uint32_t>(key >> 32);
    switch (command.kind) {
      case qv::cmd::kKindMatchClient:
        manager.OnMatchClientCmd(command, low, high);
        break;
      case qv::cmd::kKindHallClient:
        manager.OnHallClientCmd(command, low, high);
        break;
      case qv::cmd::kKindClient:
        manager.OnClientCmd(command, low, high);
        break;
      default:
        manager.OnNetworkCmd(command);
    }
  }

  FakeEnv fx;
  MyMatch my_match;
  PostLog posts;
  HookedManager manager;
};

TEST_F(HallPlanManagerTest, CommandsChangeTheSignupsAndTellTheWindowOfTheGatesLoss) {
  struct Step {
    const char* what;
    std::unique_ptr<qv::CMD_base> command;
    uint64_t key;   // the application session the command came with
    uint32_t plan;  // the plan looked at afterwards
    std::optional<MyMatchRecord> expected;
    size_t signups;  // records MyMatch holds afterwards
    std::vector<UINT> posts;
    std::vector<uint16_t> catalogue_hits;
  };
  const std::vector<UINT> kNoPost;
  const std::vector<UINT> kClosed{1145};
  Step steps[] = {
      {"join accepted", Join(0, false, 7, 70), 7, 7, MyMatchRecord{7, 70, false}, 1, kNoPost, {}},
      {"join refused", Join(4, false, 8, 80), 8, 8, std::nullopt, 1, kNoPost, {}},
      {"withdrawal refused",
       Join(4, true, 7, 0),
       7,
       7,
       MyMatchRecord{7, 70, false},
       1,
       kNoPost,
       {}},
      {"second join for the plan overwrites",
       Join(0, false, 7, 71),
       7,
       7,
       MyMatchRecord{7, 71, false},
       1,
       kNoPost,
       {}},
      {"match start of an unknown plan", Start(9), 9, 9, MyMatchRecord{0, 0, true}, 2, kNoPost, {}},
      {"prize of an unknown plan", Prize(10), 10, 10, std::nullopt, 2, kNoPost, {}},
      {"withdrawal accepted", Join(0, true, 7, 0), 7, 7, std::nullopt, 1, kNoPost, {}},
      {"a high half names plan 12",
       Join(0, false, 0x10000000Cull, 5),
       12,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {}},
      {"catalogue replies reach the hall's table",
       Catalogue(2),
       0,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {2}},
      {"lists", Catalogue(4), 0, 12, MyMatchRecord{12, 5, false}, 2, kNoPost, {2, 4}},
      {"plans", Catalogue(8), 0, 12, MyMatchRecord{12, 5, false}, 2, kNoPost, {2, 4, 8}},
      {"start points: no slot",
       Catalogue(10),
       0,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {2, 4, 8}},
      {"details: no slot",
       Catalogue(14),
       0,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {2, 4, 8}},
      {"last slot empty",
       Catalogue(100),
       0,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {2, 4, 8}},
      {"past the table", Catalogue(101), 0, 12, MyMatchRecord{12, 5, false}, 2, kNoPost, {2, 4, 8}},
      {"gate connected: base only",
       Connected(),
       0,
       12,
       MyMatchRecord{12, 5, false},
       2,
       kNoPost,
       {2, 4, 8}},
      {"gate closed", Closed(), 0, 12, std::nullopt, 0, kClosed, {2, 4, 8}},
      {"no plan reads as signed up", Catalogue(3), 0, 9, std::nullopt, 0, kClosed, {2, 4, 8}},
      {"a join after the loss counts again",
       Join(0, false, 7, 72),
       7,
       7,
       MyMatchRecord{7, 72, false},
       1,
       kClosed,
       {2, 4, 8}},
  };
  for (Step& step : steps) {
    Dispatch(*step.command, step.key);
    EXPECT_EQ(my_match.FindSignup(step.plan), step.expected) << step.what;
    EXPECT_EQ(my_match.size(), step.signups) << step.what;
    EXPECT_EQ(posts.messages, step.posts) << step.what;
    EXPECT_EQ(manager.catalogue_hits, step.catalogue_hits) << step.what;
  }
  // The window that handles the post already sees the sign-ups emptied.
  EXPECT_EQ(posts.signups_at_post, std::vector<size_t>{0});
}

TEST_F(HallPlanManagerTest, TheBaseStillRunsTheGamesBeforeTheSignupsChange) {
  auto start = Start(33);
  Dispatch(*start, 33);
  EXPECT_EQ(fx.launcher.launch_count(), 1u) << "the base launched the match's game";
  ASSERT_EQ(manager.table_count(), 1u);
  EXPECT_TRUE(my_match.FindSignup(33)->started);

  // The loss reaches the running game as well as the window.
  auto closed = Closed();
  Dispatch(*closed, 0);
  const std::vector<std::string> frames = fx.channel(0)->Frames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(qvc::testing_fakes::CarriedCommand(frames.back()), (std::pair<int, int>{9, 1}));
  EXPECT_EQ(posts.messages, std::vector<UINT>{WM_GATE_CLOSED});
}

TEST(HallPlanManagerFactoryTest, BuildsAHallManagerThatPostsThroughItsPoster) {
  FakeEnv fx;
  MyMatch my_match;
  int posted = 0;
  auto factory = HallPlanManagerFactory(my_match, [&](UINT message, WPARAM, LPARAM) {
    posted += message == WM_GATE_CLOSED;
    return true;
  });
  std::unique_ptr<qvc::PlanManager> manager = factory(fx.env);
  ASSERT_NE(dynamic_cast<HallPlanManager*>(manager.get()), nullptr);
  auto join = Join(0, false, 5, 50);
  manager->OnMatchClientCmd(*join, 5, 0);
  EXPECT_TRUE(my_match.FindSignup(5).has_value());
  qv::CMDNetwork_OnConnectionClose closed;
  manager->OnNetworkCmd(closed);
  EXPECT_EQ(posted, 1);
  EXPECT_EQ(my_match.size(), 0u);
}

// A main window that counts the gate's loss.
class CountingWindow : public skinui::WindowImplBase {
 public:
  const char* GetWindowClassName() const override { return "CountingWindow"; }
  skinui::CDuiString GetSkinFile() override {
    return "<Window size=\"100,100\"><Control/></Window>";
  }
  LRESULT HandleCustomMessage(UINT message, WPARAM, LPARAM, BOOL& handled) override {
    if (message == WM_GATE_CLOSED) {
      ++closed;
      handled = TRUE;
    }
    return 0;
  }
  int closed = 0;
};

// The job thread posts; the window thread receives exactly one message and reads the sign-ups
// while the job thread goes on writing them.
TEST(HallPlanManagerWindowTest, TheJobThreadsPostReachesTheWindowOnce) {
  FakeEnv fx;
  MyMatch my_match;
  CountingWindow window;
  window.Create(nullptr, "main", 0, 0, 0, 0, 100, 100);
  ASSERT_TRUE(skinui::IsWindow(window.GetHWND()));
  HallPlanManager manager(fx.env, my_match, PostToWindow(window.GetHWND()));
  auto join = Join(0, false, 3, 30);
  manager.OnMatchClientCmd(*join, 3, 0);

  std::atomic<bool> closed_sent{false};
  std::thread job([&] {
    qv::CMDNetwork_OnConnectionClose closed;
    manager.OnNetworkCmd(closed);
    closed_sent = true;
    for (uint32_t i = 0; i < 2000; ++i) {
      auto later = Join(0, i % 2 == 1, 100 + i % 8, i);
      manager.OnMatchClientCmd(*later, 100 + i % 8, 0);
    }
  });
  skinui::TestDriver driver;
  while (!closed_sent) {
    driver.RunUntilIdle();
    for (uint32_t plan = 100; plan < 108; ++plan) {
      if (const auto record = my_match.FindSignup(plan)) {
        EXPECT_EQ(record->plan_id, plan);
      }
    }
  }
  job.join();
  driver.RunUntilIdle();
  EXPECT_EQ(window.closed, 1);
  EXPECT_FALSE(my_match.FindSignup(3).has_value());
  window.Close();
  driver.RunUntilIdle();
  // A post to a window that is gone fails and is not counted anywhere.
  EXPECT_FALSE(PostToWindow(window.GetHWND())(WM_GATE_CLOSED, 0, 0));
  EXPECT_FALSE(PostToWindow(nullptr)(WM_GATE_CLOSED, 0, 0));
}

}  // namespace
}  // namespace hall
