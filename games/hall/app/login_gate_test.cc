// The login and register dialogs against the local gate over loopback, through the real hall
// runtime: the captcha is fetched and drawn, a registration succeeds and fills the login dialog,
// whose login then goes out, and the gate's refusals are shown with the gate's own text.
//
// The results travel as the hall's do: the runtime posts each one to a window of the test's
// thread, which offers it to the registered result windows and finishes it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/png_control.h"
#include "games/hall/app/testing/login_fixture.h"
#include "games/hall/ui/process_req_win.h"
#include "gateclient/client_frame/gate_client_proc.h"
#include "gateclient/client_frame/gate_session.h"
#include "gateclient/command/factories.h"
#include "interface/command_ids.h"
#include "skinui/message_queue.h"
#include "skinui/window_wnd.h"
#include "testing/gate/captcha_png.h"
#include "testing/gate/hall_services.h"
#include "testing/gate/register_services.h"

namespace hall {
namespace {

using namespace std::chrono_literals;
using skinui::TestDriver;
using skinui::WindowImplBase;

// The main window's part in the hand-over: results posted from the gate client's threads arrive
// as its messages, are offered to the result windows and finished.
class ResultWindow : public skinui::CWindowWnd, public qvc::NetResultPoster {
 public:
  ResultWindow() { Create(nullptr, "", 0, 0, 0, 0, 1, 1); }
  ~ResultWindow() override { DestroyWindow(); }
  const char* GetWindowClassName() const override { return "ResultWindow"; }

  bool PostToMainWindow(uint32_t message, qvc::NetResultRecord* record) override {
    return skinui::PostMessage(GetHWND(), message, 0, reinterpret_cast<LPARAM>(record));
  }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != qvc::kWmNetResult)
      return CWindowWnd::HandleMessage(message, wParam, lParam);
    auto* record = reinterpret_cast<qvc::NetResultRecord*>(lParam);
    ProcessReqWinRegistry::Instance().Dispatch(record->command,
                                               static_cast<uint32_t>(record->app_session),
                                               static_cast<uint32_t>(record->app_session >> 32));
    qvc::FinishNetResult(record);
    return 0;
  }
};

class LoginGateTest : public testing::LoginFixture {
 protected:
  void SetUp() override {
    testgate::HelloReply hello;
    hello.rsp_flag = qvc::kHelloEncryptInfo | qvc::kHelloLoginToken;
    hello.key = "register-key";
    hello.login_token = 0x77;
    gate_server_.SetHelloReply(hello);
    ASSERT_TRUE(gate_server_.Start());
    ASSERT_TRUE(update_server::PutFile(
        folder_.Sub("program"), "LobbyData/addr.ini",
        "[ADDR]\naddr_00=127.0.0.1:" + std::to_string(gate_server_.port()) + "\n"));
    HallRuntimeOptions options;
    options.program_folder = folder_.Sub("program");
    options.poster = &window_;
    runtime_ = std::make_unique<HallRuntime>(options);
    ASSERT_TRUE(runtime_->Start());
    // The main window files the captcha's kind when it starts the runtime.
    runtime_->AddCommandFactory(qv::cmd::kKindCaptcha, &qv::CreateCaptchaCommand);
    ASSERT_TRUE(WaitOnWindowThread(
        [&] { return runtime_->session_state() == qvc::GateSession::kHelloDone; }));
  }
  void TearDown() override {
    runtime_->Stop();
    driver_.RunUntilIdle();  // what was posted before the stop is still finished
    gate_server_.Stop();
  }

  LoginServices GateServices() {
    LoginServices s = Services();
    s.gate = runtime_.get();
    return s;
  }

  // Runs the window thread's messages until `done` holds (or ten seconds pass).
  bool WaitOnWindowThread(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (true) {
      driver_.RunUntilIdle();
      if (done())
        return true;
      if (std::chrono::steady_clock::now() > end)
        return false;
      std::this_thread::sleep_for(2ms);
    }
  }

  // Waits for the register dialog's first captcha, then fills its form with it.
  void FillForm(WindowImplBase& dialog, const std::string& account, const char* typed = nullptr) {
    auto& reg = static_cast<RegisterDialog&>(dialog);
    ASSERT_TRUE(WaitOnWindowThread([&] { return reg.captcha_image()->image() != nullptr; }));
    const auto issued = registration_.captchas();
    ASSERT_FALSE(issued.empty());
    EXPECT_EQ(reg.captcha_id(), issued.back().id);
    driver_.Type(dialog, "edit_account", account);
    driver_.Type(dialog, "edit_nickname", "新来的玩家");
    driver_.Type(dialog, "edit_password1", "secret99");
    driver_.Type(dialog, "edit_password2", "secret99");
    driver_.Type(dialog, "edit_captcha", typed != nullptr ? typed : issued.back().text);
  }

  testgate::LocalGate gate_server_;
  testgate::HallServices hall_services_{gate_server_};
  testgate::RegisterServices registration_{gate_server_};
  ResultWindow window_;
  std::unique_ptr<HallRuntime> runtime_;
};

TEST_F(LoginGateTest, TheCaptchaArrivesIsDrawnAndAnotherComesOnRequest) {
  registration_.SetCaptchaTexts({"K7WQ", "M3NP"});
  Answer([&](WindowImplBase& dialog) {
    auto& reg = static_cast<RegisterDialog&>(dialog);
    ASSERT_TRUE(WaitOnWindowThread([&] { return reg.captcha_image()->image() != nullptr; }));
    const skinui::Image* first = reg.captcha_image()->image();
    EXPECT_EQ(first->width(), testgate::kCaptchaWidth);
    EXPECT_EQ(first->height(), testgate::kCaptchaHeight);
    EXPECT_EQ(reg.captcha_id(), registration_.captchas().at(0).id);
    EXPECT_EQ(registration_.captchas().at(0).req_session, clock_.TickCount());
    driver_.Click(dialog, "btn_captcha");
    ASSERT_TRUE(WaitOnWindowThread([&] { return reg.captcha_image()->image() != first; }));
    EXPECT_EQ(reg.captcha_id(), registration_.captchas().at(1).id);
    driver_.Click(dialog, "closebtn");
  });
  ShowRegisterDialog(nullptr, RegisterDialogServices{runtime_.get(), &clock_, &throttle_, {}});
  EXPECT_EQ(registration_.captchas().size(), 2u);
}

TEST_F(LoginGateTest, ARegistrationFillsTheLoginDialogWhoseLoginThenGoesOut) {
  Answer([&](WindowImplBase& login) {
    driver_.Click(login, "Register");  // the register dialog below runs inside this click
    EXPECT_EQ(TextOf(login, "LogonAccount"), "newuser01");
    EXPECT_EQ(TextOf(login, "PassWord"), "secret99");
    driver_.Click(login, "LogonBtn");
  });
  Answer([&](WindowImplBase& reg) {
    FillForm(reg, "NewUser01");
    driver_.Click(reg, "btn_register");
    ASSERT_TRUE(WaitOnWindowThread([&] { return !skinui::IsWindow(reg.GetHWND()); }));
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, GateServices()), kLoginStarted);
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text, "注册完成");
  const auto registered = registration_.registrations();
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0].account, "newuser01");
  EXPECT_EQ(registered[0].nick_name, "新来的玩家");
  EXPECT_EQ(registered[0].clear_password, "secret99");
  EXPECT_EQ(registered[0].result_code, 0u);
  ASSERT_TRUE(
      WaitOnWindowThread([&] { return runtime_->session_state() == qvc::GateSession::kLoggedIn; }));
  ASSERT_EQ(hall_services_.logins().size(), 1u);
  EXPECT_EQ(hall_services_.logins()[0].account, "newuser01");
  EXPECT_EQ(record_.clear_password, "secret99");
}

TEST_F(LoginGateTest, RefusalsShowTheGatesOwnText) {
  registration_.SetRegisterResult(7, "该账号已被注册，请换一个");
  struct Case {
    const char* what;
    const char* typed;  // null: the captcha's own text
    const char* shown;
  } cases[] = {
      {"a wrong captcha", "ZZZZ", testgate::RegisterServices::kWrongCaptchaInfo},
      {"an account taken", nullptr, "该账号已被注册，请换一个"},
  };
  for (const Case& c : cases) {
    boxes_ = skinui::ScriptedMessageBoxes{};
    Answer([&](WindowImplBase& reg) {
      FillForm(reg, "player01", c.typed);
      driver_.Click(reg, "btn_register");
      ASSERT_TRUE(WaitOnWindowThread([&] { return !boxes_.shown().empty(); })) << c.what;
      EXPECT_TRUE(skinui::IsWindow(reg.GetHWND()));
      driver_.Click(reg, "closebtn");
    });
    std::vector<std::pair<std::string, std::string>> filled;
    ShowRegisterDialog(nullptr,
                       RegisterDialogServices{runtime_.get(), &clock_, &throttle_,
                                              [&](const std::string& a, const std::string& p) {
                                                filled.emplace_back(a, p);
                                              }});
    ASSERT_EQ(boxes_.shown().size(), 1u) << c.what;
    EXPECT_EQ(boxes_.shown()[0].text, c.shown) << c.what;
    EXPECT_EQ(boxes_.shown()[0].caption, "注册失败") << c.what;
    EXPECT_TRUE(filled.empty()) << c.what;
    clock_.Advance(1000);  // the next dialog's first captcha is forced anyway
  }
  EXPECT_EQ(registration_.registrations().size(), 2u);
}

}  // namespace
}  // namespace hall
