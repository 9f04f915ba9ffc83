// The main window headless: results reach it through the real hand-over (PostNetResult with the
// window as poster), the gate is a recording stand-in, and modal dialogs are answered through the
// test driver.
#include "games/hall/app/main_frame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/hall_plan_manager.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/testing/plan_catalogue.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "games/hall/app/ui_left_group.h"
#include "games/hall/app/ui_plan_list.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "games/hall/ui/process_req_win.h"
#include "gateclient/client_frame/net_result.h"
#include "gateclient/command/typed_commands.h"
#include "gateclient/log/log_sink_list.h"
#include "interface/command_ids.h"
#include "platform/registry.h"
#include "platform/web_link.h"
#include "skinui/control.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/test_driver.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

class RecordingOpener : public platform::WebLinkOpener {
 public:
  bool Open(const std::string& url) override {
    opened.push_back(url);
    return true;
  }
  std::vector<std::string> opened;
};

// A result window that counts what it was offered.
class CountingResultWindow : public ProcessReqWin {
 public:
  void OnNetResult(qv::CMD_base* command, uint32_t a, uint32_t b) override {
    seen.push_back({command->kind, command->subid});
    sessions.push_back({a, b});
  }
  std::vector<std::pair<uint16_t, uint16_t>> seen;
  std::vector<std::pair<uint32_t, uint32_t>> sessions;  // low and high half, as seen
};

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    skinui::SetMessageBoxProvider(&boxes_);
    registry_ = std::make_unique<platform::RegistryStore>(folder_.Sub("registry"));
    accounts_ = std::make_unique<AccountStore>(*registry_, folder_.path());
    gate_.SetUserId(10001);
    gate_.SetLoginToken(0x77);
    account_.account = "player01";
    account_.clear_password = "secret99";

    MainFrameEnv env;
    env.program_dir = folder_.path();
    env.my_match = &my_match_;
    env.account = &account_;
    env.accounts = accounts_.get();
    env.links = &links_;
    env.clock = &clock_;
    env.start_hall = [this](qvc::NetResultPoster* poster, HWND) -> HallGate* {
      ++starts_;
      qvc::SetMainWindowPoster(poster);
      return &gate_;
    };
    env.stop_hall = [this] {
      ++stops_;
      qvc::SetMainWindowPoster(nullptr);
    };
    env.show_login = [this](HWND, HallGate&) -> UINT { return login_answer_; };
    env.load_game_list = [this] { ++game_list_loads_; };
    env.close_progress_window = [this] { ++progress_closes_; };
    env.restart_hall = [this] {
      ++restarts_;
      return restart_works_;
    };
    env.show_about = [this](HWND) { ++abouts_; };
    env_ = env;
  }

  void TearDown() override {
    if (frame_ != nullptr && skinui::IsWindow(frame_->GetHWND()))
      frame_->DestroyWindow();
    driver_.RunUntilIdle();
    // The frame's destructor asked the loop to end; take that request away from the next test.
    MSG msg;
    while (skinui::PeekMessage(&msg)) {
    }
    skinui::SetMessageBoxProvider(nullptr);
    qvc::SetMainWindowPoster(nullptr);
  }

  // Makes the window; its first layout starts the hall and shows the login.
  void Open() {
    frame_ = new MainFrame(env_);
    const std::string title = "main-frame-test-" + std::to_string(getpid());
    ASSERT_NE(frame_->Create(nullptr, title.c_str(), WS_VISIBLE, 0, 0, 0, kMainWindowWidth,
                             kMainWindowHeight),
              nullptr);
    driver_.RunUntilIdle();
  }

  // Hands `command` over as the gate client does, then lets the window handle it.
  void Deliver(qv::CMD_base* command, uint64_t session = 0) {
    qv::AttachReleaser(command);
    qvc::PostNetResult(command, session);
    qv::ReleaseCommand(command);  // the job thread's reference
    driver_.RunUntilIdle();
  }

  std::string Text(const char* name) {
    skinui::CControlUI* c = skinui::TestDriver::Find(*frame_, name);
    return c != nullptr ? std::string(c->GetText()) : "<missing>";
  }

  update_server::TempFolder folder_{"main_frame_test"};
  platform::ManualClock clock_{1000, 1'700'000'000};
  skinui::TestDriver driver_{&clock_};
  skinui::ScriptedMessageBoxes boxes_;
  std::unique_ptr<platform::RegistryStore> registry_;
  std::unique_ptr<AccountStore> accounts_;
  testing::RecordingHallGate gate_;
  MyMatch my_match_;
  AccountRecord account_;
  RecordingOpener links_;
  MainFrameEnv env_;
  MainFrame* frame_ = nullptr;
  UINT login_answer_ = 1;
  bool restart_works_ = false;
  int starts_ = 0, stops_ = 0, game_list_loads_ = 0, progress_closes_ = 0, restarts_ = 0,
      abouts_ = 0;
};

uint32_t References(const qv::CMD_base* command) {
  return static_cast<const qv::CommonDeleteHandler*>(command->releaser)->count();
}

// The session's user (the recording gate's) is 10001; a reply may name another.
qv::CMD_base* LoginReply(int result, const std::string& info, uint64_t user_id = 10001) {
  auto* reply = new qv::CmdLoginRsp;
  reply->message.set_login_result(static_cast<qv::client::LoginRsp::Result>(result));
  reply->message.set_user_id(user_id);
  if (!info.empty())
    reply->message.set_login_info(info);
  return reply;
}

TEST_F(MainFrameTest, FirstLayoutStartsTheHallOnceAndFilesTheCaptchaKind) {
  Open();
  EXPECT_EQ(starts_, 1);
  ASSERT_EQ(gate_.RequestsOf("factory").size(), 1u);
  EXPECT_EQ(gate_.RequestsOf("factory")[0].kind, qv::cmd::kKindCaptcha);
  EXPECT_NE(gate_.FactoryOf(qv::cmd::kKindCaptcha), nullptr);
  EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND()));
  // Every custom control of the skin was made.
  EXPECT_NE(frame_->group_bar(), nullptr);
  EXPECT_NE(frame_->plan_tree(), nullptr);
  EXPECT_NE(frame_->hot_list(), nullptr);
}

TEST_F(MainFrameTest, LeavingTheLoginDialogClosesTheWindowAndStopsTheHall) {
  login_answer_ = 2;
  frame_ = new MainFrame(env_);
  const HWND window = frame_->Create(nullptr, "main-frame-test-leave", WS_VISIBLE, 0);
  ASSERT_NE(window, nullptr);
  frame_ = nullptr;                      // deleted with its window
  EXPECT_FALSE(driver_.RunUntilIdle());  // and the hall's loop is asked to end
  EXPECT_FALSE(skinui::IsWindow(window));
  EXPECT_EQ(stops_, 1);
  EXPECT_FALSE(qvc::HasMainWindow());
}

TEST_F(MainFrameTest, RefusedLoginsShowTheirTextAndOfferARestart) {
  struct Case {
    int code;
    const char* info;
    const char* shown;
  } cases[] = {
      {1, "", "登录失败：账号不存在"},
      {2, "", "登录失败：账号被冻结"},
      {3, "", "登录失败：密码错误"},
      {4, "", "登录失败：网络异常"},
      {5, "", "登录失败：服务器忙"},
      {6, "", "登录失败：禁止游客登录"},
      {7, "", "登录失败：连接异常"},
      {8, "", "登录失败：您的版本过低，请升级"},
      {9, "", "登录失败：游客分配失败"},
      {10, "", "登录失败：所在ip登录过多"},
      {11, "", "登录失败：系统初始化，请稍后再试"},
      {12, "", "登录失败：错误代码:12"},
      {255, "服务器维护中", "登录失败：服务器维护中"},
      {3, "密码已过期", "登录失败：密码已过期"},  // the gate's text wins over the code's
      {1000, "", "登录失败：错误代码:1000"},      // no result at all
  };
  Open();
  int expected_restarts = 0;
  for (const Case& c : cases) {
    std::string content, title;
    skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
      content = skinui::TestDriver::Find(dialog, "content")->GetText();
      title = skinui::TestDriver::Find(dialog, "title")->GetText();
      skinui::TestDriver d;
      d.Click(dialog, "button_2");
    });
    boxes_.AnswerNext(IDYES);  // the restart fails; the player stays in this hall
    Deliver(LoginReply(c.code, c.info));
    EXPECT_EQ(content, c.shown) << c.code;
    EXPECT_EQ(title, "登录");
    EXPECT_EQ(restarts_, ++expected_restarts) << c.code;
    ASSERT_FALSE(boxes_.shown().empty());
    EXPECT_EQ(boxes_.shown().back().text, "大厅启动失败，请重新启动游戏大厅");
    EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND()));
  }
  EXPECT_EQ(game_list_loads_, 0);
  EXPECT_TRUE(gate_.RequestsOf("through_gate").empty());
}

TEST_F(MainFrameTest, AStartedRestartEndsThisHall) {
  restart_works_ = true;
  Open();
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    skinui::TestDriver d;
    d.Click(dialog, "button_2");
  });
  qv::CMD_base* reply = LoginReply(3, "");
  qv::AttachReleaser(reply);
  qvc::PostNetResult(reply, 0);
  qv::ReleaseCommand(reply);
  EXPECT_FALSE(driver_.RunUntilIdle());  // the loop was asked to end
  EXPECT_EQ(restarts_, 1);
  EXPECT_TRUE(boxes_.shown().empty());
}

TEST_F(MainFrameTest, SuccessfulLoginShowsThePlayerAsksForFundsAndKeepsTheAccount) {
  struct Case {
    uint32_t face_id;
    const char* image;
  } cases[] = {{75, "face/k005.bmp"}, {69, "face/k069.bmp"}, {0xFFFFFFFF, "face/k045.bmp"}};
  Open();
  for (const Case& c : cases) {
    qv::types::BaseUserInfo user;
    user.set_face_id(c.face_id);
    user.set_nick_name("牌桌上的风");
    gate_.SetBaseInfo(user);
    gate_.Clear();
    // The account is kept under the reply's id; the funds are asked for the session's user.
    Deliver(LoginReply(0, "", 10007));
    skinui::CControlUI* face = skinui::TestDriver::Find(*frame_, "UserFace");
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(std::string(face->GetBkImage()), c.image) << c.face_id;
    EXPECT_EQ(Text("NickNameText"), "牌桌上的风");
    const auto sent = gate_.RequestsOf("through_gate");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, qv::cmd::kKindClient);
    EXPECT_EQ(sent[0].subid, qv::cmd::client::kQueryFundReq);
    EXPECT_EQ(sent[0].routing.apptype, 9u);
    EXPECT_EQ(sent[0].routing.appid, 2u);
    qv::client::QueryFundReq query;
    ASSERT_TRUE(query.ParseFromString(sent[0].payload));
    EXPECT_EQ(query.user_id(), 10001u);
    EXPECT_EQ(query.fund_type_size(), 0);
  }
  EXPECT_EQ(game_list_loads_, 3);
  const auto saved = accounts_->LoadAccountList();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].account, "player01");
  EXPECT_EQ(saved[0].user_id, 10007u);
  EXPECT_EQ(accounts_->LoadLastAccount(), "player01");
}

TEST_F(MainFrameTest, FaceIdZeroTakesOneOfTheSeventyFaces) {
  Open();
  Deliver(LoginReply(0, ""));  // the stand-in's user has face id 0
  const std::string image = skinui::TestDriver::Find(*frame_, "UserFace")->GetBkImage();
  ASSERT_EQ(image.size(), std::string("face/k000.bmp").size()) << image;
  const int n = std::stoi(image.substr(6, 3));
  EXPECT_GE(n, 0);
  EXPECT_LT(n, 70);
}

TEST_F(MainFrameTest, FundsFillTheThreeFiguresOrEmptyThem) {
  Open();
  auto* funds = new qv::CmdQueryFundRsp;
  funds->message.set_user_id(10001);
  for (auto [id, count] : {std::pair{20u, 12800ull}, {21u, 35ull}, {22u, 7ull}, {19u, 99ull}}) {
    qv::types::FundItem* item = funds->message.add_fund_items();
    item->set_id(id);
    item->set_count(count);
  }
  Deliver(funds);
  EXPECT_EQ(Text("fee1_text"), "12800");
  EXPECT_EQ(Text("fee2_text"), "35");
  EXPECT_EQ(Text("fee3_text"), "7");
  EXPECT_EQ(account_.funds.size(), 4u);

  // A later answer merges into the kept funds: only what it names changes.
  auto* update = new qv::CmdQueryFundRsp;
  update->message.set_user_id(10001);
  qv::types::FundItem* item = update->message.add_fund_items();
  item->set_id(21);
  item->set_count(36);
  Deliver(update);
  EXPECT_EQ(Text("fee1_text"), "12800");
  EXPECT_EQ(Text("fee2_text"), "36");

  // Funds of another account's record leave the figures empty.
  account_.funds.clear();
  auto* none = new qv::CmdQueryFundRsp;
  none->message.set_user_id(10001);
  none->message.add_fund_items()->set_id(5);
  Deliver(none);
  EXPECT_EQ(Text("fee1_text"), "");
  EXPECT_EQ(Text("fee2_text"), "");
  EXPECT_EQ(Text("fee3_text"), "");
}

TEST_F(MainFrameTest, EveryResultReachesTheResultWindowsAndIsReleased) {
  Open();
  CountingResultWindow window;
  struct Case {
    qv::CMD_base* command;
    uint64_t session;
  } cases[] = {
      {new qv::CmdQueryFundRsp, 0x500000007ull},
      {new qv::CmdJoinRsp, 3},
      {new qv::CmdMatchPrize, 0},
      {new qv::CmdAllGroupRsp, 0},
      {new qv::CmdAllListRsp, 0},
      {new qv::CmdAllPlanRsp, 0},
      {new qv::CmdPlanAllStartPoint, 0},
      {new qv::CmdCaptchaRsp, 0},
      {new qv::CmdRegisterRsp, 0},
  };
  for (const Case& c : cases) {
    // A reference of the test's own shows whether the window gave its reference back.
    qv::CMD_base* command = c.command;
    qv::AttachReleaser(command);
    qv::AddRefCommand(command);
    const uint16_t kind = command->kind, subid = command->subid;
    const size_t first = window.seen.size();
    Deliver(command, c.session);  // a trace the handling posts comes after it
    ASSERT_GT(window.seen.size(), first);
    EXPECT_EQ(window.seen[first], std::make_pair(kind, subid));
    EXPECT_EQ(window.sessions[first].first, static_cast<uint32_t>(c.session));
    EXPECT_EQ(window.sessions[first].second, static_cast<uint32_t>(c.session >> 32));
    EXPECT_EQ(References(command), 1u) << kind << "," << subid;
    qv::ReleaseCommand(command);
  }
  // A login reply is the window's own: no result window sees it, and it is released too.
  const size_t before = window.seen.size();
  qv::CMD_base* login = LoginReply(0, "");
  qv::AttachReleaser(login);
  qv::AddRefCommand(login);
  Deliver(login);
  EXPECT_EQ(window.seen.size(), before);
  EXPECT_EQ(References(login), 1u);
  qv::ReleaseCommand(login);
}

// What the log sinks were handed at the failure level.
std::vector<std::string>& FailureLines() {
  static std::vector<std::string> lines;
  return lines;
}
void RecordFailures(int level, const char* text, const char*, int) {
  if (level == kLogFailure)
    FailureLines().push_back(text != nullptr ? text : "");
}

TEST_F(MainFrameTest, ARefusedLoginIsLoggedWithoutThePasswordOrItsDigest) {
  GetLogSinkList().Add(&RecordFailures);
  FailureLines().clear();
  Open();
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    skinui::TestDriver d;
    d.Click(dialog, "button_2");
  });
  boxes_.AnswerNext(IDYES);
  Deliver(LoginReply(3, ""));
  ASSERT_EQ(FailureLines().size(), 1u);
  const std::string& line = FailureLines()[0];
  EXPECT_EQ(line, "登录失败了:token=119,account=player01");
  EXPECT_EQ(line.find("secret99"), std::string::npos);
  EXPECT_EQ(line.find("pass"), std::string::npos);
}

TEST_F(MainFrameTest, ResultsStillQueuedWhenTheWindowGoesAreReleased) {
  Open();
  qv::CMD_base* command = new qv::CmdQueryFundRsp;
  qv::AttachReleaser(command);
  qv::AddRefCommand(command);
  qvc::PostNetResult(command, 0);  // queued, not yet handled
  qv::ReleaseCommand(command);     // the job thread's reference
  ASSERT_EQ(References(command), 2u);
  frame_->DestroyWindow();
  frame_ = nullptr;
  EXPECT_EQ(stops_, 1);
  EXPECT_FALSE(qvc::HasMainWindow());
  EXPECT_EQ(References(command), 1u);
  driver_.RunUntilIdle();
  qv::ReleaseCommand(command);
}

TEST_F(MainFrameTest, CloseButtonAsksAndOnlyYesEndsTheHall) {
  Open();
  std::string asked;
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    asked = skinui::TestDriver::Find(dialog, "content")->GetText();
    skinui::TestDriver d;
    d.Click(dialog, "button_3");  // 取消
  });
  ASSERT_TRUE(driver_.Click(*frame_, "closebtn"));
  EXPECT_EQ(asked, "你确定要退出吗?");
  EXPECT_EQ(progress_closes_, 0);
  EXPECT_TRUE(driver_.RunUntilIdle());

  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    skinui::TestDriver d;
    d.Click(dialog, "button_1");  // 是
  });
  driver_.Click(*frame_, "closebtn");
  EXPECT_EQ(progress_closes_, 1);
  EXPECT_FALSE(driver_.RunUntilIdle());  // the hall's loop ends
}

TEST_F(MainFrameTest, LinksOpenOnlyWebAddressesFromTheLobbyFile) {
  ASSERT_TRUE(update_server::PutFile(folder_.path(), "LobbyData/lobby.cfg",
                                     "[Lobby]\nUrlHome=https://home.example/\nUrlPay=10001\n"
                                     "UrlGM=http://gm.example/help\n"));
  Open();
  ASSERT_TRUE(driver_.Click(*frame_, "TopMatchBT"));
  ASSERT_TRUE(driver_.Click(*frame_, "PayBT"));  // no scheme: nothing opens
  ASSERT_TRUE(driver_.Click(*frame_, "WebCompanyBT"));
  ASSERT_TRUE(driver_.Click(*frame_, "ReturnPlazaBT"));
  EXPECT_EQ(links_.opened,
            (std::vector<std::string>{"https://home.example/", "http://gm.example/help"}));
  EXPECT_EQ(abouts_, 1);
}

TEST_F(MainFrameTest, PayLinkCarriesTheUserId) {
  ASSERT_TRUE(update_server::PutFile(folder_.path(), "LobbyData/lobby.cfg",
                                     "[Lobby]\nUrlPay=https://pay.example/?uid=\n"));
  Open();
  ASSERT_TRUE(driver_.Click(*frame_, "PayBT"));
  EXPECT_EQ(links_.opened, (std::vector<std::string>{"https://pay.example/?uid=10001"}));
}

TEST_F(MainFrameTest, EscapeDoesNotCloseTheHall) {
  Open();
  driver_.PressKey(*frame_, VK_ESCAPE);
  EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND()));
  EXPECT_TRUE(driver_.RunUntilIdle());
}

TEST_F(MainFrameTest, MaximiseAndRestoreSwapTheirButtons) {
  Open();
  ASSERT_TRUE(driver_.Click(*frame_, "maxbtn"));
  EXPECT_FALSE(skinui::TestDriver::Find(*frame_, "maxbtn")->IsVisible());
  EXPECT_TRUE(skinui::TestDriver::Find(*frame_, "restorebtn")->IsVisible());
  EXPECT_GT(frame_->GetClientSize().cx, kMainWindowWidth);
  ASSERT_TRUE(driver_.Click(*frame_, "restorebtn"));
  EXPECT_TRUE(skinui::TestDriver::Find(*frame_, "maxbtn")->IsVisible());
  EXPECT_EQ(frame_->GetClientSize().cx, kMainWindowWidth);
  EXPECT_EQ(frame_->GetClientSize().cy, kMainWindowHeight);
}

// The plan ids of the tree's item rows, top to bottom.
std::vector<uint32_t> ItemRows(const UIPlanList& tree) {
  std::vector<uint32_t> ids;
  for (int i = 0; i < tree.GetCount(); ++i) {
    const skinui::CControlUI* row = tree.GetItemAt(i);
    if (row->GetName() != UIPlanList::kItemRowName)
      continue;
    const auto* node = reinterpret_cast<const PlanTreeNode*>(row->GetTag());
    ids.push_back(static_cast<uint32_t>(node->data().id));
  }
  return ids;
}

TEST_F(MainFrameTest, TheCataloguesAnswersFillTheBarAndTheTree) {
  testing::CatalogueFixture fixture;
  fixture.SetGroups({{7, "斗地主"}, {8, "掼蛋"}});
  fixture.SetLists(7, {{121, "满人赛"}});  // list ids below 99 are the special lists
  fixture.SetPlans(7, 121,
                   {{.plan_id = 103, .name = "三人赛"},
                    {.plan_id = 101, .name = "六人赛"},
                    {.plan_id = 102, .name = "九人赛"}});
  gate_.SetCatalogue(&fixture.catalogue());
  Open();
  auto* groups = new qv::CmdAllGroupRsp;
  Deliver(groups);  // the bar rebuilds and chooses the first group, which shows its lists
  ASSERT_NE(frame_->group_bar(), nullptr);
  EXPECT_EQ(frame_->group_bar()->options().size(), 2u);
  EXPECT_EQ(frame_->group_bar()->SelectedGroup(), 7u);
  EXPECT_EQ(frame_->plan_tree()->current_group(), 7u);
  EXPECT_EQ(account_.group_id, 7u);
  // Each new row goes directly under its type, so the rows read the catalogue's list backwards.
  EXPECT_EQ(ItemRows(*frame_->plan_tree()), (std::vector<uint32_t>{102, 101, 103}));

  // A plan answer for the shown group shows that list again: a row that stays keeps its place.
  fixture.SetPlans(7, 121, {{.plan_id = 102, .name = "九人赛"}, {.plan_id = 104, .name = "四人赛"}});
  auto* plans = new qv::CmdAllPlanRsp;
  plans->message.set_group_id(7);
  plans->message.set_list_id(121);
  Deliver(plans);
  EXPECT_EQ(ItemRows(*frame_->plan_tree()), (std::vector<uint32_t>{104, 102}));

  // Choosing the other game switches the tree to it.
  ASSERT_TRUE(driver_.ClickControl(*frame_, frame_->group_bar()->FindOption(8)));
  EXPECT_EQ(frame_->plan_tree()->current_group(), 8u);
  EXPECT_EQ(fixture.catalogue().current_group(), 8u);
  EXPECT_TRUE(ItemRows(*frame_->plan_tree()).empty());
}

}  // namespace
}  // namespace hall
