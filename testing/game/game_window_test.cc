// The demo game's window through SDL's offscreen driver, and the fake game with its window as a
// process of its own, beside a channel this test holds as the hall would.
#include "testing/game/game_window.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "client/client.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/ipc/ipc_frames.h"
#include "gateclient/ipc/win_ipc_impl.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "skinui/container.h"
#include "skinui/label.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "testing/game/fake_game_options.h"
#include "testing/game/game_record.h"

namespace fake_game {
namespace {

using namespace std::chrono_literals;

constexpr char kParams[] =
    "  process_id:4242|user_id:10001|cmd_id:15|app_id:41|app_type:15|plan_id:33|match_id:7|"
    "match_group:3|rank_appid:4|rank_objectid:5|mp_id:6|game_kind:502|"
    "exename:demogame/fake_game|resfolder:demogame";

// Where the screenshots of this run go (kept for a person to look at).
std::string ShotPath(const std::string& name) {
  const char* dir = ::getenv("TARVIX_SCREENSHOT_DIR");
  return platform::JoinPath(dir != nullptr && *dir != '\0' ? dir : "/tmp", name);
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    if (condition())
      return true;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

class GameWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "offscreen", 0); }
  void SetUp() override {
    // One backend for the process, brought up once.
    static skinui::SdlBackend* backend = new skinui::SdlBackend;
    ASSERT_TRUE(backend->ok()) << backend->error();
    skinui::SetBackend(backend);
  }
  void TearDown() override { skinui::SetBackend(nullptr); }

  skinui::TestDriver driver_;
};

TEST_F(GameWindowTest, ShowsTheLaunchFieldsAndTheHallsMessagesInOrder) {
  GameWindow window(ParseLaunchFields(kParams));
  std::vector<std::string> shown;
  window.on_shown = [&](const std::string& text) { shown.push_back(text); };
  ASSERT_TRUE(window.Open());
  EXPECT_EQ(window.GetTitle(), "演示游戏 · 方案 33");
  EXPECT_TRUE(window.IsVisible());
  EXPECT_EQ(window.FindControl("subtitle")->GetText(),
            "由大厅启动 · 方案 33 · 比赛 7 · 用户 10001");
  EXPECT_EQ(window.FindControl("status")->GetText(), "等待大厅的消息…");

  const std::vector<std::string> lines = {
      "(9,0) 网关已连接",
      "(13,2) 登录回复 · 结果 0 · 用户 10001 · 昵称 小明",
      "(18,14) 比赛详情 · 方案 33 · 比赛服务 41",
      "(14,15) 比赛开始 · 比赛 7 · 分组 3 · 游戏类型 502 · 比赛进程 6",
  };
  // From another thread, as the channel thread hands them over.
  std::thread channel([&] {
    for (const std::string& line : lines)
      EXPECT_TRUE(window.inbox()->AddLine(line));
  });
  channel.join();
  driver_.RunUntilIdle();
  EXPECT_EQ(window.ShownLines(), lines);
  EXPECT_EQ(shown, lines);
  EXPECT_EQ(window.FindControl("status")->GetText(), "已收到 4 条消息");

  const std::string shot = ShotPath("fake_game_window.png");
  ASSERT_TRUE(skinui::TestDriver::SaveScreenshot(window, shot));
  EXPECT_TRUE(platform::FileExists(shot));

  // The person closes it: the window goes and its loop ends.
  EXPECT_TRUE(driver_.Click(window, "quitbtn"));
  EXPECT_FALSE(driver_.RunUntilIdle());
  EXPECT_FALSE(skinui::IsWindow(window.GetHWND()));
  EXPECT_FALSE(window.inbox()->AddLine("too late"));
}

TEST_F(GameWindowTest, KeepsTheNewestRowsAndCountsOn) {
  GameWindow window(ParseLaunchFields(kParams));
  ASSERT_TRUE(window.Open());
  const size_t total = kMaxShownLines + 7;
  for (size_t i = 1; i <= total; ++i)
    window.inbox()->AddLine("line " + std::to_string(i));
  driver_.RunUntilIdle();
  const std::vector<std::string> shown = window.ShownLines();
  ASSERT_EQ(shown.size(), kMaxShownLines);
  EXPECT_EQ(shown.front(), "line 8");
  EXPECT_EQ(shown.back(), "line " + std::to_string(total));
  EXPECT_EQ(window.FindControl("status")->GetText(), "已收到 " + std::to_string(total) + " 条消息");
  window.Close();
  EXPECT_FALSE(driver_.RunUntilIdle());
}

TEST_F(GameWindowTest, FieldValuesAreShownAsTheyCameAndTextsBeforeTheWindowWait) {
  const std::string hostile = "a\"b<c>&d";
  const std::string long_value(kMaxFieldCharacters + 10, 'x');
  GameWindow window(
      {{"plan_id", hostile}, {"exename", long_value}, {"odd", std::string("x\x01y")}});
  window.inbox()->SetStatus("早到的状态");
  window.inbox()->AddLine("早到的消息");
  ASSERT_TRUE(window.Open());
  driver_.RunUntilIdle();
  // The rows hold caption and value labels; collect every label text of the window.
  std::vector<std::string> texts;
  std::function<void(skinui::CControlUI*)> walk = [&](skinui::CControlUI* c) {
    if (c->GetInterface("Label") != nullptr)
      texts.push_back(c->GetText());
    if (auto* box = static_cast<skinui::CContainerUI*>(c->GetInterface("Container"))) {
      for (int i = 0; i < box->GetCount(); ++i)
        walk(box->GetItemAt(i));
    }
  };
  walk(window.GetPaintManager().GetRoot());
  auto has = [&](const std::string& t) {
    return std::find(texts.begin(), texts.end(), t) != texts.end();
  };
  EXPECT_TRUE(has(hostile));
  EXPECT_TRUE(has(std::string(kMaxFieldCharacters, 'x') + "…"));
  EXPECT_TRUE(has("x y"));
  EXPECT_EQ(window.ShownLines(), std::vector<std::string>{"早到的消息"});
  // The status of the row that came after it.
  EXPECT_EQ(window.FindControl("status")->GetText(), "已收到 1 条消息");
  window.Close();
  EXPECT_FALSE(driver_.RunUntilIdle());
}

// The game as its own process, its channel opened by this test under the process id of a
// stand-in hall (a sleeping helper) whose end the game must notice.
TEST(FakeGameWindowProcessTest, ShowsWhatTheHallSendsAndEndsWhenTheHallHasGone) {
  platform::ProcessLauncher& launcher = platform::SystemProcessLauncher();
  std::string error;
  platform::LaunchOptions hall_options;
  hall_options.program = "/bin/sleep";
  hall_options.args = {"60"};
  std::unique_ptr<platform::Process> hall = launcher.Launch(hall_options, &error);
  ASSERT_NE(hall, nullptr) << error;
  const uint32_t hall_pid = static_cast<uint32_t>(hall->pid());
  constexpr uint64_t kKey = 33;

  struct Drop : qvc::IWinIpcCallback {
    void OnIpcData(const void*, uint32_t) override {}
  } drop;
  qvc::WinIpcImpl channel;
  ASSERT_TRUE(channel.Open(hall_pid, kKey, &drop, false));

  const std::string dir = "/tmp/tvx_game_window_" + std::to_string(getpid());
  ASSERT_TRUE(platform::MakeDirectories(dir));
  const std::string record = dir + "/record.txt";
  const std::string shot = ShotPath("fake_game_process.png");
  platform::RemoveFile(shot);
  platform::LaunchOptions game;
  game.program = FAKE_GAME_PATH;
  game.args = {"process_id:" + std::to_string(hall_pid) +
               "|user_id:10001|cmd_id:15|app_id:41|app_type:15|plan_id:33|match_id:7|"
               "match_group:3|rank_appid:4|rank_objectid:5|mp_id:6|game_kind:502|"
               "exename:fake_game|resfolder:demogame"};
  game.extra_env = {std::string(kEnvWindow) + "=1", std::string(kEnvRecord) + "=" + record,
                    std::string(kEnvScreenshot) + "=" + shot, "SDL_VIDEODRIVER=offscreen"};
  std::unique_ptr<platform::Process> process = launcher.Launch(game, &error);
  ASSERT_NE(process, nullptr) << error;

  auto lines = [&] {
    std::string text;
    platform::ReadFile(record, &text);
    return RecordLines(text);
  };
  auto has = [&](const std::string& line) {
    const std::vector<std::string> l = lines();
    return std::find(l.begin(), l.end(), line) != l.end();
  };
  ASSERT_TRUE(WaitFor([&] { return has("open ok"); }));
  EXPECT_TRUE(has("window shown 演示游戏 · 方案 33"));

  auto transfer = [](uint32_t kind, uint32_t subid, const std::string& data) {
    qv::gate::TransferDataReq t;
    t.set_data_cmd_kind(kind);
    t.set_data_cmd_subid(subid);
    t.set_data(data);
    qvc::HallFrame f;
    f.kind = 12;
    f.subid = 3;
    t.SerializePartialToString(&f.body);
    return qvc::EncodeHallFrame(f);
  };
  qv::client::LoginRsp login;
  login.set_login_result(qv::client::LoginRsp::SUCCESS);
  login.set_user_id(10001);
  login.mutable_base_info()->set_nick_name("小明");
  qv::matchclient::MatchStart start;
  start.set_match_id(7);
  start.set_game_kind(502);
  for (const std::string& frame : {transfer(13, 2, login.SerializePartialAsString()),
                                   transfer(14, 15, start.SerializeAsString())}) {
    channel.Send(frame.data(), static_cast<uint32_t>(frame.size()));
  }
  ASSERT_TRUE(WaitFor([&] {
    return has("shown (14,15) 比赛开始 · 比赛 7 · 分组 0 · 游戏类型 502 · 比赛进程 0");
  })) << lines().size();
  EXPECT_TRUE(has("shown (13,2) 登录回复 · 结果 0 · 用户 10001 · 昵称 小明"));
  EXPECT_TRUE(platform::FileExists(shot));

  // The hall ends: the game notices, closes its window and ends by itself.
  ASSERT_TRUE(hall->Terminate());
  platform::ExitStatus status;
  ASSERT_EQ(hall->Wait(5000, &status), platform::WaitOutcome::kExited);
  ASSERT_EQ(process->Wait(20000, &status), platform::WaitOutcome::kExited)
      << "the game kept running after its hall had gone";
  EXPECT_EQ(status.code, 0);
  const std::vector<std::string> l = lines();
  ASSERT_GE(l.size(), 3u);
  EXPECT_EQ(l[l.size() - 3], "hall gone");
  EXPECT_EQ(l[l.size() - 2], "window closed");
  EXPECT_EQ(l.back(), "exit 0");
  channel.Close();
  platform::RemoveFile(record);
  rmdir(dir.c_str());
}

// Without a usable display the game says so and goes on as the plain fake game.
TEST(FakeGameWindowProcessTest, WithoutADisplayTheGameRunsWithoutItsWindow) {
  const std::string record = "/tmp/tvx_game_nowindow_" + std::to_string(getpid()) + ".txt";
  platform::LaunchOptions game;
  game.program = FAKE_GAME_PATH;
  game.args = {"user_id:1|"};
  game.extra_env = {std::string(kEnvWindow) + "=1", std::string(kEnvRecord) + "=" + record,
                    "SDL_VIDEODRIVER=no-such-driver"};
  std::string error;
  std::unique_ptr<platform::Process> process =
      platform::SystemProcessLauncher().Launch(game, &error);
  ASSERT_NE(process, nullptr) << error;
  platform::ExitStatus status;
  ASSERT_EQ(process->Wait(20000, &status), platform::WaitOutcome::kExited);
  EXPECT_EQ(status.code, kExitNoChannel);
  std::string text;
  ASSERT_TRUE(platform::ReadFile(record, &text));
  const std::vector<std::string> l = RecordLines(text);
  ASSERT_EQ(l.size(), 4u) << text;
  EXPECT_EQ(l[0], "params user_id:1|");
  EXPECT_EQ(l[1].rfind("window unavailable ", 0), 0u) << l[1];
  EXPECT_EQ(l[2], "no channel");
  EXPECT_EQ(l[3], "exit " + std::to_string(kExitNoChannel));
  platform::RemoveFile(record);
}

}  // namespace
}  // namespace fake_game
