#include "skinui/remote_window.h"

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/window_link.h"
#include "skinui/message_queue.h"
#include "skinui/window_link_listener.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

constexpr UINT kHandOver = WM_APP + 5555;

// Records what reaches it and on which thread; ends the loop when `quit_on` arrives.
class RecordingWindow : public CWindowWnd {
 public:
  const char* GetWindowClassName() const override { return "RecordingWindow"; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_APP || message == WM_SHOWWINDOW) {
      got.push_back({message, wParam, lParam});
      threads.push_back(GetCurrentThreadId());
    }
    const LRESULT r = CWindowWnd::HandleMessage(message, wParam, lParam);
    if (message == quit_on)
      PostQuitMessage(0);
    return r;
  }
  struct Got {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };
  std::vector<Got> got;
  std::vector<DWORD> threads;
  UINT quit_on = kHandOver;
};

std::string UniqueTitle(const char* base) {
  return std::string(base) + " " + std::to_string(getpid());
}

TEST(RemoteWindowTest, PostThroughFoundHandleArrivesOnTheWindowThread) {
  const std::string title = UniqueTitle("Hall main");
  RecordingWindow wnd;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
  const HWND found = FindWindow(title);
  ASSERT_NE(found, nullptr);
  EXPECT_NE(found, wnd.GetHWND());  // a remote handle, usable from any process
  EXPECT_EQ(FindWindow(title), found);
  ASSERT_TRUE(PostMessage(found, kHandOver, 7, -9));
  EXPECT_EQ(RunMessageLoop(), 0);
  ASSERT_EQ(wnd.got.size(), 1u);
  EXPECT_EQ(wnd.got[0].message, kHandOver);
  EXPECT_EQ(wnd.got[0].wparam, 7u);
  EXPECT_EQ(wnd.got[0].lparam, -9);
  EXPECT_EQ(wnd.threads[0], GetCurrentThreadId());
  wnd.DestroyWindow();
}

TEST(RemoteWindowTest, ForegroundRequestShowsAHiddenWindow) {
  const std::string title = UniqueTitle("Hall raise");
  RecordingWindow wnd;
  wnd.quit_on = kRaiseWindowMessage;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
  ASSERT_FALSE(wnd.IsVisible());
  const HWND found = FindWindow(title);
  ASSERT_NE(found, nullptr);
  ASSERT_TRUE(SetForegroundWindow(found));
  RunMessageLoop();
  EXPECT_TRUE(wnd.IsVisible());
  wnd.DestroyWindow();
}

TEST(RemoteWindowTest, OnlyTitledTopLevelWindowsAreFoundAndOnlyWhileAlive) {
  const std::string title = UniqueTitle("Hall life");
  EXPECT_EQ(FindWindow(title), nullptr);
  {
    RecordingWindow wnd;
    ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
    const HWND found = FindWindow(title);
    ASSERT_NE(found, nullptr);
    RecordingWindow owned;  // owned windows keep their title to themselves
    const std::string owned_title = UniqueTitle("Hall owned");
    ASSERT_NE(owned.Create(wnd.GetHWND(), owned_title.c_str(), 0, 0), nullptr);
    EXPECT_EQ(FindWindow(owned_title), nullptr);
    owned.DestroyWindow();
    wnd.DestroyWindow();
    EXPECT_EQ(FindWindow(title), nullptr);
    // The old handle stays a handle, but nothing receives its posts any more.
    EXPECT_FALSE(PostMessage(found, kHandOver, 0, 0));
    EXPECT_FALSE(SetForegroundWindow(found));
  }
  {
    RecordingWindow destroyed_by_object;
    ASSERT_NE(destroyed_by_object.Create(nullptr, title.c_str(), 0, 0), nullptr);
    EXPECT_NE(FindWindow(title), nullptr);
  }
  EXPECT_EQ(FindWindow(title), nullptr);
}

TEST(RemoteWindowTest, MalformedRecordsNeverReachTheWindow) {
  const std::string title = UniqueTitle("Hall stray");
  RecordingWindow wnd;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
  // A record of an unknown kind is dropped by the link; the valid one after it still arrives.
  ASSERT_TRUE(platform::SendToWindowLink(
      title, platform::LinkMessage{static_cast<platform::LinkKind>(99), kHandOver, 1, 1}));
  ASSERT_TRUE(PostMessage(FindWindow(title), kHandOver, 2, 2));
  RunMessageLoop();
  ASSERT_EQ(wnd.got.size(), 1u);
  EXPECT_EQ(wnd.got[0].wparam, 2u);
  wnd.DestroyWindow();
}

TEST(RemoteWindowTest, LocalHandlesKeepTheirOwnPaths) {
  RecordingWindow wnd;
  ASSERT_NE(wnd.Create(nullptr, "", 0, 0), nullptr);  // untitled: no link
  EXPECT_TRUE(SetForegroundWindow(wnd.GetHWND()));
  EXPECT_TRUE(wnd.IsVisible());
  EXPECT_FALSE(SetForegroundWindow(nullptr));
  EXPECT_FALSE(SetForegroundWindow(reinterpret_cast<HWND>(0x7F000001 + 0x100000)));
  wnd.DestroyWindow();
}

}  // namespace
}  // namespace skinui
