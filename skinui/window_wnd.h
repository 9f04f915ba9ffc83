// A top-level window: a handle in the window table, a native window of the backend, and a message
// handler. Windows live on the thread that created them; Close and PostMessage work from any thread
// because they go through the handle.
//
// Destroying a window destroys the windows it owns first, sends WM_DESTROY, removes the handle
// (later posts to it fail, its timers stop), sends WM_NCDESTROY and finally calls OnFinalMessage,
// after which a window that deletes itself may do so. A window on the stack simply outlives its
// handle.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/win_types.h"
#include "skinui/backend.h"
#include "skinui/window_link_listener.h"

namespace skinui {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;
  virtual ~CWindowWnd();

  HWND GetHWND() const { return hwnd_.load(); }
  operator HWND() const { return GetHWND(); }

  // Makes the window (hidden unless `style` holds WS_VISIBLE) and sends WM_CREATE. A zero size
  // leaves the size to the window (a skin's own size). Returns the handle, null when WM_CREATE
  // returned -1.
  HWND Create(HWND owner, const char* name, DWORD style, DWORD ex_style, int x = 0, int y = 0,
              int cx = 0, int cy = 0, void* menu = nullptr);

  void ShowWindow(bool show = true, bool take_focus = true);
  // Shows the window if it is hidden and brings it in front of the others (also when it was
  // shown already, behind another window); the shown windows it owns come along above it.
  void BringToFront();

  // Shows the window and runs a nested loop until it is destroyed; the owner takes no input
  // meanwhile. Returns the value given to Close (or the dismiss result when the window manager
  // closed it). WM_QUIT ends the loop early and is posted again for the loops outside.
  UINT ShowModal();

  // Asks the window to close with `result` as its modal result. Safe from any thread.
  void Close(UINT result = IDOK);

  // Centres the window on its owner, or on the screen without one.
  void CenterWindow();

  // Posts to this window (any thread). False once the window is gone.
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Destroys the window now (its own thread only).
  void DestroyWindow();

  void ResizeClient(int cx, int cy);
  // Puts the window's top-left corner at (x, y) on the screen, keeping its size; the window gets
  // WM_MOVE.
  void MoveWindow(int x, int y);
  RECT GetWindowRect() const { return rect_; }
  SIZE GetClientSize() const { return SIZE{rect_.right - rect_.left, rect_.bottom - rect_.top}; }
  const std::string& GetTitle() const { return title_; }
  HWND GetOwner() const { return owner_; }
  bool IsVisible() const { return visible_; }
  bool IsWindowEnabled() const { return enabled_; }
  void EnableWindow(bool enable) { enabled_ = enable; }
  NativeWindow* native() const { return native_.get(); }

  // Handles one message; the base handles kRaiseWindowMessage (shows the window), WM_CLOSE
  // (destroys the window, keeping wParam as the modal result) and SC_CLOSE of WM_SYSCOMMAND (the
  // window manager's close button: closes with GetDismissResult).
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  virtual const char* GetWindowClassName() const = 0;

 protected:
  // Called last when the window has been destroyed; a window that lives on the heap deletes itself
  // here.
  virtual void OnFinalMessage(HWND hwnd);

  // The modal result when the user closes the window through the window manager rather than
  // through one of its own controls; IDCANCEL unless a window knows better.
  virtual UINT GetDismissResult() const { return IDCANCEL; }

 private:
  struct ModalState {
    bool done = false;
    UINT result = 0;
  };

  std::atomic<HWND> hwnd_{nullptr};
  HWND owner_ = nullptr;
  // Raises the window, then the shown windows it owns above it (theirs above them).
  void RaiseWithOwned();
  std::string title_;
  RECT rect_;
  bool visible_ = false;
  bool enabled_ = true;
  bool destroying_ = false;
  UINT close_result_ = 0;
  ModalState* modal_ = nullptr;
  std::unique_ptr<NativeWindow> native_;
  std::unique_ptr<WindowLinkListener> link_;  // titled top-level windows only
};

namespace internal {
// Test support: `answer` runs once, on this thread, inside the next modal loop that has nothing
// else to do, with the modal window.
void PushModalAnswer(std::function<void(CWindowWnd&)> answer);
size_t PendingModalAnswers();
}  // namespace internal

}  // namespace skinui
