// The hall's own windows as a person handles them, drawn for real (SDL offscreen): the main window
// and the About box move when their caption band is dragged and stay put otherwise, the About box
// opens from the main window and closes by Enter, Escape or its button, and the login dialog's
// fields copy and paste through the clipboard (the password giving nothing away).
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "games/hall/app/about_box.h"
#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/login_dialog.h"
#include "games/hall/app/main_frame.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/register_dialog.h"
#include "games/hall/app/testing/recording_hall_gate.h"
#include "platform/registry.h"
#include "skinui/backend.h"
#include "skinui/control.h"
#include "skinui/message_queue.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "testing/update_server/temp_folder.h"

namespace hall {
namespace {

using skinui::TestDriver;
using skinui::WindowImplBase;

class HallWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static skinui::SdlBackend* backend = new skinui::SdlBackend;  // SDL stays up for the process
    ASSERT_TRUE(backend->ok()) << backend->error();
    skinui::SetBackend(backend);
    skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
    gate_.SetUserId(10001);
  }

  void TearDown() override {
    if (frame_ != nullptr && skinui::IsWindow(frame_->GetHWND()))
      frame_->DestroyWindow();
    driver_.RunUntilIdle();
    MSG msg;
    while (skinui::PeekMessage(&msg)) {
    }
    qvc::SetMainWindowPoster(nullptr);
    skinui::SetBackend(nullptr);
  }

  // The main window over the recording gate, its login a stand-in that starts one, its About box
  // the real one.
  void OpenMainWindow() {
    MainFrameEnv env;
    env.program_dir = folder_.path();
    env.my_match = &my_match_;
    env.account = &account_;
    env.start_hall = [this](qvc::NetResultPoster* poster, HWND) -> HallGate* {
      qvc::SetMainWindowPoster(poster);
      return &gate_;
    };
    env.stop_hall = [] { qvc::SetMainWindowPoster(nullptr); };
    env.show_login = [](HWND, HallGate& gate) -> UINT {
      gate.StartLogin();
      return kLoginStarted;
    };
    env.show_about = [this](HWND owner) {
      ++abouts_;
      ShowAboutBox(owner);
    };
    frame_ = new MainFrame(env);
    const std::string title = "hall-windows-test-" + std::to_string(getpid());
    ASSERT_NE(frame_->Create(nullptr, title.c_str(), WS_VISIBLE, 0, 100, 80, kMainWindowWidth,
                             kMainWindowHeight),
              nullptr);
    driver_.RunUntilIdle();
  }

  LoginServices Services() {
    LoginServices s;
    s.gate = &gate_;
    s.account = &account_;
    s.store = &store_;
    s.program_dir = folder_.path();
    s.clock = &platform::SystemClock();
    s.captcha_throttle = &throttle_;
    return s;
  }

  // The window's move when the control `name` is dragged by (40, 30), or when `name` is null the
  // point `at`.
  static POINT MoveOf(TestDriver& driver, WindowImplBase& window, const char* name, POINT at) {
    const RECT before = window.GetWindowRect();
    if (name != nullptr)
      EXPECT_TRUE(driver.DragControl(window, name, 40, 30)) << name;
    else
      driver.Drag(window, at, 40, 30);
    const RECT after = window.GetWindowRect();
    return POINT{after.left - before.left, after.top - before.top};
  }

  update_server::TempFolder folder_{"tvx_hall_windows"};
  platform::RegistryStore registry_{folder_.Sub("registry")};
  AccountStore store_{registry_, folder_.Sub("config")};
  testing::RecordingHallGate gate_;
  MyMatch my_match_;
  AccountRecord account_;
  CaptchaThrottle throttle_;
  TestDriver driver_;
  MainFrame* frame_ = nullptr;
  int abouts_ = 0;
};

struct DragCase {
  const char* what;
  const char* control;  // null: the point below
  POINT at;
  bool moves;
};

TEST_F(HallWindowsTest, TheMainWindowMovesByItsTitleBarOnly) {
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow());
  const DragCase cases[] = {
      {"the title", "title_text", {}, true},
      {"the empty middle of the title bar", nullptr, {300, 18}, true},
      {"the close button", "closebtn", {}, false},
      {"the maximise button", "maxbtn", {}, false},
      {"the nickname, below the band", "NickNameText", {}, false},
      {"the plan tree", "PlanList", {}, false},
      {"a link button", "PayBT", {}, false},
  };
  for (const DragCase& c : cases) {
    const POINT moved = MoveOf(driver_, *frame_, c.control, c.at);
    EXPECT_EQ(moved.x, c.moves ? 40 : 0) << c.what;
    EXPECT_EQ(moved.y, c.moves ? 30 : 0) << c.what;
  }
  // The buttons pressed on the way did what buttons do: nothing of it closed the hall.
  EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND()));
}

TEST_F(HallWindowsTest, EnterAndEscapeInTheMainWindowLeaveTheHallAsItIs) {
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow());
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
    driver_.PressKey(*frame_, key);
    EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND())) << key;
    EXPECT_TRUE(driver_.RunUntilIdle()) << "no quit was asked for: " << key;
  }
  EXPECT_EQ(abouts_, 0);
}

TEST_F(HallWindowsTest, TheAboutBoxOpensFromTheMainWindowMovesByItsBannerAndClosesEveryWay) {
  ASSERT_NO_FATAL_FAILURE(OpenMainWindow());
  struct Case {
    const char* what;
    std::function<void(TestDriver&, WindowImplBase&)> close;
  } cases[] = {
      {"Enter", [](TestDriver& d, WindowImplBase& box) { d.PressKey(box, VK_RETURN); }},
      {"Escape", [](TestDriver& d, WindowImplBase& box) { d.PressKey(box, VK_ESCAPE); }},
      {"its button", [](TestDriver& d, WindowImplBase& box) { d.Click(box, "about_ok"); }},
  };
  bool first = true;
  for (const Case& c : cases) {
    bool shown = false, closed = false;
    TestDriver::AnswerNextModal([&](WindowImplBase& box) {
      shown = true;
      EXPECT_EQ(std::string(TestDriver::Find(box, "about_version")->GetText()), "Tarvix，1.0 版");
      if (first) {
        EXPECT_TRUE(TestDriver::SaveScreenshot(box, ::testing::TempDir() + "about_box.png"));
        const DragCase drags[] = {
            {"the banner's title", "about_title", {}, true},
            {"the banner's left, under the mark", nullptr, {30, 30}, true},
            {"the version line", "about_version", {}, false},
            {"the button", "about_ok", {}, false},
        };
        for (const DragCase& d : drags) {
          const POINT moved = MoveOf(driver_, box, d.control, d.at);
          EXPECT_EQ(moved.x, d.moves ? 40 : 0) << d.what;
          EXPECT_EQ(moved.y, d.moves ? 30 : 0) << d.what;
        }
        EXPECT_TRUE(skinui::IsWindow(box.GetHWND())) << "dragging the button did not press it";
      }
      c.close(driver_, box);
      closed = !skinui::IsWindow(box.GetHWND());
      if (!closed)
        box.Close(IDOK);  // the test goes on with the next case
    });
    ASSERT_TRUE(driver_.Click(*frame_, "ReturnPlazaBT"));
    EXPECT_TRUE(shown) << c.what;
    EXPECT_TRUE(closed) << c.what;
    EXPECT_TRUE(skinui::IsWindow(frame_->GetHWND())) << c.what;
    first = false;
  }
  EXPECT_EQ(abouts_, 3);
}

TEST_F(HallWindowsTest, TheLoginFieldsCopyAndPasteThroughTheClipboardButThePasswordGivesNothing) {
  skinui::Backend& backend = skinui::CurrentBackend();
  TestDriver::AnswerNextModal([&](WindowImplBase& dialog) {
    struct Case {
      const char* field;
      const char* typed;
      WPARAM key;  // with Ctrl, after Ctrl+A
      const char* clipboard_before;
      const char* field_after;
      const char* clipboard_after;
    } cases[] = {
        {"LogonAccount", "player01", 'C', "old", "player01", "player01"},
        {"LogonAccount", "", 'V', "copied01", "copied01", "copied01"},
        {"LogonAccount", "", 'X', "old", "", "copied01"},
        {"PassWord", "secret99", 'C', "kept", "secret99", "kept"},
        {"PassWord", "", 'X', "kept", "secret99", "kept"},
        {"PassWord", "", 'V', "pasted99\nsecond line", "pasted99", "pasted99\nsecond line"},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.field) + " Ctrl+" + static_cast<char>(c.key));
      ASSERT_TRUE(backend.SetClipboardText(c.clipboard_before));
      ASSERT_TRUE(driver_.Type(dialog, c.field, c.typed));
      driver_.PressKey(dialog, 'A', skinui::MK_CONTROL);
      driver_.PressKey(dialog, c.key, skinui::MK_CONTROL);
      EXPECT_EQ(std::string(TestDriver::Find(dialog, c.field)->GetText()), c.field_after);
      EXPECT_EQ(backend.GetClipboardText(), c.clipboard_after);
    }
    // The account cut away is pasted back, and the login goes out with what was pasted.
    ASSERT_TRUE(backend.SetClipboardText("copied01"));
    driver_.Click(dialog, "LogonAccount");
    driver_.PressKey(dialog, 'V', skinui::MK_CONTROL);
    driver_.PressKey(dialog, VK_RETURN);
    if (skinui::IsWindow(dialog.GetHWND()))
      dialog.Close(kLoginQuit);
  });
  EXPECT_EQ(ShowLoginDialog(nullptr, Services()), kLoginStarted);
  const auto credentials = gate_.RequestsOf("credentials");
  ASSERT_EQ(credentials.size(), 1u);
  EXPECT_EQ(credentials[0].account, "copied01");
  EXPECT_EQ(credentials[0].password, "pasted99");
}

}  // namespace
}  // namespace hall
