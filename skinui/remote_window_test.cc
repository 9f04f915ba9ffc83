#include "skinui/remote_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_link.h"
#include "skinui/headless_backend.h"
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
    if (message >= WM_USER || message == WM_SHOWWINDOW || message == WM_CLOSE) {
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

// A window shown already but behind others must still come forward, by its own handle or a found
// one.
TEST(RemoteWindowTest, ForegroundRequestRaisesAWindowShownAlready) {
  const std::string title = UniqueTitle("Hall behind");
  RecordingWindow wnd;
  wnd.quit_on = kRaiseWindowMessage;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), WS_VISIBLE, 0), nullptr);
  HeadlessWindow* native = HeadlessWindowOf(wnd.GetHWND());
  ASSERT_NE(native, nullptr);
  ASSERT_TRUE(native->visible());
  EXPECT_EQ(native->raise_count(), 0);
  ASSERT_TRUE(SetForegroundWindow(FindWindow(title)));
  RunMessageLoop();
  EXPECT_EQ(native->raise_count(), 1);
  EXPECT_TRUE(SetForegroundWindow(wnd.GetHWND()));
  EXPECT_EQ(native->raise_count(), 2);
  wnd.DestroyWindow();
}

// A hall asked forward while its login dialog is open: the dialog, which it owns, must stay above
// it (and a hidden owned window stays hidden), or the hall would show a window that takes no input.
TEST(RemoteWindowTest, ForegroundRequestKeepsTheOwnedWindowsAboveTheirOwner) {
  const std::string title = UniqueTitle("Hall with a dialog");
  RecordingWindow hall;
  ASSERT_NE(hall.Create(nullptr, title.c_str(), WS_VISIBLE, 0), nullptr);
  RecordingWindow dialog, hidden, inner, stranger;
  ASSERT_NE(dialog.Create(hall.GetHWND(), "", WS_VISIBLE, 0), nullptr);
  ASSERT_NE(hidden.Create(hall.GetHWND(), "", 0, 0), nullptr);
  ASSERT_NE(inner.Create(dialog.GetHWND(), "", WS_VISIBLE, 0), nullptr);
  ASSERT_NE(stranger.Create(nullptr, "", WS_VISIBLE, 0), nullptr);
  ASSERT_TRUE(SetForegroundWindow(hall.GetHWND()));
  HeadlessWindow* h = HeadlessWindowOf(hall.GetHWND());
  HeadlessWindow* d = HeadlessWindowOf(dialog.GetHWND());
  HeadlessWindow* i = HeadlessWindowOf(inner.GetHWND());
  ASSERT_NE(h, nullptr);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(i, nullptr);
  EXPECT_GT(h->raise_order(), 0);
  EXPECT_GT(d->raise_order(), h->raise_order());
  EXPECT_GT(i->raise_order(), d->raise_order());
  EXPECT_FALSE(HeadlessWindowOf(hidden.GetHWND())->visible());
  EXPECT_EQ(HeadlessWindowOf(hidden.GetHWND())->raise_count(), 0);
  EXPECT_EQ(HeadlessWindowOf(stranger.GetHWND())->raise_count(), 0);
  stranger.DestroyWindow();
  hall.DestroyWindow();
}

// Closing a titled window stops its link's thread at once rather than after the thread's next
// poll: dialogs open and close often, and each close would otherwise hold the window thread.
TEST(RemoteWindowTest, ClosingATitledWindowDoesNotWaitOnItsLink) {
  constexpr int kWindows = 10;  // at most a poll slice (50 ms) each without the interrupt
  std::chrono::steady_clock::duration closing{};
  for (int i = 0; i < kWindows; ++i) {
    RecordingWindow wnd;
    const std::string title = UniqueTitle("Hall dialog");
    ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
    // A post through the link and back, then a moment for its thread to go back to its poll:
    // only the close itself is timed.
    ASSERT_TRUE(PostMessage(FindWindow(title), kHandOver, 0, 0));
    RunMessageLoop();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const auto begin = std::chrono::steady_clock::now();
    wnd.DestroyWindow();
    closing += std::chrono::steady_clock::now() - begin;
  }
  EXPECT_LT(closing, std::chrono::milliseconds(150));
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

// Only numbers of the program-private range cross the link: a number below it could be one the
// window reads as a pointer (WM_USER + 120) or one the library acts on (WM_CLOSE). The sender
// refuses them, and the window drops them when another sender does not.
TEST(RemoteWindowTest, OnlyProgramPrivateMessagesCrossTheLink) {
  const std::string title = UniqueTitle("Hall range");
  RecordingWindow wnd;
  wnd.quit_on = WM_APP + 1;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
  const HWND found = FindWindow(title);
  ASSERT_NE(found, nullptr);
  struct Case {
    UINT message;
    bool crosses;
  };
  const Case cases[] = {
      {WM_CLOSE, false},         {WM_QUIT, false},
      {WM_TIMER, false},         {WM_USER, false},
      {WM_USER + 120, false},    {kRaiseWindowMessage, false},
      {kFirstLinkMessage, true}, {kHandOver, true},
      {kLastLinkMessage, true},  {kLastLinkMessage + 1, false},
      {0xFFFFFFFF, false},
  };
  std::vector<UINT> expected;
  for (const Case& c : cases) {
    EXPECT_EQ(PostMessage(found, c.message, 1, 2), c.crosses) << c.message;
    ASSERT_TRUE(platform::SendToWindowLink(
        title, platform::LinkMessage{platform::LinkKind::kPost, c.message, 3, 4}));
    if (c.crosses) {
      expected.push_back(c.message);
      expected.push_back(c.message);
    }
  }
  ASSERT_TRUE(PostMessage(found, WM_APP + 1, 0, 0));
  expected.push_back(WM_APP + 1);
  RunMessageLoop();
  std::vector<UINT> got;
  for (const auto& g : wnd.got)
    got.push_back(g.message);
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(IsWindow(wnd.GetHWND()));
  wnd.DestroyWindow();
}

// The kernel queues only a few datagrams per socket; a burst longer than that still arrives
// whole and in order.
TEST(RemoteWindowTest, ABurstOfPostsArrivesWholeAndInOrder) {
  const std::string title = UniqueTitle("Hall burst");
  RecordingWindow wnd;
  wnd.quit_on = WM_APP + 1;
  ASSERT_NE(wnd.Create(nullptr, title.c_str(), 0, 0), nullptr);
  const HWND found = FindWindow(title);
  ASSERT_NE(found, nullptr);
  constexpr int kBurst = 300;
  for (int i = 0; i < kBurst; ++i)
    ASSERT_TRUE(PostMessage(found, kHandOver, static_cast<WPARAM>(i), -i)) << i;
  ASSERT_TRUE(PostMessage(found, WM_APP + 1, 0, 0));
  RunMessageLoop();
  ASSERT_EQ(wnd.got.size(), static_cast<size_t>(kBurst + 1));
  for (int i = 0; i < kBurst; ++i) {
    EXPECT_EQ(wnd.got[i].wparam, static_cast<WPARAM>(i));
    EXPECT_EQ(wnd.got[i].lparam, -i);
  }
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
