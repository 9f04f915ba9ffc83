// The plan manager against the fake game client started as a real second process.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "gate/gate.pb.h"
#include "gateclient/plan_table/log_capture_test.h"
#include "gateclient/plan_table/plan_fakes_test.h"
#include "gateclient/plan_table/plan_manager.h"
#include "platform/file_util.h"
#include "testing/game/fake_game_options.h"
#include "testing/game/game_record.h"

namespace qvc {
namespace {

using fake_game::RecordField;
using fake_game::Unhex;

using namespace testing_fakes;

constexpr auto kGameDeadline = std::chrono::seconds(20);

class PlanGameTest : public ::testing::Test {
 protected:
  PlanGameTest() {
    static int counter = 0;
    dir_ = "/tmp/tvx_plan_game_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    platform::MakeDirectories(dir_);
    record_ = dir_ + "/record.txt";
    env_.host = &host_;
    env_.launcher = &platform::SystemProcessLauncher();
    env_.games = {"502", FAKE_GAME_PATH, "res502"};
    env_.program_dir = dir_;
    for (const char* name : {fake_game::kEnvMode, fake_game::kEnvSend, fake_game::kEnvExpect,
                             fake_game::kEnvSendAfter, fake_game::kEnvTimeout, fake_game::kEnvExit})
      unsetenv(name);
    setenv(fake_game::kEnvRecord, record_.c_str(), 1);
  }
  ~PlanGameTest() override {
    platform::RemoveFile(record_);
    rmdir(dir_.c_str());
  }

  void Game(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

  // Waits until the key's game has exited and the table has noticed.
  bool WaitInactive(PlanManager& manager, uint64_t key) {
    auto until = std::chrono::steady_clock::now() + kGameDeadline;
    while (std::chrono::steady_clock::now() < until) {
      std::shared_ptr<PlanTable> table = manager.FindTable(key);
      if (!table || !table->active())
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::vector<std::string> Record() {
    std::string text;
    platform::ReadFile(record_, &text);
    return fake_game::RecordLines(text);
  }

  static qv::CmdMatchStart* NewMatchStart() {
    auto* start = new qv::CmdMatchStart;
    start->routing.apptype = 15;
    start->routing.appid = 41;
    start->message.set_match_id(7);
    start->message.set_game_kind(502);
    qv::AttachReleaser(start);
    return start;
  }

  std::string dir_;
  std::string record_;
  FakeHost host_;
  PlanTableEnv env_;
};

TEST_F(PlanGameTest, MatchStartRunsTheGameAndMessagesFlowBothWays) {
  LogCapture logs;
  Game(fake_game::kEnvExpect, "3");
  Game(fake_game::kEnvSend, "14:3:0a0b0c0d,14:9:");
  Game(fake_game::kEnvSendAfter, "1");
  Game(fake_game::kEnvExit, "5");
  PlanManager manager(env_);
  qv::CmdMatchStart* start = NewMatchStart();
  manager.OnMatchClientCmd(*start, 33, 0);
  qv::ReleaseCommand(start);
  ASSERT_EQ(manager.table_count(), 1u);

  ASSERT_TRUE(host_.WaitGameMessages(2));
  ASSERT_TRUE(WaitInactive(manager, 33));
  {
    std::lock_guard<std::mutex> lock(host_.mu);
    ASSERT_EQ(host_.game_messages.size(), 2u);
    EXPECT_EQ(host_.game_messages[0].kind, 14);
    EXPECT_EQ(host_.game_messages[0].subid, 3);
    EXPECT_EQ(host_.game_messages[0].body, "\x0a\x0b\x0c\x0d");
    EXPECT_EQ(host_.game_messages[1].subid, 9);
    EXPECT_EQ(host_.game_messages[1].body, "");
  }

  std::vector<std::string> rec = Record();
  ASSERT_FALSE(rec.empty());
  EXPECT_EQ(rec[0], "params process_id:" + std::to_string(getpid()) +
                        "|user_id:900|cmd_id:15|app_id:41|app_type:15|plan_id:33|match_id:7|"
                        "match_group:0|rank_appid:0|rank_objectid:0|mp_id:0|game_kind:502|"
                        "exename:" FAKE_GAME_PATH "|resfolder:res502");
  std::vector<std::pair<int, int>> carried;
  for (const std::string& line : rec) {
    if (line.rfind("recv ", 0) != 0)
      continue;
    EXPECT_EQ(RecordField(line, "type"), "0");
    EXPECT_EQ(RecordField(line, "kind"), "12");
    EXPECT_EQ(RecordField(line, "subid"), "3");
    qv::gate::TransferDataReq wrap;
    ASSERT_TRUE(wrap.ParseFromString(Unhex(RecordField(line, "body")))) << line;
    carried.emplace_back(wrap.data_cmd_kind(), wrap.data_cmd_subid());
  }
  EXPECT_EQ(carried, (std::vector<std::pair<int, int>>{{13, 2}, {18, 14}, {14, 15}}));
  EXPECT_EQ(rec.back(), "exit 5");

  EXPECT_EQ(logs.Count("程序现在应当退出了:5,"), 1);
  // Released at the key's next match command, which reaches nobody.
  qv::CmdMatchPrize prize;
  manager.OnMatchClientCmd(prize, 33, 0);
  EXPECT_EQ(manager.table_count(), 0u);
  EXPECT_EQ(logs.Count("程序现在应当退出了:"), 1);
}

TEST_F(PlanGameTest, AStartingJoinReplyRunsTheGame) {
  Game(fake_game::kEnvExpect, "3");
  PlanManager manager(env_);
  auto* join = new qv::CmdJoinRsp;
  join->routing.apptype = 15;
  join->routing.appid = 6;
  join->message.set_join_result(qv::matchclient::JoinRsp::JOIN_RESULT_ACCEPTED);
  join->message.set_start_game(true);
  join->message.set_match_id(70);
  join->message.set_game_kind(502);
  qv::AttachReleaser(join);
  manager.OnMatchClientCmd(*join, 9, 0);
  qv::ReleaseCommand(join);
  ASSERT_EQ(manager.table_count(), 1u);
  ASSERT_TRUE(WaitInactive(manager, 9));

  std::vector<std::string> rec = Record();
  ASSERT_FALSE(rec.empty());
  EXPECT_EQ(rec[0], "params process_id:" + std::to_string(getpid()) +
                        "|user_id:900|cmd_id:4|app_id:6|app_type:15|plan_id:9|match_id:70|"
                        "match_group:0|rank_appid:0|rank_objectid:0|mp_id:0|game_kind:502|"
                        "exename:" FAKE_GAME_PATH "|resfolder:res502");
  std::vector<std::pair<int, int>> carried;
  for (const std::string& line : rec) {
    if (line.rfind("recv ", 0) != 0)
      continue;
    qv::gate::TransferDataReq wrap;
    ASSERT_TRUE(wrap.ParseFromString(Unhex(RecordField(line, "body")))) << line;
    carried.emplace_back(wrap.data_cmd_kind(), wrap.data_cmd_subid());
  }
  EXPECT_EQ(carried, (std::vector<std::pair<int, int>>{{13, 2}, {18, 14}, {14, 4}}));
}

TEST_F(PlanGameTest, ForwardedCommandsReachTheRunningGame) {
  Game(fake_game::kEnvExpect, "5");
  Game(fake_game::kEnvMode, "echo");
  PlanManager manager(env_);
  qv::CmdMatchStart* start = NewMatchStart();
  manager.OnMatchClientCmd(*start, 8, 0);
  qv::ReleaseCommand(start);
  qv::CmdMatchPrize prize;
  manager.OnMatchClientCmd(prize, 8, 0);
  qv::CMDNetwork_OnConnectionClose closed;
  manager.OnNetworkCmd(closed);
  // The echo answers each of the five frames; all of them come back to the gate side.
  ASSERT_TRUE(host_.WaitGameMessages(5));
  ASSERT_TRUE(WaitInactive(manager, 8));
  std::lock_guard<std::mutex> lock(host_.mu);
  EXPECT_EQ(host_.game_messages.back().kind, 9);
  EXPECT_EQ(host_.game_messages.back().subid, 1);
}

// A game that misbehaves never crashes or hangs the hall: its exit is still noticed and the
// table released.
TEST_F(PlanGameTest, MisbehavingGames) {
  struct Case {
    const char* mode;
    const char* exit_code;
  } cases[] = {
      {"never-read", "0"},     {"die-holding-token", "3"}, {"die-holding-mutex", "4"},
      {"corrupt-blocks", "0"}, {"corrupt-length", "0"},
  };
  for (const Case& c : cases) {
    LogCapture logs;
    Game(fake_game::kEnvMode, c.mode);
    Game(fake_game::kEnvExit, c.exit_code);
    Game(fake_game::kEnvTimeout, "600");
    Game(fake_game::kEnvExpect, "3");
    PlanManager manager(env_);
    qv::CmdMatchStart* start = NewMatchStart();
    manager.OnMatchClientCmd(*start, 12, 0);
    qv::ReleaseCommand(start);
    ASSERT_EQ(manager.table_count(), 1u) << c.mode;
    // Keep feeding the game while it misbehaves.
    for (int i = 0; i < 5; ++i) {
      qv::CmdMatchPrize prize;
      manager.OnMatchClientCmd(prize, 12, 0);
    }
    ASSERT_TRUE(WaitInactive(manager, 12)) << c.mode;
    EXPECT_EQ(logs.Count(std::string("程序现在应当退出了:") + c.exit_code + ","), 1) << c.mode;
    qv::CmdMatchPrize prize;
    manager.OnMatchClientCmd(prize, 12, 0);
    EXPECT_EQ(manager.table_count(), 0u) << c.mode;
  }
}

}  // namespace
}  // namespace qvc
