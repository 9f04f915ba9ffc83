#include "gateclient/plan_table/plan_table.h"

#include <gtest/gtest.h>

#include "gateclient/plan_table/log_capture_test.h"
#include "gateclient/plan_table/plan_fakes_test.h"

namespace qvc {
namespace {

using namespace testing_fakes;

constexpr char kExitLog[] = "程序现在应当退出了:";

void FillMatchStart(qv::CmdMatchStart& cmd, uint32_t game_kind) {
  cmd.routing.apptype = 15;
  cmd.routing.appid = 41;
  cmd.message.set_match_id(7);
  cmd.message.set_game_kind(game_kind);
}

TEST(PlanTableTest, StartGameOpensTheChannelThenLaunchesWithTheParameters) {
  FakeEnv fx;
  PlanTable table(fx.env);
  qv::CmdMatchStart start;
  FillMatchStart(start, 502);
  ASSERT_TRUE(table.StartGame(start, 33, 0));
  EXPECT_TRUE(table.active());
  EXPECT_EQ(table.key(), 33u);

  auto channel = fx.channel(0);
  EXPECT_EQ(channel->process_id, static_cast<uint32_t>(kHallPid));
  EXPECT_EQ(channel->key, 33u);
  EXPECT_FALSE(channel->client);
  EXPECT_EQ(channel->callback, &table);

  ASSERT_EQ(fx.launcher.launch_count(), 1u);
  const platform::LaunchOptions& o = fx.launcher.launches[0];
  EXPECT_EQ(o.program, "/opt/hall/zop");
  EXPECT_EQ(o.working_dir, "/opt/hall");
  ASSERT_EQ(o.args.size(), 1u);
  EXPECT_EQ(o.args[0],
            "process_id:4321|user_id:900|cmd_id:15|app_id:41|app_type:15|plan_id:33|match_id:7|"
            "match_group:0|rank_appid:0|rank_objectid:0|mp_id:0|game_kind:502|exename:zop|"
            "resfolder:rz");
  EXPECT_EQ(table.launch_values().match_id, 7u);
  EXPECT_EQ(table.launch_values().routing, start.routing);

  EXPECT_FALSE(table.StartGame(start, 34, 0));  // one game per table
  EXPECT_EQ(fx.launcher.launch_count(), 1u);
  EXPECT_EQ(table.key(), 33u);
}

TEST(PlanTableTest, KeyHighWordAndAbsoluteExecutable) {
  FakeEnv fx;
  fx.env.games = {"502", "/usr/games/g", "res"};
  PlanTable table(fx.env);
  qv::CmdMatchStart start;
  FillMatchStart(start, 502);
  ASSERT_TRUE(table.StartGame(start, 5, 1));
  EXPECT_EQ(table.key(), (1ull << 32) | 5u);
  EXPECT_EQ(fx.launcher.launches[0].program, "/usr/games/g");
  EXPECT_NE(fx.launcher.launches[0].args[0].find("|plan_id:4294967301|"), std::string::npos);
}

TEST(PlanTableTest, StartFailures) {
  struct Case {
    const char* name;
    bool open_ok;
    bool launch_ok;
    uint32_t game_kind;
    size_t launches;
  } cases[] = {
      {"channel refused: nothing launched", false, true, 502, 0},
      {"game kind not configured: no executable", true, true, 777, 0},
      {"launcher refuses", true, false, 502, 1},
  };
  for (const Case& c : cases) {
    LogCapture logs;
    FakeEnv fx;
    fx.open_result = c.open_ok;
    fx.launcher.fail = !c.launch_ok;
    {
      PlanTable table(fx.env);
      qv::CmdMatchStart start;
      FillMatchStart(start, c.game_kind);
      EXPECT_FALSE(table.StartGame(start, 1, 0)) << c.name;
      EXPECT_FALSE(table.active()) << c.name;
      EXPECT_FALSE(table.SendPending()) << c.name;
      if (c.open_ok) {
        EXPECT_EQ(logs.Count("启动客户端:result=0"), 1) << c.name;
      }
    }
    EXPECT_EQ(fx.launcher.launch_count(), c.launches) << c.name;
    EXPECT_GE(fx.channel(0)->closes, 1) << c.name;  // the destructor closes it
  }
}

TEST(PlanTableTest, GameExitIsLoggedOnceAndClosesTheChannel) {
  LogCapture logs;
  FakeEnv fx;
  PlanTable table(fx.env);
  qv::CmdMatchStart start;
  FillMatchStart(start, 502);
  ASSERT_TRUE(table.StartGame(start, 2, 0));
  fx.launcher.Process(0)->Exit(-3);
  ASSERT_TRUE(fx.channel(0)->WaitClosed());
  EXPECT_FALSE(table.active());
  EXPECT_EQ(logs.Count(kExitLog), 1);
  EXPECT_EQ(logs.Count(std::string(kExitLog) + "-3,process =1f5"), 1);  // pid 501
}

TEST(PlanTableTest, DestroyingARunningTableJoinsTheWatchButLeavesTheGame) {
  FakeEnv fx;
  {
    PlanTable table(fx.env);
    qv::CmdMatchStart start;
    FillMatchStart(start, 502);
    ASSERT_TRUE(table.StartGame(start, 2, 0));
  }
  EXPECT_GE(fx.channel(0)->closes, 1);
  EXPECT_FALSE(fx.launcher.Process(0)->terminated);
}

TEST(PlanTableTest, TerminateEndsOnlyARunningGame) {
  FakeEnv fx;
  PlanTable table(fx.env);
  qv::CmdMatchStart start;
  FillMatchStart(start, 502);
  ASSERT_TRUE(table.StartGame(start, 2, 0));
  EXPECT_TRUE(table.TerminateGame(10));
  EXPECT_TRUE(fx.launcher.Process(0)->terminated);
  EXPECT_FALSE(table.TerminateGame(10));  // already gone
  ASSERT_TRUE(fx.channel(0)->WaitClosed());
  EXPECT_FALSE(table.active());
}

TEST(PlanTableTest, PendingIsTheLaunchingCommandSentOnce) {
  FakeEnv fx;
  PlanTable table(fx.env);
  {
    // The command may be gone by the time the table is registered.
    auto* start = new qv::CmdMatchStart;
    FillMatchStart(*start, 502);
    qv::AttachReleaser(start);
    ASSERT_TRUE(table.StartGame(*start, 2, 0));
    qv::ReleaseCommand(start);
  }
  EXPECT_TRUE(fx.channel(0)->Frames().empty());
  EXPECT_TRUE(table.SendPending());
  EXPECT_FALSE(table.SendPending());
  std::vector<std::string> frames = fx.channel(0)->Frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(CarriedCommand(frames[0]), std::make_pair(14, 15));
}

TEST(PlanTableTest, FramesForTheGame) {
  FakeEnv fx;
  PlanTable table(fx.env);
  qv::CmdMatchStart start;
  FillMatchStart(start, 502);
  ASSERT_TRUE(table.StartGame(start, 2, 0));

  qv::CMDNetwork_OnConnectionClose closed;
  closed.routing.connid = 99;
  table.SendToGame(closed);
  table.SendToGame(start);
  qv::CMD_base raw(14, 3);
  raw.routing.apptype = 6;
  raw.payload = "\x01\x02";
  table.SendToGame(raw);

  std::vector<std::string> frames = fx.channel(0)->Frames();
  ASSERT_EQ(frames.size(), 3u);

  std::optional<HallFrame> state = DecodeHallFrame(frames[0]);
  ASSERT_TRUE(state);
  EXPECT_EQ(frames[0].size(), kHallFrameHeaderBytes);
  EXPECT_EQ(state->type, kIpcFrameConnectionState);
  EXPECT_EQ(state->kind, 9);
  EXPECT_EQ(state->subid, 1);
  RoutingHeader routing;
  ASSERT_TRUE(DecodeRoutingHeader(state->routing.data(), state->routing.size(), &routing));
  EXPECT_EQ(routing.connid, 99u);

  struct Wrapped {
    size_t frame;
    uint32_t apptype, appid, kind, subid;
    std::string data;
  } wrapped[] = {
      {1, 15, 41, 14, 15, start.message.SerializePartialAsString()},
      // A raw payload travels instead of the (empty) message.
      {2, 6, 0, 14, 3, "\x01\x02"},
  };
  for (const Wrapped& w : wrapped) {
    std::optional<HallFrame> f = DecodeHallFrame(frames[w.frame]);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, kIpcFrameMessage);
    EXPECT_EQ(f->kind, 12);
    EXPECT_EQ(f->subid, 3);
    qv::gate::TransferDataReq t;
    ASSERT_TRUE(t.ParseFromString(f->body));
    EXPECT_EQ(t.att_apptype(), w.apptype) << w.frame;
    EXPECT_EQ(t.att_appid(), w.appid) << w.frame;
    EXPECT_EQ(t.data_cmd_kind(), w.kind) << w.frame;
    EXPECT_EQ(t.data_cmd_subid(), w.subid) << w.frame;
    EXPECT_EQ(t.data(), w.data) << w.frame;
  }
}

TEST(PlanTableTest, FramesFromTheGame) {
  FakeEnv fx;
  PlanTable table(fx.env);
  struct Case {
    std::string bytes;
    bool forwarded;
    uint16_t kind, subid;
    std::string payload;
  } cases[] = {
      {EncodeGameFrame({0, 14, 3, "abcd"}), true, 14, 3, "abcd"},
      {EncodeGameFrame({0, 13, 9, ""}), true, 13, 9, ""},  // header alone
      {EncodeGameFrame({1, 14, 3, "abcd"}), false, 0, 0, ""},
      {EncodeGameFrame({7, 14, 3, ""}), false, 0, 0, ""},
      {std::string("\0\0\0\0\x0e\0\x03", 7), false, 0, 0, ""},  // shorter than a header
      {"", false, 0, 0, ""},
  };
  size_t expected = 0;
  for (const Case& c : cases) {
    table.OnIpcData(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
    std::lock_guard<std::mutex> lock(fx.host.mu);
    if (c.forwarded) {
      ++expected;
      ASSERT_EQ(fx.host.game_messages.size(), expected);
      EXPECT_EQ(fx.host.game_messages.back().kind, c.kind);
      EXPECT_EQ(fx.host.game_messages.back().subid, c.subid);
      EXPECT_EQ(fx.host.game_messages.back().body, c.payload);
    } else {
      EXPECT_EQ(fx.host.game_messages.size(), expected) << c.bytes.size();
    }
  }
  table.OnIpcData(nullptr, 100);
  EXPECT_EQ(fx.host.game_messages.size(), expected);
}

}  // namespace
}  // namespace qvc
