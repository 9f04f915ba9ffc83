// The road of a match end to end: the local gate starts a match for the logged-in hall, the real
// client frame dispatches it to its plan manager, whose table launches the fake game client as a
// second process and bridges the match between the gate and the game.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "client/client.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/client_frame/frame_plans.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/config/qconfig.h"
#include "gateclient/plan_table/log_capture_test.h"
#include "interface/command_ids.h"
#include "platform/file_util.h"
#include "testing/game/fake_game_options.h"
#include "testing/game/game_record.h"
#include "testing/gate/hall_services.h"

namespace qvc {
namespace {

using fake_game::RecordField;
using fake_game::Unhex;

using namespace std::chrono_literals;
using e2e::WaitUntil;
using testing_fakes::LogCapture;

// A match key whose high half is set, so a key cut to 32 bits anywhere on the way shows.
constexpr uint64_t kKey = 0x0000000200000021ull;
constexpr uint32_t kPlanId = 0x21;
constexpr uint32_t kMatchAppId = 41;
constexpr const char kExitLog[] = "程序现在应当退出了:";


// One frame the game recorded, with the command a type-0 frame carries.
struct GameReceived {
  std::string type, kind, subid;
  uint32_t inner_kind = 0, inner_subid = 0;
  std::string inner_data;
};

// The hall as the program builds it, against a local gate with its hall services: a keyed hello,
// a login, and the game list naming the fake game client for game kind 502.
class Hall {
 public:
  // `game_env` are the fake game's settings; they are set before any thread starts, since the
  // game inherits the environment.
  explicit Hall(const std::vector<std::pair<const char*, std::string>>& game_env) {
    static int counter = 0;
    folder_ = "/tmp/tvx_game_e2e_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    platform::MakeDirectories(folder_);
    record_ = platform::JoinPath(folder_, "record.txt");
    for (const char* name : {fake_game::kEnvMode, fake_game::kEnvSend, fake_game::kEnvExpect,
                             fake_game::kEnvSendAfter, fake_game::kEnvTimeout, fake_game::kEnvExit})
      unsetenv(name);
    setenv(fake_game::kEnvRecord, record_.c_str(), 1);
    for (const auto& [name, value] : game_env)
      setenv(name, value.c_str(), 1);

    SetMainWindowPoster(&window_);
    testgate::HelloReply hello;
    hello.rsp_flag = kHelloEncryptInfo | kHelloLoginToken;
    hello.key = "game-e2e";
    hello.login_token = 0x77;
    gate_.SetHelloReply(hello);
    services_.SetUserId(10001);
    services_.SetMatchDetail(kPlanId, kMatchAppId);
    started_ = gate_.Start();

    ClientFrameOptions options;
    options.clock = &frame_clock_;
    options.client_ini = platform::JoinPath(folder_, "client.ini");
    options.addr_ini = platform::JoinPath(folder_, "addr.ini");
    started_ =
        started_ &&
        platform::WriteFileAtomic(options.client_ini,
                                  "[main]\ngameid=501,502\ngameexe=zop," FAKE_GAME_PATH
                                  "\nresource=zop,res502\n") &&
        platform::WriteFileAtomic(
            options.addr_ini, "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate_.port()) + "\n");
    frame_ = std::make_unique<ClientFrame>(options);
    QConfig config(options.client_ini);
    config.Load();
    FramePlansOptions plan_options;
    plan_options.games = GameListFromConfig(config);
    plan_options.program_dir = folder_;
    plans_ = std::make_unique<FramePlans>(*frame_, std::move(plan_options));
  }

  ~Hall() {
    plans_.reset();  // stops the frame first
    frame_.reset();
    gate_.Stop();
    SetMainWindowPoster(nullptr);
    std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  // Connects, says hello, logs in and keeps the plan's match detail, as a hall does before its
  // match starts.
  bool LogInWithTheDetailKept() {
    if (!started_)
      return false;
    frame_->session().SetCredentials("dora", "pa55");
    frame_->requests().StartLogin();
    if (!frame_->Start())
      return false;
    if (!WaitUntil([&] { return frame_->session().state() == GateSession::kLoggedIn; }))
      return false;
    services_.SendMatchDetail(-1, kPlanId);
    return WaitUntil([&] { return frame_->dispatch().FindMatchDetail(kPlanId) != nullptr; });
  }

  void StartMatch() {
    testgate::ScriptedMatchStart start;
    start.match_id = 7;
    start.match_group = 3;
    start.rank_appid = 4;
    start.rank_objectid = 5;
    start.mp_id = 6;
    start.game_kind = 502;
    services_.SendMatchStart(-1, kKey, kMatchAppId, start);
  }
  void SendPrize(const std::string& text) {
    qv::matchclient::MatchPrize prize;
    prize.set_text_2(text);
    services_.SendMatchMessage(-1, kKey, kMatchAppId, qv::cmd::matchclient::kMatchPrize,
                               prize.SerializeAsString());
  }

  std::shared_ptr<PlanTable> Table() { return plans_->manager().FindTable(kKey); }
  // Waits until the key's game has exited and its table has noticed.
  bool WaitGameEnded() {
    return WaitUntil(
        [&] {
          std::shared_ptr<PlanTable> table = Table();
          return table != nullptr && !table->active();
        },
        20s);
  }

  std::vector<std::string> Record() const {
    std::string text;
    platform::ReadFile(record_, &text);
    return fake_game::RecordLines(text);
  }
  // The record as one text, for failure messages.
  std::string RecordText() const {
    std::string text;
    platform::ReadFile(record_, &text);
    return text;
  }
  std::vector<GameReceived> Received() const {
    std::vector<GameReceived> out;
    for (const std::string& line : Record()) {
      if (line.rfind("recv ", 0) != 0)
        continue;
      GameReceived r;
      r.type = RecordField(line, "type");
      r.kind = RecordField(line, "kind");
      r.subid = RecordField(line, "subid");
      qv::gate::TransferDataReq wrap;
      if (r.type == "0" && wrap.ParseFromString(Unhex(RecordField(line, "body")))) {
        r.inner_kind = wrap.data_cmd_kind();
        r.inner_subid = wrap.data_cmd_subid();
        r.inner_data = wrap.data();
      }
      out.push_back(std::move(r));
    }
    return out;
  }

  testgate::LocalGate& gate() { return gate_; }
  ClientFrame& frame() { return *frame_; }
  PlanManager& manager() { return plans_->manager(); }

 private:
  std::string folder_;
  std::string record_;
  bool started_ = false;
  e2e::FinishingWindow window_;
  testgate::LocalGate gate_;
  testgate::HallServices services_{gate_};
  platform::ManualClock frame_clock_;
  std::unique_ptr<ClientFrame> frame_;
  std::unique_ptr<FramePlans> plans_;
};

TEST(GameEndToEndTest, MatchStartLaunchesTheGameAndTheMatchFlowsBothWaysThroughTheGate) {
  // The game sends one message for the gate at once, then takes six frames and exits with 5.
  Hall hall({{fake_game::kEnvSend, "14:3:0102030405060708"},
             {fake_game::kEnvExpect, "6"},
             {fake_game::kEnvExit, "5"},
             {fake_game::kEnvTimeout, "20000"}});
  ASSERT_TRUE(hall.LogInWithTheDetailKept());
  LogCapture logs;
  const size_t frames_before = hall.gate().Frames().size();
  hall.StartMatch();

  // The launch: the configured executable with the exact parameters of the MatchStart.
  ASSERT_TRUE(WaitUntil([&] { return hall.Table() != nullptr; }));
  const std::string params =
      "process_id:" + std::to_string(getpid()) +
      "|user_id:10001|cmd_id:15|app_id:41|app_type:13|plan_id:" + std::to_string(kKey) +
      "|match_id:7|match_group:3|rank_appid:4|rank_objectid:5|mp_id:6|"
      "game_kind:502|exename:" FAKE_GAME_PATH "|resfolder:res502";
  EXPECT_EQ(hall.Table()->command_line(), FAKE_GAME_PATH "  " + params);

  // Game to gate: the game's frame leaves through the frame's send path, enciphered with the
  // session key like every frame after the hello.
  testgate::ReceivedFrame from_game;
  ASSERT_TRUE(hall.gate().WaitForFrame(14, 3, frames_before, 10s, &from_game));
  EXPECT_TRUE(from_game.enciphered);
  EXPECT_EQ(from_game.payload, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8));

  // Gate to game: the stored login reply, the kept detail and the MatchStart came first; a match
  // message for the key follows them.
  ASSERT_TRUE(WaitUntil([&] { return hall.Received().size() >= 3; }));
  hall.SendPrize("first prize");
  ASSERT_TRUE(WaitUntil([&] { return hall.Received().size() >= 4; }));
  // The gate connection drops and comes back: the running game hears of both.
  hall.gate().CloseConnection(-1);
  ASSERT_TRUE(hall.WaitGameEnded()) << hall.RecordText();

  const std::vector<std::string> record = hall.Record();
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record[0], "params " + params);
  EXPECT_EQ(record.back(), "exit 5");
  const std::vector<GameReceived> got = hall.Received();
  ASSERT_EQ(got.size(), 6u);
  struct Expected {
    const char* type;
    const char* kind;
    const char* subid;
    uint32_t inner_kind, inner_subid;
  } expected[] = {
      {"0", "12", "3", 13, 2},  {"0", "12", "3", 18, 14}, {"0", "12", "3", 14, 15},
      {"0", "12", "3", 14, 19}, {"1", "9", "1", 0, 0},    {"1", "9", "0", 0, 0},
  };
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].type, expected[i].type) << i;
    EXPECT_EQ(got[i].kind, expected[i].kind) << i;
    EXPECT_EQ(got[i].subid, expected[i].subid) << i;
    EXPECT_EQ(got[i].inner_kind, expected[i].inner_kind) << i;
    EXPECT_EQ(got[i].inner_subid, expected[i].inner_subid) << i;
  }
  qv::client::LoginRsp login;
  ASSERT_TRUE(login.ParseFromString(got[0].inner_data));
  EXPECT_EQ(login.user_id(), 10001u);
  qv::hallclient::GetMatchDetailRsp detail;
  ASSERT_TRUE(detail.ParseFromString(got[1].inner_data));
  EXPECT_EQ(detail.plan_id(), kPlanId);
  EXPECT_EQ(detail.app_id(), kMatchAppId);
  qv::matchclient::MatchStart start;
  ASSERT_TRUE(start.ParseFromString(got[2].inner_data));
  EXPECT_EQ(start.match_id(), 7u);
  qv::matchclient::MatchPrize prize;
  ASSERT_TRUE(prize.ParseFromString(got[3].inner_data));
  EXPECT_EQ(prize.text_2(), "first prize");

  // The exit is logged once; the ended table stays until the key's next match command.
  EXPECT_EQ(logs.Count(std::string(kExitLog) + "5,"), 1);
  EXPECT_EQ(hall.manager().table_count(), 1u);
  // The prize goes to the new connection, which the frame has hello'd.
  ASSERT_TRUE(hall.gate().WaitForAccepted(2, 5s));
  ASSERT_TRUE(WaitUntil([&] { return hall.frame().link()->hello_done; }));
  hall.SendPrize("too late");
  ASSERT_TRUE(WaitUntil([&] { return hall.manager().table_count() == 0; }));
  EXPECT_EQ(logs.Count(kExitLog), 1);
  EXPECT_EQ(hall.Received().size(), 6u);
}

// A game that misbehaves while the gate keeps sending its match more than its queue holds: the
// hall's job thread keeps serving the gate, the exit is logged once and the table is released.
TEST(GameEndToEndTest, AMisbehavingGameNeitherCrashesNorHangsTheHall) {
  struct Case {
    const char* mode;
    const char* exit_code;
    bool sends;  // the game's message is queued before it misbehaves
  } cases[] = {
      {"never-read", "0", true},
      {"die-holding-token", "3", false},
      {"corrupt-length", "4", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Hall hall({{fake_game::kEnvMode, c.mode},
               {fake_game::kEnvSend, "14:3:0102030405060708"},
               {fake_game::kEnvExpect, "3"},
               {fake_game::kEnvExit, c.exit_code},
               {fake_game::kEnvTimeout, "1500"}});
    ASSERT_TRUE(hall.LogInWithTheDetailKept());
    LogCapture logs;
    const size_t frames_before = hall.gate().Frames().size();
    hall.StartMatch();
    ASSERT_TRUE(WaitUntil([&] { return hall.Table() != nullptr; }));
    // About 2.4 MB for a queue of 1 MB.
    for (int i = 0; i < 40; ++i)
      hall.SendPrize(std::string(60000, static_cast<char>('a' + i % 26)));

    // The job thread still answers the gate: a detail sent after the flood is kept.
    hall.gate().Act(-1, [](testgate::GateConnection& connection) {
      qv::hallclient::GetMatchDetailRsp detail;
      detail.set_plan_id(99);
      testgate::SendTransferOn(connection, 18, 14, detail.SerializeAsString(), 5, 2);
    });
    EXPECT_TRUE(WaitUntil([&] { return hall.frame().dispatch().FindMatchDetail(99) != nullptr; }));
    if (c.sends) {
      EXPECT_TRUE(hall.gate().WaitForFrame(14, 3, frames_before, 10s));
    }

    // A game that dies at once may already be released by the flood's next message.
    const std::string exit_log = std::string(kExitLog) + c.exit_code + ",";
    ASSERT_TRUE(WaitUntil([&] { return logs.Count(exit_log) > 0; }, 20s)) << hall.RecordText();
    hall.SendPrize("after the end");
    ASSERT_TRUE(WaitUntil([&] { return hall.manager().table_count() == 0; }));
    EXPECT_EQ(logs.Count(kExitLog), 1);
    EXPECT_TRUE(hall.frame().connected());
  }
}

}  // namespace
}  // namespace qvc
