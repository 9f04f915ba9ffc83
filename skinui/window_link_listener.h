// Receives what other processes post to a titled top-level window through its link.
//
// Each listener owns one bound link and one thread that polls it and posts every record into the
// window's own queue, so the window handles it on its own thread like any other posted message. A
// foreground request arrives as kRaiseWindowMessage, which the window turns into showing itself;
// posts outside the link's message range are dropped.
// The thread is stopped and joined when the listener is destroyed (the window's destruction);
// the link's interrupt wakes it at once, so closing a titled window never waits on its poll.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/win_types.h"
#include "platform/window_link.h"

namespace skinui {

// Asks a window to show and raise itself (the cross-process foreground request). Chosen at the top
// of the window-private range so that it stays clear of the numbers windows use for themselves.
inline constexpr UINT kRaiseWindowMessage = WM_APP - 1;

// The messages another process may post to a window: the program-private range. Numbers below it
// are the library's own or carry pointers within one process (WM_USER + 120 hands a command
// over), which a number from elsewhere must never pass for.
inline constexpr UINT kFirstLinkMessage = WM_APP;
inline constexpr UINT kLastLinkMessage = 0xBFFF;
inline constexpr bool IsLinkMessage(UINT message) {
  return message >= kFirstLinkMessage && message <= kLastLinkMessage;
}

class WindowLinkListener {
 public:
  // Binds the link for `title` and starts delivering to `hwnd`. Null when the title has no link
  // (empty, too long, or already held by another window of this user).
  static std::unique_ptr<WindowLinkListener> Start(const std::string& title, HWND hwnd);
  ~WindowLinkListener();
  WindowLinkListener(const WindowLinkListener&) = delete;
  WindowLinkListener& operator=(const WindowLinkListener&) = delete;

 private:
  WindowLinkListener(std::unique_ptr<platform::WindowLink> link, HWND hwnd);
  void Run();

  std::unique_ptr<platform::WindowLink> link_;
  const HWND hwnd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace skinui
