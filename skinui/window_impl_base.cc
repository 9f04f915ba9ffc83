#include "skinui/window_impl_base.h"

#include <algorithm>

#include "platform/file_util.h"
#include "skinui/container.h"
#include "skinui/ui_log.h"

namespace skinui {

LRESULT WindowImplBase::OnCreate() {
  m_pm.Init(this);
  std::string folder = GetSkinFolder();
  std::replace(folder.begin(), folder.end(), '\\', '/');
  m_pm.SetResourceFolder(platform::JoinPath(CPaintManagerUI::GetResourcePath(), folder));
  CDialogBuilder builder;
  CControlUI* root = builder.Create(GetSkinFile(), this, &m_pm);
  if (root == nullptr) {
    // The window still opens (and can be closed) when its skin is missing or damaged.
    UiLog(std::string("window ") + GetWindowClassName() + " has no usable skin " + GetSkinFile());
    root = new CVerticalLayoutUI;
  }
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  const SIZE now = GetClientSize();
  const SIZE init = m_pm.GetInitSize();
  if ((now.cx <= 0 || now.cy <= 0) && init.cx > 0 && init.cy > 0)
    ResizeClient(init.cx, init.cy);
  InitWindow();
  return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE)
    return OnCreate();
  BOOL handled = FALSE;
  LRESULT result = 0;
  if (message == WM_KEYDOWN && ResponseDefaultKeyEvent(wParam) != 0)
    return 0;
  if (message == WM_CLOSE) {
    result = OnClose(message, wParam, lParam, handled);
    if (handled)
      return result;
  } else if (message == WM_SYSCOMMAND) {
    result = OnSysCommand(message, wParam, lParam, handled);
    if (handled)
      return result;
  }
  bool filtered = false;
  result = MessageHandler(message, wParam, lParam, filtered);
  if (filtered)
    return result;
  result = HandleCustomMessage(message, wParam, lParam, handled);
  if (handled)
    return result;
  if (m_pm.MessageHandler(message, wParam, lParam, result))
    return result;
  return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void WindowImplBase::Notify(TNotifyUI& msg) {
  if (const NotifyMapEntry* e = GetMessageMap()) {
    const std::string sender =
        msg.pSender != nullptr ? std::string(msg.pSender->GetName()) : std::string();
    for (; e->type != nullptr && e->type[0] != '\0'; ++e) {
      if (msg.sType != e->type)
        continue;
      if (e->control != nullptr && e->control[0] != '\0' && sender != e->control)
        continue;
      if (e->handler != nullptr)
        (this->*(e->handler))(msg);
      return;
    }
  }
  if (msg.sType == kNotifyClick)
    OnClick(msg);
}

CControlUI* WindowImplBase::CreateControl(const char*) {
  return nullptr;
}

void WindowImplBase::OnClick(TNotifyUI&) {}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM) {
  return 0;
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& handled) {
  handled = FALSE;
  return 0;
}

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

CControlUI* WindowImplBase::FindControl(const char* name) {
  CControlUI* c = m_pm.FindControl(name);
  if (c == nullptr) {
    UiLog(std::string("window ") + GetWindowClassName() + " has no control " +
          (name != nullptr ? name : "(null)"));
  }
  return c;
}

void WindowImplBase::OnFinalMessage(HWND) {
  m_pm.RemoveNotifier(this);
}

}  // namespace skinui
