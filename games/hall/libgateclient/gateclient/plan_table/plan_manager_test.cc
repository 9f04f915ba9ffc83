#include "gateclient/plan_table/plan_manager.h"

#include <gtest/gtest.h>

#include "gateclient/plan_table/log_capture_test.h"
#include "gateclient/plan_table/plan_fakes_test.h"

namespace qvc {
namespace {

using namespace testing_fakes;
using Carried = std::pair<int, int>;

const Carried kLogin{13, 2};
const Carried kDetail{18, 14};
const Carried kStart{14, 15};
const Carried kJoin{14, 4};

std::vector<Carried> CarriedCommands(ChannelLog& channel) {
  std::vector<Carried> out;
  for (const std::string& f : channel.Frames())
    out.push_back(CarriedCommand(f));
  return out;
}

void FillMatchStart(qv::CmdMatchStart& cmd) {
  cmd.routing.apptype = 15;
  cmd.routing.appid = 41;
  cmd.message.set_match_id(7);
  cmd.message.set_game_kind(502);
}

class PlanManagerTest : public ::testing::Test {
 protected:
  PlanManagerTest() : manager(fx.env) { FillMatchStart(start); }

  // Lets a game exit and waits for its watch to notice (it clears `active` before it closes).
  void ExitGame(size_t launch, size_t channel) {
    fx.launcher.Process(launch)->Exit(0);
    ASSERT_TRUE(fx.channel(channel)->WaitClosed());
    std::shared_ptr<PlanTable> table = manager.FindTable(fx.channel(channel)->key);
    ASSERT_TRUE(table);
    EXPECT_FALSE(table->active());
  }

  FakeEnv fx;
  PlanManager manager;
  qv::CmdMatchStart start;
};

TEST_F(PlanManagerTest, MatchStartLaunchesAndTheGameGetsLoginDetailThenTheStart) {
  manager.OnMatchClientCmd(start, 33, 0);
  ASSERT_EQ(fx.launcher.launch_count(), 1u);
  ASSERT_EQ(manager.table_count(), 1u);
  EXPECT_EQ(CarriedCommands(*fx.channel(0)), (std::vector<Carried>{kLogin, kDetail, kStart}));
  EXPECT_TRUE(fx.host.detail_requests.empty());
}

TEST_F(PlanManagerTest, WithoutAStoredDetailTheHallAsksForItAndTheReplyReachesTheGame) {
  fx.host.has_detail = false;
  manager.OnMatchClientCmd(start, 33, 0);
  EXPECT_EQ(fx.host.detail_requests, std::vector<uint32_t>{33});
  EXPECT_EQ(CarriedCommands(*fx.channel(0)), (std::vector<Carried>{kLogin, kStart}));

  qv::CmdGetMatchDetailRsp reply;
  reply.message.set_plan_id(33);
  manager.OnHallClientCmd(reply, 0, 0);  // routed by its own plan id
  qv::CmdGetMatchDetailRsp other;
  other.message.set_plan_id(34);
  manager.OnHallClientCmd(other, 33, 0);
  EXPECT_EQ(CarriedCommands(*fx.channel(0)), (std::vector<Carried>{kLogin, kStart, kDetail}));
}

TEST_F(PlanManagerTest, ASecondMatchStartReachesTheRunningGame) {
  manager.OnMatchClientCmd(start, 33, 0);
  manager.OnMatchClientCmd(start, 33, 0);
  EXPECT_EQ(fx.launcher.launch_count(), 1u);
  EXPECT_EQ(CarriedCommands(*fx.channel(0)),
            (std::vector<Carried>{kLogin, kDetail, kStart, kStart}));
}

TEST_F(PlanManagerTest, AfterTheGameExitsTheNextMatchCommandReleasesTheTable) {
  LogCapture logs;
  manager.OnMatchClientCmd(start, 33, 0);
  ExitGame(0, 0);
  EXPECT_EQ(manager.table_count(), 1u);  // kept until the key's next match command

  qv::CmdMatchPrize prize;
  manager.OnMatchClientCmd(prize, 33, 0);
  EXPECT_EQ(manager.table_count(), 0u);
  EXPECT_EQ(fx.launcher.launch_count(), 1u);
  EXPECT_EQ(CarriedCommands(*fx.channel(0)).size(), 3u);  // the prize was not delivered

  manager.OnMatchClientCmd(start, 33, 0);
  EXPECT_EQ(fx.launcher.launch_count(), 2u);
  EXPECT_EQ(manager.table_count(), 1u);
  EXPECT_EQ(logs.Count("程序现在应当退出了:"), 1);
}

TEST_F(PlanManagerTest, AMatchStartForAnExitedGameStartsANewOneInTheSameCall) {
  manager.OnMatchClientCmd(start, 33, 0);
  ExitGame(0, 0);
  manager.OnMatchClientCmd(start, 33, 0);
  EXPECT_EQ(fx.launcher.launch_count(), 2u);
  ASSERT_EQ(fx.channel_count(), 2u);
  EXPECT_EQ(CarriedCommands(*fx.channel(1)), (std::vector<Carried>{kLogin, kDetail, kStart}));
}

TEST_F(PlanManagerTest, JoinReplies) {
  struct Case {
    const char* name;
    int result;
    bool quit;
    bool start_game;
    bool launches;
  } cases[] = {
      {"accepted, start now", 0, false, true, true},
      {"accepted, start later", 0, false, false, false},
      {"withdrawal", 0, true, true, false},
      {"refused", 3, false, true, false},
  };
  for (const Case& c : cases) {
    FakeEnv fx2;
    PlanManager m(fx2.env);
    qv::CmdJoinRsp join;
    join.message.set_join_result(static_cast<qv::matchclient::JoinRsp::Result>(c.result));
    join.message.set_is_quit(c.quit);
    join.message.set_start_game(c.start_game);
    join.message.set_game_kind(502);
    m.OnMatchClientCmd(join, 8, 0);
    EXPECT_EQ(fx2.launcher.launch_count(), c.launches ? 1u : 0u) << c.name;
    EXPECT_EQ(m.table_count(), c.launches ? 1u : 0u) << c.name;
    if (c.launches) {
      EXPECT_EQ(CarriedCommands(*fx2.channel(0)), (std::vector<Carried>{kLogin, kDetail, kJoin}));
    }
    EXPECT_TRUE(fx2.host.through_gate.empty()) << c.name;
  }
}

TEST_F(PlanManagerTest, AJoinThatDoesNotStartOnlyReachesAnExistingTable) {
  manager.OnMatchClientCmd(start, 8, 0);
  qv::CmdJoinRsp join;
  join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  manager.OnMatchClientCmd(join, 8, 0);
  EXPECT_EQ(CarriedCommands(*fx.channel(0)).back(), kJoin);
  EXPECT_EQ(fx.launcher.launch_count(), 1u);
}

TEST_F(PlanManagerTest, InAMatchAlreadyAsksToGoBack) {
  struct Case {
    uint32_t mp_appid;
    bool asks;
  } cases[] = {{77, true}, {0, false}};
  for (const Case& c : cases) {
    FakeEnv fx2;
    PlanManager m(fx2.env);
    qv::CmdJoinRsp join;
    join.message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_IN_MATCH);
    join.message.set_mp_appid(c.mp_appid);
    join.message.set_plan_id((5ull << 32) | 21);
    join.message.set_match_id(1234567890123ull);
    m.OnMatchClientCmd(join, 21, 0);
    EXPECT_EQ(fx2.launcher.launch_count(), 0u);
    ASSERT_EQ(fx2.host.through_gate.size(), c.asks ? 1u : 0u) << c.mp_appid;
    if (!c.asks)
      continue;
    const FakeHost::Sent& sent = fx2.host.through_gate[0];
    EXPECT_EQ(sent.kind, 14);
    EXPECT_EQ(sent.subid, 25);
    EXPECT_EQ(sent.routing.apptype, 15u);
    EXPECT_EQ(sent.routing.appid, 77u);
    qv::matchclient::MayIBack2MP back;
    ASSERT_TRUE(back.ParseFromString(sent.body));
    EXPECT_EQ(back.plan_id(), 21u);
    EXPECT_EQ(back.match_id(), 1234567890123ull);
  }
}

TEST_F(PlanManagerTest, AFailedStartLeavesNoTable) {
  fx.launcher.fail = true;
  manager.OnMatchClientCmd(start, 33, 0);
  EXPECT_EQ(manager.table_count(), 0u);
  EXPECT_GE(fx.channel(0)->closes, 1);
  fx.launcher.fail = false;
  qv::CmdMatchPrize prize;
  manager.OnMatchClientCmd(prize, 33, 0);  // dropped: no table, and it starts nothing
  EXPECT_EQ(fx.launcher.launch_count(), 1u);
  manager.OnMatchClientCmd(start, 33, 0);  // tries again
  EXPECT_EQ(manager.table_count(), 1u);
}

TEST_F(PlanManagerTest, ClientCommandsByKeyAndBroadcast) {
  manager.OnMatchClientCmd(start, 1, 0);
  manager.OnMatchClientCmd(start, 2, 0);
  struct Case {
    const char* name;
    uint32_t key;
    int reason;  // LogoutRsp reason, or -1 for another client command
    size_t to_one, to_two;
  } cases[] = {
      {"keyed command", 1, -1, 1, 0},
      {"key 0 reaches every game", 0, -1, 1, 1},
      {"another login: own table twice, the others once", 1, 1, 2, 1},
      {"normal logout stays with its key", 1, 0, 1, 0},
      {"key without a table", 9, -1, 0, 0},
  };
  for (const Case& c : cases) {
    size_t one = fx.channel(0)->Frames().size();
    size_t two = fx.channel(1)->Frames().size();
    if (c.reason < 0) {
      qv::CmdLoginRsp other;
      manager.OnClientCmd(other, c.key, 0);
    } else {
      qv::CmdLogoutRsp logout;
      logout.message.set_logout_reason(static_cast<qv::client::LogoutRsp::LogoutReason>(c.reason));
      manager.OnClientCmd(logout, c.key, 0);
    }
    EXPECT_EQ(fx.channel(0)->Frames().size() - one, c.to_one) << c.name;
    EXPECT_EQ(fx.channel(1)->Frames().size() - two, c.to_two) << c.name;
  }
}

TEST_F(PlanManagerTest, ConnectionStateReachesEveryRunningGameAsAStateFrame) {
  manager.OnMatchClientCmd(start, 1, 0);
  manager.OnMatchClientCmd(start, 2, 0);
  manager.OnMatchClientCmd(start, 3, 0);
  ExitGame(2, 2);
  qv::CMDNetwork_OnConnectionCome come;
  manager.OnNetworkCmd(come);
  for (size_t i = 0; i < 2; ++i) {
    std::vector<std::string> frames = fx.channel(i)->Frames();
    std::optional<HallFrame> f = DecodeHallFrame(frames.back());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, kIpcFrameConnectionState);
    EXPECT_EQ(f->kind, 9);
    EXPECT_EQ(f->subid, 0);
  }
  EXPECT_EQ(fx.channel(2)->Frames().size(), 3u);  // the exited game got nothing
}

TEST_F(PlanManagerTest, TerminateGamesEndsTheRunningOnes) {
  manager.OnMatchClientCmd(start, 1, 0);
  manager.OnMatchClientCmd(start, 2, 0);
  fx.launcher.Process(1)->Exit(0);
  manager.TerminateGames();
  EXPECT_TRUE(fx.launcher.Process(0)->terminated);
  EXPECT_FALSE(fx.launcher.Process(1)->terminated);
}

TEST(PlanManagerShutdownTest, DestroyingTheManagerStopsWatchingButLeavesGamesRunning) {
  FakeEnv fx;
  {
    PlanManager manager(fx.env);
    qv::CmdMatchStart start;
    FillMatchStart(start);
    manager.OnMatchClientCmd(start, 1, 0);
    manager.OnMatchClientCmd(start, 2, 0);
  }
  EXPECT_GE(fx.channel(0)->closes, 1);
  EXPECT_GE(fx.channel(1)->closes, 1);
  EXPECT_FALSE(fx.launcher.Process(0)->terminated);
  EXPECT_FALSE(fx.launcher.Process(1)->terminated);
}

}  // namespace
}  // namespace qvc
