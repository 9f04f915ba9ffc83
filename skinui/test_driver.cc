#include "skinui/test_driver.h"

#include <algorithm>

#include "skinui/control.h"
#include "skinui/message_queue.h"
#include "skinui/text_input.h"
#include "skinui/utf8.h"

namespace skinui {

TestDriver::TestDriver(platform::ManualClock* clock) : clock_(clock) {
  if (clock_ != nullptr)
    SetUiClock(clock_);
}

TestDriver::~TestDriver() {
  if (clock_ != nullptr)
    SetUiClock(nullptr);
}

bool TestDriver::RunUntilIdle() {
  MSG msg;
  while (PeekMessage(&msg)) {
    if (msg.message == WM_QUIT) {
      if (msg.hwnd == nullptr)
        PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    DispatchMessage(msg);
  }
  return true;
}

void TestDriver::Advance(uint32_t ms) {
  if (clock_ != nullptr)
    clock_->Advance(ms);
  RunUntilIdle();
}

CControlUI* TestDriver::Find(WindowImplBase& window, const char* name) {
  return window.GetPaintManager().FindControl(name);
}

bool TestDriver::ClickControl(WindowImplBase& window, CControlUI* control) {
  RunUntilIdle();  // the layout must be current for the control's rectangle to mean anything
  if (control == nullptr || !control->IsVisible())
    return false;
  const RECT r = control->GetPos();
  if (RectEmpty(r))
    return false;
  const LPARAM at = MAKELPARAM(static_cast<WORD>((r.left + r.right) / 2),
                               static_cast<WORD>((r.top + r.bottom) / 2));
  const HWND h = window.GetHWND();
  PostMessage(h, WM_MOUSEMOVE, 0, at);
  PostMessage(h, WM_LBUTTONDOWN, 0, at);
  PostMessage(h, WM_LBUTTONUP, 0, at);
  RunUntilIdle();
  return true;
}

bool TestDriver::Click(WindowImplBase& window, const char* name) {
  return ClickControl(window, Find(window, name));
}

bool TestDriver::Type(WindowImplBase& window, const char* name, const std::string& utf8) {
  CControlUI* control = Find(window, name);
  if (!ClickControl(window, control))
    return false;
  // The click put the caret under the mouse; typing goes after what the edit holds already.
  if (control->GetInterface("Edit") != nullptr)
    PostMessage(window.GetHWND(), WM_KEYDOWN, VK_END, 0);
  for (char32_t c : DecodeUtf8(utf8))
    PostMessage(window.GetHWND(), WM_CHAR, c, 0);
  RunUntilIdle();
  return true;
}

void TestDriver::PressKey(WindowImplBase& window, WPARAM key, WORD modifiers) {
  PostMessage(window.GetHWND(), WM_KEYDOWN, key, modifiers);
  RunUntilIdle();
}

namespace {

LPARAM At(POINT p) {
  return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(p.x)),
                    static_cast<WORD>(static_cast<int16_t>(p.y)));
}

}  // namespace

void TestDriver::Drag(WindowImplBase& window, POINT from, int dx, int dy, int steps) {
  RunUntilIdle();
  const HWND h = window.GetHWND();
  const RECT start = window.GetWindowRect();
  const POINT pressed{start.left + from.x, start.top + from.y};  // on the screen
  PostMessage(h, WM_MOUSEMOVE, 0, At(from));
  PostMessage(h, WM_LBUTTONDOWN, 0, At(from));
  RunUntilIdle();
  POINT client = from;
  steps = std::max(1, steps);
  for (int i = 1; i <= steps; ++i) {
    // The mouse's place on the screen, seen from where the window is now.
    const RECT now = window.GetWindowRect();
    client = POINT{pressed.x + dx * i / steps - now.left, pressed.y + dy * i / steps - now.top};
    PostMessage(h, WM_MOUSEMOVE, 0, At(client));
    RunUntilIdle();
  }
  const RECT end = window.GetWindowRect();
  client = POINT{pressed.x + dx - end.left, pressed.y + dy - end.top};
  PostMessage(h, WM_LBUTTONUP, 0, At(client));
  RunUntilIdle();
}

bool TestDriver::DragControl(WindowImplBase& window, const char* name, int dx, int dy, int steps) {
  RunUntilIdle();
  CControlUI* control = Find(window, name);
  if (control == nullptr || !control->IsVisible() || RectEmpty(control->GetPos()))
    return false;
  const RECT r = control->GetPos();
  Drag(window, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, dx, dy, steps);
  return true;
}

void TestDriver::Compose(WindowImplBase& window, const std::string& utf8, int cursor) {
  PostComposition(window.GetHWND(), utf8, cursor);
  RunUntilIdle();
}

void TestDriver::CommitText(WindowImplBase& window, const std::string& utf8) {
  PostTextInput(window.GetHWND(), utf8);
  RunUntilIdle();
}

void TestDriver::AnswerNextModal(std::function<void(WindowImplBase&)> answer) {
  internal::PushModalAnswer([answer = std::move(answer)](CWindowWnd& wnd) {
    if (auto* w = dynamic_cast<WindowImplBase*>(&wnd))
      answer(*w);
  });
}

bool TestDriver::SaveScreenshot(WindowImplBase& window, const std::string& png_path) {
  window.GetPaintManager().Paint();
  NativeWindow* native = window.native();
  return native != nullptr && native->SaveScreenshot(png_path);
}

}  // namespace skinui
