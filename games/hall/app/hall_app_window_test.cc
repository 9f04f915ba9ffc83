// The start-up's one window of its own, drawn through SDL's offscreen driver: the question asked
// when a ready update cannot be handed to the applier, shown before any main window exists, and
// answered with a click.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "games/hall/app/hall_app.h"
#include "platform/file_util.h"
#include "skinui/control.h"
#include "skinui/message_queue.h"
#include "skinui/sdl/sdl_backend.h"
#include "skinui/test_driver.h"
#include "skinui/window_wnd.h"

namespace hall {
namespace {

// A main window that ends the run as soon as it has been made.
class QuitAtOnce : public skinui::CWindowWnd {
 public:
  explicit QuitAtOnce(bool& made) { made = true; }
  const char* GetWindowClassName() const override { return "QuitAtOnce"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SHOWWINDOW && wParam != 0)
      PostMessage(WM_CLOSE);
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }

 protected:
  void OnFinalMessage(HWND) override {
    skinui::PostQuitMessage(0);
    delete this;
  }
};

TEST(HallAppWindowTest, TheQuestionOfAFailedUpdateIsShownAndAnsweredBeforeTheMainWindow) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  skinui::SdlBackend backend;
  ASSERT_TRUE(backend.ok()) << backend.error();
  skinui::SetBackend(&backend);

  char tmpl[] = "/tmp/hall_app_window.XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string root = tmpl;
  HallAppEnvironment env;
  env.program_path = root + "/tarvix";  // no applier beside it
  env.title = "大厅窗口测试 " + std::to_string(::getpid());
  env.mutex_name = "hall-app-window-test";
  env.lock_place = {root, "/tmp", ::getuid()};
  env.launcher = &platform::SystemProcessLauncher();
  env.check_hall_update = [](bool& ready) { ready = true; };
  bool made = false;
  env.make_main_frame = [&made] { return new QuitAtOnce(made); };

  const char* shots = ::getenv("TARVIX_SCREENSHOT_DIR");
  const std::string png =
      platform::JoinPath(shots != nullptr && *shots != '\0' ? shots : ::testing::TempDir().c_str(),
                         "hall_skip_update_question.png");
  std::string text, caption;
  skinui::TestDriver::AnswerNextModal([&](skinui::WindowImplBase& box) {
    EXPECT_FALSE(made) << "asked before the main window exists";
    EXPECT_TRUE(skinui::TestDriver::SaveScreenshot(box, png));
    text = skinui::TestDriver::Find(box, "mb_text")->GetText();
    caption = skinui::TestDriver::Find(box, "mb_caption")->GetText();
    skinui::TestDriver driver;
    EXPECT_TRUE(driver.Click(box, "mb_yes"));
  });
  CHallApp app(env);
  EXPECT_EQ(app.InitInstance(), FALSE);
  EXPECT_EQ(text, "很抱歉,大厅更新失败! 是否跳过更新?");
  EXPECT_EQ(caption, "信息");
  EXPECT_TRUE(made) << "YES runs the hall";
  EXPECT_EQ(app.outcome(), CHallApp::Outcome::kMainFrameRan);
  EXPECT_TRUE(platform::FileExists(png));
  skinui::SetBackend(nullptr);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace hall
