#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "skinui/message_queue.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

constexpr UINT kPing = WM_USER + 1;

class TestWindow : public CWindowWnd {
 public:
  std::function<bool(UINT, WPARAM, LPARAM)> on_message;  // true = handled
  std::vector<UINT> seen;
  std::vector<WPARAM> params;
  bool* final_flag = nullptr;
  bool delete_on_final = false;

  const char* GetWindowClassName() const override { return "TestWindow"; }
  LRESULT HandleMessage(UINT m, WPARAM w, LPARAM l) override {
    seen.push_back(m);
    if (m == kPing || m == WM_TIMER)
      params.push_back(w);
    if (on_message && on_message(m, w, l))
      return 0;
    return CWindowWnd::HandleMessage(m, w, l);
  }

 protected:
  void OnFinalMessage(HWND) override {
    if (final_flag != nullptr)
      *final_flag = true;
    if (delete_on_final)
      delete this;
  }
};

// Dispatches what is ready now, without waiting.
void Drain() {
  MSG msg;
  while (PeekMessage(&msg)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchMessage(msg);
  }
}

std::vector<WPARAM> Pings(const TestWindow& w) {
  return w.params;
}

TEST(SkinuiMessageLoop, PostsFromOtherThreadsArriveInEachPostersOrder) {
  TestWindow w;
  ASSERT_NE(w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10), nullptr);
  const HWND h = w.GetHWND();
  constexpr int kPerThread = 200;
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([h, t] {
      for (int i = 0; i < kPerThread; ++i)
        ASSERT_TRUE(PostMessage(h, kPing, t * 1000 + i, 0));
    });
  }
  for (auto& p : posters)
    p.join();
  Drain();
  ASSERT_EQ(w.params.size(), 4u * kPerThread);
  std::vector<int> next(4, 0);
  for (WPARAM v : w.params) {
    const int t = static_cast<int>(v / 1000);
    EXPECT_EQ(static_cast<int>(v % 1000), next[t]++);
  }
}

TEST(SkinuiMessageLoop, PostToDestroyedWindowFailsAndThePosterKeepsItsRecord) {
  auto* w = new TestWindow;
  w->delete_on_final = true;
  const HWND h = w->Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  w->DestroyWindow();  // deletes w
  EXPECT_FALSE(IsWindow(h));
  auto record = std::make_unique<std::string>("result");
  bool posted = true;
  std::thread([&] {
    posted = PostMessage(h, kPing, 0, reinterpret_cast<LPARAM>(record.get()));
  }).join();
  EXPECT_FALSE(posted);
  if (posted)
    (void)record.release();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(*record, "result");
  // A handle is never handed out again, so an old handle never reaches a newer window.
  TestWindow other;
  EXPECT_NE(other.Create(nullptr, "t", 0, 0), h);
}

TEST(SkinuiMessageLoop, MessagesQueuedForAWindowDestroyedMeanwhileAreDropped) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  ASSERT_TRUE(w.PostMessage(kPing, 1));
  w.DestroyWindow();
  Drain();
  EXPECT_TRUE(w.params.empty());
}

TEST(SkinuiMessageLoop, QuitPostedBeforeTheLoopEndsItAtOnce) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  ASSERT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_QUIT, 3, 0));
  ASSERT_TRUE(w.PostMessage(kPing, 1));  // posted after the quit: never seen by this loop
  EXPECT_EQ(RunMessageLoop(), 3);
  EXPECT_TRUE(w.params.empty());
  Drain();  // the next loop would take it
  EXPECT_EQ(Pings(w), std::vector<WPARAM>{1});
}

TEST(SkinuiMessageLoop, PostQuitMessageComesAfterWhatIsAlreadyPosted) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  w.PostMessage(kPing, 1);
  w.PostMessage(kPing, 2);
  PostQuitMessage(0);
  EXPECT_EQ(RunMessageLoop(), 0);
  EXPECT_EQ(Pings(w), (std::vector<WPARAM>{1, 2}));
}

TEST(SkinuiMessageLoop, QuitFromAnotherThreadWakesAWaitingLoop) {
  const DWORD me = GetCurrentThreadId();
  std::thread t([me] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostThreadMessage(me, WM_QUIT, 9, 0);
  });
  EXPECT_EQ(RunMessageLoop(), 9);
  t.join();
}

TEST(SkinuiMessageLoop, PostThreadMessageToAnEndedThreadFails) {
  DWORD id = 0;
  std::thread([&] {
    id = GetCurrentThreadId();
    MSG m;
    PeekMessage(&m);  // makes its queue
  }).join();
  EXPECT_FALSE(PostThreadMessage(id, WM_QUIT, 0, 0));
}

class SkinuiTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { SetUiClock(&clock_); }
  void TearDown() override { SetUiClock(nullptr); }
  platform::ManualClock clock_{0xFFFFFF00u};  // near the wrap of the tick
};

TEST_F(SkinuiTimerTest, TimersFireOnTheInjectedClockAcrossTheTickWrap) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  ASSERT_EQ(SetTimer(w, 1, 3000), 1u);
  ASSERT_EQ(SetTimer(w, 2, 1000), 2u);
  Drain();
  EXPECT_TRUE(w.params.empty());
  EXPECT_EQ(MillisecondsToNextTimer(), 1000);
  clock_.Advance(999);
  Drain();
  EXPECT_TRUE(w.params.empty());
  clock_.Advance(1);
  Drain();
  EXPECT_EQ(Pings(w), std::vector<WPARAM>{2});  // once per period, no backlog
  clock_.Advance(2000);
  Drain();
  EXPECT_EQ(Pings(w), (std::vector<WPARAM>{2, 1, 2}));
  EXPECT_TRUE(KillTimer(w, 2));
  EXPECT_FALSE(KillTimer(w, 2));
  clock_.Advance(3000);
  Drain();
  EXPECT_EQ(Pings(w), (std::vector<WPARAM>{2, 1, 2, 1}));
  // Timers die with their window.
  w.DestroyWindow();
  EXPECT_EQ(MillisecondsToNextTimer(), -1);
  EXPECT_EQ(SetTimer(w.GetHWND(), 1, 10), 0u);
}

TEST_F(SkinuiTimerTest, PostedMessagesComeBeforeADueTimer) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  SetTimer(w, 5, 10);
  clock_.Advance(10);
  w.PostMessage(kPing, 1);
  Drain();
  EXPECT_EQ(Pings(w), (std::vector<WPARAM>{1, 5}));
}

TEST(SkinuiMessageLoop, TimerOfAWindowOfAnotherThreadIsRefused) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  UINT_PTR got = 1;
  std::thread([&] { got = SetTimer(w.GetHWND(), 1, 10); }).join();
  EXPECT_EQ(got, 0u);
}

// Opens `depth` modal windows inside each other. Each level, once shown, opens the next from its
// own handler; the innermost closes itself, and each level closes with its child's result + 1.
UINT RunNested(int depth, HWND owner, std::vector<bool>* owner_enabled_seen) {
  TestWindow w;
  w.Create(owner, "level", 0, 0, 0, 0, 100, 100);
  const HWND self = w.GetHWND();
  w.on_message = [&, self](UINT m, WPARAM, LPARAM) {
    if (m != WM_SHOWWINDOW)
      return false;
    if (owner != nullptr) {
      CWindowWnd* o = WindowFromHandle(owner);
      owner_enabled_seen->push_back(o != nullptr && o->IsWindowEnabled());
    }
    if (depth == 1) {
      PostMessage(self, WM_CLOSE, 100, 0);
    } else {
      PostMessage(self, kPing, 0, 0);
    }
    return true;
  };
  UINT inner = 0;
  auto base = w.on_message;
  w.on_message = [&, base](UINT m, WPARAM wp, LPARAM lp) {
    if (m == kPing) {
      inner = RunNested(depth - 1, depth % 2 == 0 ? self : nullptr, owner_enabled_seen);
      w.Close(inner + 1);
      return true;
    }
    return base(m, wp, lp);
  };
  return w.ShowModal();
}

TEST(SkinuiMessageLoop, ModalLoopsNestFourDeepWithAndWithoutOwners) {
  std::vector<bool> owner_enabled;
  EXPECT_EQ(RunNested(5, nullptr, &owner_enabled), 104u);
  // Levels opened with an owner saw it disabled while they ran.
  ASSERT_FALSE(owner_enabled.empty());
  for (bool e : owner_enabled)
    EXPECT_FALSE(e);
}

TEST(SkinuiMessageLoop, OwnerIsEnabledAgainAfterItsModalChildEnds) {
  TestWindow owner;
  owner.Create(nullptr, "owner", 0, 0, 0, 0, 10, 10);
  TestWindow child;
  child.Create(owner, "child", 0, 0, 0, 0, 10, 10);
  child.Close(4);
  EXPECT_EQ(child.ShowModal(), 4u);
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST(SkinuiMessageLoop, CloseFromAnotherThreadEndsTheModalLoopWithItsValue) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  std::thread closer([&] { w.Close(42); });
  EXPECT_EQ(w.ShowModal(), 42u);
  closer.join();
  EXPECT_FALSE(IsWindow(w.GetHWND()));
}

TEST(SkinuiMessageLoop, QuitInsideModalLoopsEndsThemAllAndReachesTheOuterLoop) {
  TestWindow outer;
  outer.Create(nullptr, "outer", 0, 0, 0, 0, 10, 10);
  outer.on_message = [&](UINT m, WPARAM, LPARAM) {
    if (m != kPing)
      return false;
    TestWindow inner;
    inner.Create(outer, "inner", 0, 0, 0, 0, 10, 10);
    PostQuitMessage(5);
    inner.ShowModal();
    return true;
  };
  outer.PostMessage(kPing);
  EXPECT_EQ(RunMessageLoop(), 5);
}

TEST(SkinuiMessageLoop, WindowManagerCloseGivesTheDismissResultNotZero) {
  TestWindow w;
  w.Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  w.PostMessage(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_EQ(w.ShowModal(), static_cast<UINT>(IDCANCEL));
}

TEST(SkinuiMessageLoop, SelfDeletingModalWindowGetsItsFinalMessageOnce) {
  auto* w = new TestWindow;
  bool final_seen = false;
  w->final_flag = &final_seen;
  w->delete_on_final = true;
  w->Create(nullptr, "t", 0, 0, 0, 0, 10, 10);
  w->Close(7);
  EXPECT_EQ(w->ShowModal(), 7u);  // w is gone; ASan reports any use of it after this
  EXPECT_TRUE(final_seen);
}

TEST(SkinuiMessageLoop, DestroyingAnOwnerDestroysTheWindowsItOwnsFirst) {
  std::vector<std::string> order;
  TestWindow owner;
  owner.Create(nullptr, "owner", 0, 0, 0, 0, 10, 10);
  TestWindow child;
  child.Create(owner, "child", 0, 0, 0, 0, 10, 10);
  owner.on_message = [&](UINT m, WPARAM, LPARAM) {
    if (m == WM_DESTROY)
      order.push_back("owner");
    return false;
  };
  child.on_message = [&](UINT m, WPARAM, LPARAM) {
    if (m == WM_DESTROY)
      order.push_back("child");
    return false;
  };
  owner.DestroyWindow();
  EXPECT_EQ(order, (std::vector<std::string>{"child", "owner"}));
  EXPECT_FALSE(IsWindow(child.GetHWND()));
}

}  // namespace
}  // namespace skinui
