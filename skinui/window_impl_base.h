// The base of every skin window: builds the tree from the window's skin file when the window is
// made, routes window messages through the overridable steps below and notifications through the
// window's notify map.
//
// Message order: WM_CREATE builds the skin and calls InitWindow; WM_KEYDOWN is offered to
// ResponseDefaultKeyEvent first; WM_CLOSE to OnClose, WM_SYSCOMMAND to OnSysCommand; every message
// then to MessageHandler and HandleCustomMessage (each may take it), then to the paint manager,
// then to CWindowWnd.
//
// Notifications: Notify looks the notification up in GetMessageMap (first entry whose type matches
// and whose control name is empty or the sender's name); a "click" no entry took goes to OnClick.
#pragma once

#include "skinui/dialog_builder.h"
#include "skinui/message_queue.h"
#include "skinui/paint_manager.h"
#include "skinui/window_wnd.h"

namespace skinui {

class WindowImplBase;
using NotifyHandler = void (WindowImplBase::*)(TNotifyUI&);

// One entry of a notify map; a map ends with an entry whose type is null or empty.
struct NotifyMapEntry {
  const char* type;
  const char* control;  // null or empty: any control
  NotifyHandler handler;
};

// A handler of a derived window as a map entry's handler.
template <typename T>
NotifyHandler NotifyFn(void (T::*handler)(TNotifyUI&)) {
  return static_cast<NotifyHandler>(handler);
}

class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
 public:
  WindowImplBase() = default;
  ~WindowImplBase() override = default;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Notify(TNotifyUI& msg) override;
  CControlUI* CreateControl(const char* class_name) override;

  // Called once the skin is built (before the first layout).
  virtual void InitWindow() {}
  // A "click" that the notify map did not take.
  virtual void OnClick(TNotifyUI& msg);
  // The skin folder below the resource path ("tarvixresource\") and the skin file in it.
  virtual CDuiString GetSkinFolder() { return ""; }
  virtual CDuiString GetSkinFile() = 0;
  // Non-zero when the key was swallowed.
  virtual LRESULT ResponseDefaultKeyEvent(WPARAM key);
  // 1 = skins are files on disk (the only kind this library reads).
  virtual UINT GetResourceType() const { return 1; }
  virtual LRESULT OnClose(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  virtual LRESULT OnSysCommand(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  // Messages the library does not handle; set `handled` to take one.
  virtual LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  // A filter ahead of everything else.
  virtual LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  virtual const NotifyMapEntry* GetMessageMap() const { return nullptr; }

  CPaintManagerUI& GetPaintManager() { return m_pm; }
  // The control of the window named `name`; a missing one is reported (skins arrive through the
  // self-update, so callers must expect null).
  CControlUI* FindControl(const char* name);

 protected:
  void OnFinalMessage(HWND hwnd) override;
  LRESULT OnCreate();

  CPaintManagerUI m_pm;
};

}  // namespace skinui
