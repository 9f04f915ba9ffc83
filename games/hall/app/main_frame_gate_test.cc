// The main window end to end: the real hall runtime under the real main window, the player logging
// in through the real login dialog to the local gate over loopback, whose answers (the player's
// records and funds, a catalogue of a few hundred plans, the recommended list) fill the window
// through the hand-over. Then the gate goes away and comes back on another address with new
// answers: the hall logs in again by itself and the window shows the new ones. Drawn for real
// (SDL offscreen), so the window can be looked at.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/hall_plan_manager.h"
#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/hot_match_list.h"
#include "games/hall/app/login_dialog.h"
#include "games/hall/app/main_frame.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/register_dialog.h"
#include "games/hall/app/testing/catalogue_service.h"
#include "games/hall/app/ui_left_group.h"
#include "games/hall/app/ui_plan_list.h"
#include "gateclient/client_frame/e2e_support.h"
#include "gateclient/client_frame/gate_client_proc.h"
#include "gateclient/client_frame/gate_session.h"
#include "platform/file_util.h"
#include "platform/registry.h"
#include "platform/web_link.h"
#include "skinui/button.h"
#include "skinui/message_queue.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "testing/gate/hall_services.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using namespace std::chrono_literals;

constexpr char kAccount[] = "player01";
constexpr char kPassword[] = "secret99";
constexpr uint64_t kUserId = 10001;
constexpr int kPlansPerGroup = 120;

class RecordingLinks : public platform::WebLinkOpener {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

int64_t Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
}

std::vector<testgate::ScriptedFund> Funds(uint64_t gold, uint64_t tickets, uint64_t points) {
  return {{19, 5, "体力"}, {20, gold, "金币"}, {21, tickets, "奖券"}, {22, points, "积分"}};
}

// Item rows of the plans the tree shows, with their start points.
int RowsWithStartPoints(UIPlanList& tree) {
  int count = 0;
  for (const auto& type : tree.root().children()) {
    for (const auto& item : type->children()) {
      if (item->data().signup_button != nullptr && item->data().signup_button->IsVisible())
        ++count;
    }
  }
  return count;
}

class MainFrameGateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
    ASSERT_TRUE(backend->ok()) << backend->error();
    skinui::SetBackend(backend);
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);

    testgate::HelloReply hello;
    hello.rsp_flag = qvc::kHelloEncryptInfo | qvc::kHelloLoginToken;
    hello.key = "main-frame-key";
    hello.login_token = 0x5151;
    gate_.SetHelloReply(hello);
    services_.AddAccount({kAccount, kPassword, kUserId, "牌桌上的风", 75});
    services_.SetFunds(kUserId, Funds(123456789012, 35, 7));
    ASSERT_TRUE(gate_.Start());
    ASSERT_TRUE(platform::MakeDirectories(platform::JoinPath(program_, "LobbyData")));
    ASSERT_NO_FATAL_FAILURE(PointAddressesAtTheGate());
    // The start points come every second, so a new catalogue version is seen at once.
    ASSERT_TRUE(
        update_server::PutFile(program_, "LobbyData/client.ini", "[main]\n开赛点获取间隔秒数=1\n"));

    env_.program_dir = program_;
    env_.my_match = &my_match_;
    env_.account = &account_;
    env_.accounts = &accounts_;
    env_.links = &links_;
    // The composition of the program itself (tarvix_main.cc), over this test's folders.
    env_.start_hall = [this](qvc::NetResultPoster* poster, HWND window) -> HallGate* {
      HallRuntimeOptions options;
      options.program_folder = program_;
      options.poster = poster;
      options.make_manager = HallPlanManagerFactory(my_match_, PostToWindow(window));
      runtime_ = std::make_unique<HallRuntime>(options);
      if (!runtime_->Start()) {
        runtime_.reset();
        return nullptr;
      }
      return runtime_.get();
    };
    env_.stop_hall = [this] {
      if (runtime_ != nullptr)
        runtime_->Stop();
    };
    env_.show_login = [this](HWND owner, HallGate& gate) -> UINT {
      LoginServices services;
      services.gate = &gate;
      services.account = &account_;
      services.store = &accounts_;
      services.links = &links_;
      services.program_dir = program_;
      services.clock = &platform::SystemClock();
      services.captcha_throttle = &captcha_throttle_;
      return ShowLoginDialog(owner, services);
    };
    env_.load_game_list = [this] { ++game_list_loads_; };
  }

  void TearDown() override {
    if (frame_ != nullptr && skinui::IsWindow(frame_->GetHWND()))
      frame_->DestroyWindow();  // stops the runtime before the window goes
    driver_.RunUntilIdle();
    MSG msg;
    while (skinui::PeekMessage(&msg)) {
    }
    EXPECT_FALSE(runtime_ != nullptr && runtime_->running());
    gate_.Stop();
    skinui::SetBackend(nullptr);
  }

  void PointAddressesAtTheGate() {
    ASSERT_TRUE(platform::WriteFileAtomic(
        platform::JoinPath(program_, "LobbyData/addr.ini"),
        "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate_.port()) + "\n"));
  }

  // Makes the main window as the start-up does; its first layout starts the hall and shows the
  // login dialog, in which the player types the account and the password and presses 登 录.
  void OpenAndLogIn() {
    skinui::TestDriver::AnswerNextModal([this](skinui::WindowImplBase& dialog) {
      driver_.Type(dialog, "LogonAccount", kAccount);
      driver_.Type(dialog, "PassWord", kPassword);
      driver_.Click(dialog, "LogonBtn");
      if (skinui::IsWindow(dialog.GetHWND()))
        dialog.Close(kLoginQuit);  // the login did not start: end the test's hall
    });
    frame_ = new MainFrame(env_);
    const std::string title = "main-frame-gate-test-" + std::to_string(getpid());
    ASSERT_NE(frame_->Create(nullptr, title.c_str(), WS_VISIBLE, 0, 0, 0, kMainWindowWidth,
                             kMainWindowHeight),
              nullptr);
    frame_->CenterWindow();
    driver_.RunUntilIdle();
    ASSERT_NE(frame_->gate(), nullptr) << "the login dialog was left";
  }

  // Runs the window thread until `done` holds.
  bool WaitOnWindow(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    return qvc::e2e::WaitUntil(
        [&] {
          driver_.RunUntilIdle();
          return done();
        },
        limit);
  }

  std::string Text(const char* name) {
    skinui::CControlUI* c = skinui::TestDriver::Find(*frame_, name);
    return c != nullptr ? std::string(c->GetText()) : "<missing>";
  }
  // The three fund figures, as "gold/tickets/points".
  std::string Figures() {
    return Text("fee1_text") + "/" + Text("fee2_text") + "/" + Text("fee3_text");
  }

  // The window shows `groups` games, the first chosen, its tree holding `plans` plans with their
  // start points, and a full hot list.
  bool CatalogueShown(size_t groups, int plans) {
    return frame_->group_bar()->options().size() == groups &&
           frame_->group_bar()->SelectedGroup() == 1 && frame_->plan_tree()->current_group() == 1 &&
           RowsWithStartPoints(*frame_->plan_tree()) == plans &&
           frame_->hot_list()->rows().size() == HotMatchList::kMaxRows;
  }

  testgate::LocalGate gate_;
  testgate::HallServices services_{gate_};
  testing::CatalogueService catalogue_{gate_, testing::MakeSampleHall(3, kPlansPerGroup, Today())};
  update_server::TempFolder folder_{"tvx_main_frame_gate"};
  const std::string program_ = folder_.Sub("program");
  platform::RegistryStore registry_{folder_.Sub("registry")};
  AccountStore accounts_{registry_, folder_.Sub("config")};
  AccountRecord account_;
  MyMatch my_match_;
  RecordingLinks links_;
  CaptchaThrottle captcha_throttle_;
  std::unique_ptr<HallRuntime> runtime_;
  MainFrameEnv env_;
  MainFrame* frame_ = nullptr;
  skinui::TestDriver driver_;
  int game_list_loads_ = 0;
};

TEST_F(MainFrameGateTest, LoggingInFillsTheWindowAndAGateThatComesBackFillsItAgain) {
  ASSERT_NO_FATAL_FAILURE(OpenAndLogIn());

  // The player, the funds and the catalogue, each from the gate's answers.
  ASSERT_TRUE(WaitOnWindow([&] {
    return Text("NickNameText") == "牌桌上的风" && Figures() == "123456789012/35/7" &&
           CatalogueShown(3, kPlansPerGroup);
  })) << Text("NickNameText")
      << " " << Figures() << " " << RowsWithStartPoints(*frame_->plan_tree());
  EXPECT_EQ(std::string(skinui::TestDriver::Find(*frame_, "UserFace")->GetBkImage()),
            "face/k005.bmp");
  ASSERT_EQ(services_.logins().size(), 1u);
  EXPECT_EQ(services_.logins()[0].account, kAccount);
  EXPECT_EQ(services_.logins()[0].token, 0x5151u);
  EXPECT_EQ(frame_->plan_tree()->root().children().size(), 4u);  // the game's four lists
  EXPECT_NE(frame_->plan_tree()->FindItem(104, 1002), nullptr);
  EXPECT_EQ(account_.funds.size(), 4u);
  EXPECT_EQ(game_list_loads_, 1);
  // The account is kept for the next start, under the id the gate gave.
  const auto saved = accounts_.LoadAccountList();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].account, kAccount);
  EXPECT_EQ(saved[0].user_id, kUserId);
  EXPECT_EQ(accounts_.LoadLastAccount(), kAccount);
  EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(
      *frame_, ::testing::TempDir() + "main_frame_gate_logged_in.png"));

  // The gate goes away: the hall loses it, keeps what it shows, and keeps calling.
  gate_.Stop();
  ASSERT_TRUE(WaitOnWindow([&] { return runtime_->session_state() == 0; }));
  EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND()));
  EXPECT_EQ(Text("NickNameText"), "牌桌上的风");

  // It comes back on another address, with a new nickname, funds and catalogue (a fourth game,
  // fewer plans each).
  constexpr int kNewPlansPerGroup = 90;
  services_.AddAccount({kAccount, kPassword, kUserId, "风又起", 3});
  services_.SetFunds(kUserId, Funds(99999, 1, 0));
  catalogue_.Replace(testing::MakeSampleHall(4, kNewPlansPerGroup, Today()), 2);
  ASSERT_TRUE(gate_.Start());
  ASSERT_NO_FATAL_FAILURE(PointAddressesAtTheGate());

  // The hall logs in again by itself (no dialog), and the window shows the new answers.
  ASSERT_TRUE(WaitOnWindow([&] {
    return Text("NickNameText") == "风又起" && Figures() == "99999/1/0" &&
           CatalogueShown(4, kNewPlansPerGroup);
  })) << Text("NickNameText")
      << " " << Figures() << " " << frame_->group_bar()->options().size() << " "
      << RowsWithStartPoints(*frame_->plan_tree());
  const auto logins = services_.logins();
  ASSERT_EQ(logins.size(), 2u);
  EXPECT_EQ(logins[1].account, kAccount);
  EXPECT_EQ(std::string(skinui::TestDriver::Find(*frame_, "UserFace")->GetBkImage()),
            "face/k003.bmp");
  EXPECT_EQ(frame_->plan_tree()->FindItem(101, 1100), nullptr);  // gone with the old catalogue
  EXPECT_NE(frame_->plan_tree()->FindItem(101, 1088), nullptr);
  EXPECT_EQ(game_list_loads_, 2);

  // The window goes: the runtime stops first, and nothing is left running.
  frame_->DestroyWindow();
  frame_ = nullptr;
  EXPECT_FALSE(runtime_->running());
  EXPECT_FALSE(qvc::HasMainWindow());
}

}  // namespace
}  // namespace hall
