// The message loop of the window library: one queue per thread, windows addressed by handle.
//
// Every thread that creates windows or runs a loop has its own queue, made on first use. Posting is
// safe from any thread: a post finds the target window's queue through the window table under one
// lock, so a post to a destroyed window (or to a thread whose queue has ended) fails and the poster
// keeps whatever it meant to hand over. Windows are only ever touched by their own thread.
//
// A queue hands out, in this order: posted messages (FIFO; WM_QUIT posted with PostThreadMessage
// takes its place among them), the quit request of PostQuitMessage, a WM_PAINT for a window that
// asked to be repainted, then WM_TIMER for a due timer. Timers read the library clock (SetUiClock),
// so tests drive them by hand.
//
// Lock order: the window table's lock, then a queue's lock; nothing calls out under either.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/win_types.h"

namespace skinui {

class CWindowWnd;

// Waits for native events on behalf of a queue (a rendering backend's event source). Pump turns
// pending native events into posted messages, waiting at most `timeout_ms` (-1 = no limit) for one
// to arrive; Wake, called from any thread, makes a waiting Pump return early.
class EventPump {
 public:
  virtual ~EventPump() = default;
  virtual void Pump(int timeout_ms) = 0;
  virtual void Wake() = 0;
};

// The clock that timers and message time stamps read; the system clock until set.
// REQUIRES: `clock` outlives every timer; set before windows exist (tests) or never.
void SetUiClock(const platform::Clock* clock);
const platform::Clock& UiClock();

// A small, never-reused number for the calling thread (its queue's address for PostThreadMessage).
DWORD GetCurrentThreadId();

// Installs the native event source for the calling thread's queue (null removes it).
void SetThreadEventPump(EventPump* pump);

// Posts to a window's queue. False when `hwnd` is not a live window: the caller still owns
// anything `lParam` points to.
bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Posts a message without a window (hwnd null) to a thread's queue; WM_QUIT posted this way ends
// that thread's loop when it is reached. False when the thread has no live queue.
bool PostThreadMessage(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam);

// Asks the calling thread's loop to end with `exit_code`, after the messages already posted.
void PostQuitMessage(int exit_code);

// Takes the next message of the calling thread's queue, waiting for one. False for WM_QUIT (its
// exit code in msg->wParam).
bool GetMessage(MSG* msg);

// Takes the next message if there is one, without waiting. True when `msg` was filled (WM_QUIT
// included).
bool PeekMessage(MSG* msg);

// Hands a message to its window's HandleMessage on this thread. Messages for windows that no
// longer exist, and messages without a window, are dropped (0).
LRESULT DispatchMessage(const MSG& msg);

// Calls the window's HandleMessage directly. Only for windows of the calling thread (0 otherwise).
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the calling thread's loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// A repeating timer of a window of the calling thread: WM_TIMER with wParam `id` every
// `elapse_ms` of the library clock. Setting an existing id restarts it. Returns `id`, 0 when
// `hwnd` is not a window of this thread.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms);
bool KillTimer(HWND hwnd, UINT_PTR id);

// Asks for one WM_PAINT for the window when its queue has nothing posted.
void InvalidateWindow(HWND hwnd);

// True for the handle of a window that has not been destroyed.
bool IsWindow(HWND hwnd);

// The window object behind a handle of the calling thread, or null.
CWindowWnd* WindowFromHandle(HWND hwnd);

// True when the calling thread's queue holds something it would hand out now (posted messages,
// quit, a paint, a due timer).
bool HasPendingMessages();

// Milliseconds until the calling thread's next timer is due (0 = due now), -1 without timers.
int MillisecondsToNextTimer();

namespace internal {
// Used by CWindowWnd: a new handle for `wnd` on the calling thread, and its removal (which also
// drops its timers and paint request).
HWND RegisterWindow(CWindowWnd* wnd);
void UnregisterWindow(HWND hwnd);
// Every live window of the calling thread, oldest first.
std::vector<HWND> WindowsOfThread();
}  // namespace internal

}  // namespace skinui
