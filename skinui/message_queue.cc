#include "skinui/message_queue.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "skinui/remote_window.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

// The longest a waiting loop sleeps before it looks at the clock again; bounds the lateness of a
// timer when the clock is moved by hand while the loop waits.
constexpr int kMaxWaitSliceMs = 50;

std::atomic<const platform::Clock*> g_clock{nullptr};
std::atomic<DWORD> g_next_thread_id{1};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  uint32_t last;  // tick of the start or of the last WM_TIMER
};

class ThreadQueue {
 public:
  explicit ThreadQueue(DWORD id) : id_(id) {}

  DWORD id() const { return id_; }

  bool Post(const MSG& msg) {
    EventPump* pump;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (closed_)
        return false;
      posted_.push_back(msg);
      pump = pump_;
    }
    cv_.notify_one();
    if (pump != nullptr)
      pump->Wake();
    return true;
  }

  void PostQuit(int code) {
    std::lock_guard<std::mutex> lock(mu_);
    quit_ = true;
    quit_code_ = code;
  }

  void Close() {
    std::lock_guard<std::mutex> lock(mu_);
    closed_ = true;
    posted_.clear();
  }

  void SetPump(EventPump* pump) {
    std::lock_guard<std::mutex> lock(mu_);
    pump_ = pump;
  }

  // Fills `out` with the next message to hand out; false when there is none now.
  bool TakeReady(MSG* out) {
    std::lock_guard<std::mutex> lock(mu_);
    return TakeReadyLocked(out);
  }

  bool Get(MSG* out, bool wait) {
    for (;;) {
      EventPump* pump;
      {
        std::unique_lock<std::mutex> lock(mu_);
        if (TakeReadyLocked(out))
          return true;
        if (!wait) {
          pump = pump_;
          if (pump == nullptr)
            return false;
        } else {
          pump = pump_;
          if (pump == nullptr) {
            const int next = NextTimerLocked();
            const int slice = next < 0 ? kMaxWaitSliceMs : std::min(next, kMaxWaitSliceMs);
            cv_.wait_for(lock, std::chrono::milliseconds(slice));
            continue;
          }
        }
      }
      // With a native event source the wait happens there; a post wakes it.
      if (!wait) {
        pump->Pump(0);
        std::lock_guard<std::mutex> lock(mu_);
        return TakeReadyLocked(out);
      }
      int next;
      {
        std::lock_guard<std::mutex> lock(mu_);
        next = NextTimerLocked();
      }
      pump->Pump(next < 0 ? kMaxWaitSliceMs : std::min(next, kMaxWaitSliceMs));
    }
  }

  bool HasReady() {
    std::lock_guard<std::mutex> lock(mu_);
    if (!posted_.empty() || quit_ || !paint_.empty())
      return true;
    return NextTimerLocked() == 0;
  }

  int NextTimer() {
    std::lock_guard<std::mutex> lock(mu_);
    return NextTimerLocked();
  }

  void SetTimer(HWND hwnd, UINT_PTR id, UINT elapse) {
    std::lock_guard<std::mutex> lock(mu_);
    const uint32_t now = UiClock().TickCount();
    for (Timer& t : timers_) {
      if (t.hwnd == hwnd && t.id == id) {
        t.elapse = elapse;
        t.last = now;
        return;
      }
    }
    timers_.push_back(Timer{hwnd, id, elapse, now});
  }

  bool KillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard<std::mutex> lock(mu_);
    const auto before = timers_.size();
    std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    return timers_.size() != before;
  }

  void Invalidate(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mu_);
    if (std::find(paint_.begin(), paint_.end(), hwnd) == paint_.end())
      paint_.push_back(hwnd);
  }

  void ForgetWindow(HWND hwnd) {
    std::lock_guard<std::mutex> lock(mu_);
    std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd; });
    std::erase(paint_, hwnd);
  }

 private:
  bool TakeReadyLocked(MSG* out) {
    if (!posted_.empty()) {
      *out = posted_.front();
      posted_.pop_front();
      return true;
    }
    if (quit_) {
      quit_ = false;
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quit_code_), 0};
      return true;
    }
    if (!paint_.empty()) {
      *out = MSG{paint_.front(), WM_PAINT, 0, 0};
      paint_.erase(paint_.begin());
      return true;
    }
    const uint32_t now = UiClock().TickCount();
    for (Timer& t : timers_) {
      if (platform::TicksSince(now, t.last) >= t.elapse) {
        t.last = now;
        // Move it to the back so that one fast timer cannot starve the others.
        Timer fired = t;
        std::erase_if(timers_,
                      [&](const Timer& x) { return x.hwnd == fired.hwnd && x.id == fired.id; });
        timers_.push_back(fired);
        *out = MSG{fired.hwnd, WM_TIMER, fired.id, 0};
        return true;
      }
    }
    return false;
  }

  int NextTimerLocked() const {
    if (timers_.empty())
      return -1;
    const uint32_t now = UiClock().TickCount();
    uint32_t best = UINT32_MAX;
    for (const Timer& t : timers_) {
      const uint32_t passed = platform::TicksSince(now, t.last);
      const uint32_t left = passed >= t.elapse ? 0 : t.elapse - passed;
      best = std::min(best, left);
    }
    return static_cast<int>(std::min<uint32_t>(best, INT32_MAX));
  }

  const DWORD id_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<MSG> posted_;
  bool quit_ = false;
  int quit_code_ = 0;
  bool closed_ = false;
  std::vector<Timer> timers_;
  std::vector<HWND> paint_;
  EventPump* pump_ = nullptr;
};

struct WindowEntry {
  CWindowWnd* wnd;
  std::shared_ptr<ThreadQueue> queue;
};

// Handles and thread queues, under one lock.
struct Registry {
  std::mutex mu;
  std::map<uintptr_t, WindowEntry> windows;  // ordered by handle = by age
  std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> threads;
  uintptr_t next_handle = 0x1000;
};

Registry& registry() {
  static Registry* r = new Registry;  // outlives thread-local queues ending at exit
  return *r;
}

// Owns the calling thread's queue; ending the thread closes it so later posts fail.
struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (!queue)
      return;
    queue->Close();
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.threads.erase(queue->id());
  }
};

ThreadQueue& CurrentQueue() {
  thread_local QueueHolder holder;
  if (!holder.queue) {
    holder.queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.threads[holder.queue->id()] = holder.queue;
  }
  return *holder.queue;
}

std::shared_ptr<ThreadQueue> CurrentQueueShared() {
  ThreadQueue& q = CurrentQueue();
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  return r.threads[q.id()].lock();
}

uintptr_t Key(HWND hwnd) {
  return reinterpret_cast<uintptr_t>(hwnd);
}

// The entry's queue when `hwnd` is a window of the calling thread.
bool IsOwnWindow(HWND hwnd) {
  ThreadQueue& mine = CurrentQueue();
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.windows.find(Key(hwnd));
  return it != r.windows.end() && it->second.queue.get() == &mine;
}

}  // namespace

void SetUiClock(const platform::Clock* clock) {
  g_clock.store(clock);
}

const platform::Clock& UiClock() {
  const platform::Clock* c = g_clock.load();
  return c != nullptr ? *c : platform::SystemClock();
}

DWORD GetCurrentThreadId() {
  thread_local DWORD id = g_next_thread_id.fetch_add(1);
  return id;
}

void SetThreadEventPump(EventPump* pump) {
  CurrentQueue().SetPump(pump);
}

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd == nullptr)
    return false;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mu);
    auto it = r.windows.find(Key(hwnd));
    if (it != r.windows.end())
      return it->second.queue->Post(MSG{hwnd, message, wParam, lParam});
  }
  // Not a window of this process: perhaps a handle from FindWindow (sent outside the lock).
  return internal::PostToRemoteWindow(hwnd, message, wParam, lParam);
}

bool PostThreadMessage(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<ThreadQueue> queue;
  if (thread_id == GetCurrentThreadId()) {
    CurrentQueue();
  }
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.threads.find(thread_id);
  if (it == r.threads.end())
    return false;
  queue = it->second.lock();
  if (!queue)
    return false;
  return queue->Post(MSG{nullptr, message, wParam, lParam});
}

void PostQuitMessage(int exit_code) {
  CurrentQueue().PostQuit(exit_code);
}

bool GetMessage(MSG* msg) {
  CurrentQueue().Get(msg, /*wait=*/true);
  return msg->message != WM_QUIT;
}

bool PeekMessage(MSG* msg) {
  return CurrentQueue().Get(msg, /*wait=*/false);
}

LRESULT DispatchMessage(const MSG& msg) {
  CWindowWnd* wnd = WindowFromHandle(msg.hwnd);
  if (wnd == nullptr)
    return 0;
  return wnd->HandleMessage(msg.message, msg.wParam, msg.lParam);
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWindowWnd* wnd = WindowFromHandle(hwnd);
  if (wnd == nullptr)
    return 0;
  return wnd->HandleMessage(message, wParam, lParam);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessage(&msg))
    DispatchMessage(msg);
  return static_cast<int>(msg.wParam);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms) {
  if (!IsOwnWindow(hwnd))
    return 0;
  CurrentQueue().SetTimer(hwnd, id, elapse_ms);
  return id;
}

bool KillTimer(HWND hwnd, UINT_PTR id) {
  return CurrentQueue().KillTimer(hwnd, id);
}

void InvalidateWindow(HWND hwnd) {
  if (IsOwnWindow(hwnd))
    CurrentQueue().Invalidate(hwnd);
}

bool IsWindow(HWND hwnd) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  return r.windows.count(Key(hwnd)) != 0;
}

CWindowWnd* WindowFromHandle(HWND hwnd) {
  if (hwnd == nullptr)
    return nullptr;
  ThreadQueue& mine = CurrentQueue();
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto it = r.windows.find(Key(hwnd));
  if (it == r.windows.end() || it->second.queue.get() != &mine)
    return nullptr;
  return it->second.wnd;
}

bool HasPendingMessages() {
  return CurrentQueue().HasReady();
}

int MillisecondsToNextTimer() {
  return CurrentQueue().NextTimer();
}

namespace internal {

HWND RegisterWindow(CWindowWnd* wnd) {
  std::shared_ptr<ThreadQueue> queue = CurrentQueueShared();
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  const uintptr_t handle = r.next_handle;
  r.next_handle += 0x10;
  r.windows[handle] = WindowEntry{wnd, std::move(queue)};
  return reinterpret_cast<HWND>(handle);
}

void UnregisterWindow(HWND hwnd) {
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.windows.erase(Key(hwnd));
  }
  CurrentQueue().ForgetWindow(hwnd);
}

std::vector<HWND> WindowsOfThread() {
  ThreadQueue& mine = CurrentQueue();
  std::vector<HWND> out;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  for (const auto& [key, entry] : r.windows) {
    if (entry.queue.get() == &mine)
      out.push_back(reinterpret_cast<HWND>(key));
  }
  return out;
}

}  // namespace internal

}  // namespace skinui
