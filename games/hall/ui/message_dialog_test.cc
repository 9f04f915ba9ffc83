#include "games/hall/ui/message_dialog.h"

#include <gtest/gtest.h>

#include "platform/file_util.h"
#include "skinui/control.h"
#include "skinui/test_driver.h"
#include "skinui/ui_log.h"

namespace hall {
namespace {

using skinui::TestDriver;

class MessageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER); }
};

std::string TextOf(skinui::WindowImplBase& w, const char* name) {
  skinui::CControlUI* c = TestDriver::Find(w, name);
  return c != nullptr ? std::string(c->GetText()) : "(missing)";
}

bool Shown(skinui::WindowImplBase& w, const char* name) {
  skinui::CControlUI* c = TestDriver::Find(w, name);
  return c != nullptr && c->IsVisible();
}

TEST_F(MessageDialogTest, ResultIsTheTagOfTheButtonClicked) {
  struct Case {
    int buttons;
    const char* press;
    int want;
  } cases[] = {{1, "button_2", 2}, {2, "button_1", 1}, {2, "button_3", 3}};
  for (const Case& c : cases) {
    TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
      EXPECT_EQ(TextOf(dialog, "title"), "请确定");
      EXPECT_EQ(TextOf(dialog, "content"), "你确定要退出吗?");
      if (c.buttons == 1) {
        EXPECT_FALSE(Shown(dialog, "button_1"));
        EXPECT_FALSE(Shown(dialog, "button_3"));
        EXPECT_EQ(TextOf(dialog, "button_2"), "是");
      } else {
        EXPECT_FALSE(Shown(dialog, "button_2"));
        EXPECT_EQ(TextOf(dialog, "button_1"), "是");
        EXPECT_EQ(TextOf(dialog, "button_3"), "取消");
      }
      TestDriver d;
      EXPECT_TRUE(d.Click(dialog, c.press));
    });
    EXPECT_EQ(ShowMessageDialog(c.buttons, "你确定要退出吗?", "请确定", "是", "取消"), c.want)
        << c.buttons << " " << c.press;
  }
}

TEST_F(MessageDialogTest, HoverPressAndFocusWithoutAClickDoNotAnswer) {
  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    TestDriver d;
    d.RunUntilIdle();
    skinui::CControlUI* yes = TestDriver::Find(dialog, "button_1");
    const RECT r = yes->GetPos();
    const LPARAM on = MAKELPARAM(static_cast<WORD>(r.left + 2), static_cast<WORD>(r.top + 2));
    skinui::PostMessage(dialog.GetHWND(), WM_MOUSEMOVE, 0, on);
    skinui::PostMessage(dialog.GetHWND(), WM_LBUTTONDOWN, 0, on);  // takes the focus
    skinui::PostMessage(dialog.GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    skinui::PostMessage(dialog.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(1, 1));
    d.RunUntilIdle();
    EXPECT_TRUE(yes->IsFocused());
    EXPECT_TRUE(skinui::IsWindow(dialog.GetHWND()));  // still asking
    d.Click(dialog, "button_3");
  });
  EXPECT_EQ(ShowMessageDialog(2, "q", "t", "是", "取消"), 3);
}

// Enter answers a notice (its one button, 2); a question of two buttons waits for a click, so a
// stray Enter never quits the hall or withdraws a sign-up.
TEST_F(MessageDialogTest, EnterAnswersANoticeButNotAQuestion) {
  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    TestDriver d;
    d.PressKey(dialog, VK_RETURN);
  });
  EXPECT_EQ(ShowMessageDialog(1, "登录失败：密码错误", "登录", "确定", "取消"), 2);

  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    TestDriver d;
    d.PressKey(dialog, VK_RETURN);
    EXPECT_TRUE(skinui::IsWindow(dialog.GetHWND())) << "still asking";
    d.Click(dialog, "button_3");
  });
  EXPECT_EQ(ShowMessageDialog(2, "你确定要退出吗?", "请确定", "是", "取消"), 3);
}

TEST_F(MessageDialogTest, WindowManagerCloseAnswersLikeTheLastButtonNotZero) {
  for (int buttons : {1, 2}) {
    TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
      skinui::PostMessage(dialog.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(ShowMessageDialog(buttons, "q", "t", "确定", "取消"), buttons == 1 ? 2 : 3);
  }
}

TEST_F(MessageDialogTest, OwnedByTheRegisteredOwnerWindowAndTimersAreTaken) {
  class Owner : public skinui::WindowImplBase {
   public:
    const char* GetWindowClassName() const override { return "Owner"; }
    skinui::CDuiString GetSkinFile() override { return "<VerticalLayout/>"; }
  } owner;
  owner.Create(nullptr, "main", 0, 0, 0, 0, 600, 800);
  SetDialogOwnerWindow(owner.GetHWND());
  TestDriver::AnswerNextModal([&](skinui::WindowImplBase& dialog) {
    EXPECT_EQ(dialog.GetOwner(), owner.GetHWND());
    EXPECT_FALSE(owner.IsWindowEnabled());
    // Centred on the owner.
    const RECT r = dialog.GetWindowRect();
    EXPECT_EQ((r.left + r.right) / 2, 300);
    BOOL handled = FALSE;
    static_cast<MessageDialog&>(dialog).HandleCustomMessage(WM_TIMER, 1, 0, handled);
    EXPECT_TRUE(handled);
    dialog.Close(2);
  });
  EXPECT_EQ(ShowMessageDialog(1, "c", "t", "确定", ""), 2);
  owner.DestroyWindow();
  EXPECT_EQ(DialogOwnerWindow(), nullptr);  // a destroyed owner owns nothing
  SetDialogOwnerWindow(nullptr);
}

TEST_F(MessageDialogTest, ASkinWithoutSomeControlsStillAsksAndReportsWhatIsMissing) {
  const std::string root = ::testing::TempDir() + "hall_ui_skin";
  ASSERT_TRUE(platform::MakeDirectories(root + "/tarvixresource"));
  ASSERT_TRUE(platform::WriteFileAtomic(
      root + "/tarvixresource/MessageDialog.xml",
      "<Window size=\"200,100\"><VerticalLayout><Button name=\"button_2\" height=\"30\"/>"
      "</VerticalLayout></Window>"));
  skinui::CPaintManagerUI::SetResourcePath(root);
  std::vector<std::string> logged;
  skinui::SetUiLogSink([&](const std::string& l) { logged.push_back(l); });
  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    TestDriver d;
    d.Click(dialog, "button_2");
  });
  EXPECT_EQ(ShowMessageDialog(1, "c", "t", "是", "否"), 2);  // the only button there is
  // Two buttons asked of a skin that has neither: only the window manager can close it.
  TestDriver::AnswerNextModal([](skinui::WindowImplBase& dialog) {
    EXPECT_FALSE(Shown(dialog, "button_2"));
    skinui::PostMessage(dialog.GetHWND(), WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_EQ(ShowMessageDialog(2, "c", "t", "是", "否"), IDCANCEL);
  skinui::SetUiLogSink(nullptr);
  skinui::CPaintManagerUI::SetResourcePath(HALL_PROGRAM_FOLDER);
  auto mentions = [&](const char* s) {
    for (const auto& l : logged) {
      if (l.find(s) != std::string::npos)
        return true;
    }
    return false;
  };
  EXPECT_TRUE(mentions("button_1"));
  EXPECT_TRUE(mentions("content"));
}

}  // namespace
}  // namespace hall
