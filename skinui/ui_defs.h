// Shared vocabulary of the controls: the string type, control events, notifications and the
// notify-map form the hall's windows declare.
#pragma once

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win_types.h"

namespace skinui {

class CControlUI;

// Text as the controls hold it: bytes in the ANSI code page of the hall (UTF-8 on Linux).
class CDuiString : public std::string {
 public:
  using std::string::string;
  CDuiString() = default;
  CDuiString(const std::string& s) : std::string(s) {}
  CDuiString(std::string&& s) : std::string(std::move(s)) {}
  const char* GetData() const { return c_str(); }
  bool IsEmpty() const { return empty(); }
  int GetLength() const { return static_cast<int>(size()); }
  // 0 when equal without regard to ASCII case.
  int CompareNoCase(const char* other) const { return strcasecmp(c_str(), other ? other : ""); }
};

// Control events. Mouse events are the contiguous range kUiMouseFirst..kUiMouseLast.
enum UiEvent : int {
  UIEVENT_KEYDOWN = 3,
  UIEVENT_KEYUP = 4,
  UIEVENT_CHAR = 5,
  UIEVENT_MOUSEMOVE = 9,
  UIEVENT_MOUSELEAVE = 10,
  UIEVENT_MOUSEENTER = 11,
  UIEVENT_MOUSEHOVER = 12,
  UIEVENT_BUTTONDOWN = 13,
  UIEVENT_BUTTONUP = 14,
  UIEVENT_RBUTTONDOWN = 15,
  UIEVENT_DBLCLICK = 16,
  UIEVENT_CONTEXTMENU = 17,
  UIEVENT_SCROLLWHEEL = 18,
  UIEVENT_KILLFOCUS = 20,
  UIEVENT_SETFOCUS = 21,
  // Input-method text for the focused control (TEventUI::text): committed text, whole, and the
  // text being composed (empty: the composition ended; wParam: the caret in it, in characters).
  UIEVENT_TEXTINPUT = 22,
  UIEVENT_COMPOSITION = 23,
};
inline constexpr int kUiMouseFirst = UIEVENT_MOUSEMOVE;
inline constexpr int kUiMouseLast = UIEVENT_SCROLLWHEEL;
inline bool IsMouseEvent(int type) {
  return type >= kUiMouseFirst && type <= kUiMouseLast;
}

// Modifier keys held with an input event (TEventUI::wKeyState). Mouse messages carry them in
// wParam, as usual; this library's backends post WM_KEYDOWN with them in lParam.
inline constexpr WORD MK_SHIFT = 0x0004;
inline constexpr WORD MK_CONTROL = 0x0008;

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse;
  char32_t chKey = 0;  // UIEVENT_CHAR: the character; UIEVENT_KEYDOWN: the virtual key
  WPARAM wParam = 0;   // UIEVENT_SCROLLWHEEL: 0 = up, 1 = down
  LPARAM lParam = 0;
  WORD wKeyState = 0;  // MK_SHIFT, MK_CONTROL: keys and mouse buttons
  std::string text;    // UIEVENT_TEXTINPUT, UIEVENT_COMPOSITION (UTF-8)
};

// Notification type names.
inline constexpr char kNotifyWindowInit[] = "windowinit";
inline constexpr char kNotifyClick[] = "click";
inline constexpr char kNotifyItemSelect[] = "itemselect";
inline constexpr char kNotifySelectChanged[] = "selectchanged";
inline constexpr char kNotifyItemClick[] = "itemclick";

struct TNotifyUI {
  CDuiString sType;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

inline bool PointInRect(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
inline bool RectEmpty(const RECT& r) {
  return r.right <= r.left || r.bottom <= r.top;
}
inline RECT IntersectRects(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (RectEmpty(r))
    r = RECT{0, 0, 0, 0};
  return r;
}
}  // namespace skinui

inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
