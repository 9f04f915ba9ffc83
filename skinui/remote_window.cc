#include "skinui/remote_window.h"

#include <map>
#include <mutex>

#include "platform/window_link.h"
#include "skinui/message_queue.h"
#include "skinui/window_link_listener.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

// Remote handles, one per title, kept for the life of the process (a handle stays valid even
// while its window is gone; sends then fail).
struct RemoteTable {
  std::mutex mu;
  std::map<uintptr_t, std::string> titles;
  std::map<std::string, uintptr_t> handles;
  uintptr_t next = 0x7F000001;  // odd: local window handles are multiples of 0x10
};

RemoteTable& table() {
  static RemoteTable* t = new RemoteTable;
  return *t;
}

bool RemoteTitle(HWND hwnd, std::string* title) {
  const auto key = reinterpret_cast<uintptr_t>(hwnd);
  if ((key & 1) == 0)
    return false;
  RemoteTable& t = table();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.titles.find(key);
  if (it == t.titles.end())
    return false;
  *title = it->second;
  return true;
}

}  // namespace

HWND FindWindow(const std::string& title) {
  if (!platform::WindowLinkExists(title))
    return nullptr;
  RemoteTable& t = table();
  std::lock_guard<std::mutex> lock(t.mu);
  auto it = t.handles.find(title);
  if (it != t.handles.end())
    return reinterpret_cast<HWND>(it->second);
  const uintptr_t key = t.next;
  t.next += 2;
  t.handles[title] = key;
  t.titles[key] = title;
  return reinterpret_cast<HWND>(key);
}

bool SetForegroundWindow(HWND hwnd) {
  if (CWindowWnd* wnd = WindowFromHandle(hwnd)) {
    wnd->BringToFront();
    return true;
  }
  if (IsWindow(hwnd))
    return skinui::PostMessage(hwnd, kRaiseWindowMessage, 0, 0);
  std::string title;
  if (!RemoteTitle(hwnd, &title))
    return false;
  return platform::SendToWindowLink(title, platform::LinkMessage{platform::LinkKind::kForeground});
}

namespace internal {
bool PostToRemoteWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::string title;
  if (!RemoteTitle(hwnd, &title) || !IsLinkMessage(message))
    return false;
  return platform::SendToWindowLink(
      title, platform::LinkMessage{platform::LinkKind::kPost, message, static_cast<int64_t>(wParam),
                                   static_cast<int64_t>(lParam)});
}
}  // namespace internal

}  // namespace skinui
