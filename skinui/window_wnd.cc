#include "skinui/window_wnd.h"

#include <deque>

#include "skinui/message_queue.h"
#include "skinui/window_link_listener.h"

namespace skinui {
namespace {

std::deque<std::function<void(CWindowWnd&)>>& ModalAnswers() {
  thread_local std::deque<std::function<void(CWindowWnd&)>> answers;
  return answers;
}

// Runs the next scripted answer for `wnd`; false when there is none.
bool RunModalAnswer(CWindowWnd& wnd) {
  auto& answers = ModalAnswers();
  if (answers.empty())
    return false;
  auto answer = std::move(answers.front());
  answers.pop_front();
  answer(wnd);  // may destroy (and delete) wnd
  return true;
}

}  // namespace

namespace internal {
void PushModalAnswer(std::function<void(CWindowWnd&)> answer) {
  ModalAnswers().push_back(std::move(answer));
}
size_t PendingModalAnswers() {
  return ModalAnswers().size();
}
}  // namespace internal

CWindowWnd::~CWindowWnd() {
  // A window object going away with its window still open (a stack window left early): the
  // handle must not outlive the object it points to.
  link_.reset();
  const HWND h = hwnd_.load();
  if (h != nullptr) {
    internal::UnregisterWindow(h);
    hwnd_.store(nullptr);
    if (modal_ != nullptr)
      modal_->done = true;
  }
}

HWND CWindowWnd::Create(HWND owner, const char* name, DWORD style, DWORD /*ex_style*/, int x, int y,
                        int cx, int cy, void* /*menu*/) {
  if (hwnd_.load() != nullptr)
    return hwnd_.load();
  owner_ = owner;
  title_ = name != nullptr ? name : "";
  rect_ = RECT{x, y, x + cx, y + cy};
  destroying_ = false;
  const HWND h = internal::RegisterWindow(this);
  hwnd_.store(h);
  native_ = CurrentBackend().CreateNativeWindow(h, title_, rect_);
  // A titled top-level window can be found and posted to from other processes. When another
  // window of this user holds the title already, this one simply has no link.
  if (owner == nullptr && !title_.empty())
    link_ = WindowLinkListener::Start(title_, h);
  if (HandleMessage(WM_CREATE, 0, 0) == -1) {
    DestroyWindow();
    return nullptr;
  }
  if (hwnd_.load() == nullptr)
    return nullptr;
  if (style & WS_VISIBLE)
    ShowWindow(true);
  return h;
}

void CWindowWnd::ShowWindow(bool show, bool /*take_focus*/) {
  if (hwnd_.load() == nullptr || visible_ == show)
    return;
  visible_ = show;
  if (native_)
    native_->Show(show);
  HandleMessage(WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (show)
    InvalidateWindow(hwnd_.load());
}

void CWindowWnd::BringToFront() {
  ShowWindow(true);
  RaiseWithOwned();
}

void CWindowWnd::RaiseWithOwned() {
  if (native_)
    native_->Raise();
  // Owned windows stay above their owner: a modal dialog must not end up behind the window it
  // blocks, where it could not be reached.
  const HWND self = hwnd_.load();
  for (HWND other : internal::WindowsOfThread()) {
    CWindowWnd* w = WindowFromHandle(other);
    if (w != nullptr && w != this && w->owner_ == self && w->visible_)
      w->RaiseWithOwned();
  }
}

UINT CWindowWnd::ShowModal() {
  const HWND self = hwnd_.load();
  if (self == nullptr)
    return static_cast<UINT>(-1);
  ModalState state;
  modal_ = &state;
  const HWND owner = owner_;
  if (CWindowWnd* o = WindowFromHandle(owner))
    o->EnableWindow(false);
  ShowWindow(true);
  MSG msg;
  while (!state.done) {
    if (!HasPendingMessages() && RunModalAnswer(*this))
      continue;
    if (!GetMessage(&msg)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    DispatchMessage(msg);
  }
  // The object may be gone (it deleted itself); only `state` and the handles are safe here.
  if (!state.done)
    modal_ = nullptr;
  if (CWindowWnd* o = WindowFromHandle(owner))
    o->EnableWindow(true);
  return state.result;
}

void CWindowWnd::Close(UINT result) {
  const HWND h = hwnd_.load();
  if (h != nullptr)
    skinui::PostMessage(h, WM_CLOSE, result, 0);
}

void CWindowWnd::CenterWindow() {
  const SIZE size = GetClientSize();
  RECT area{0, 0, 0, 0};
  if (CWindowWnd* o = WindowFromHandle(owner_)) {
    area = o->GetWindowRect();
  } else {
    const SIZE screen = CurrentBackend().ScreenSize();
    area = RECT{0, 0, screen.cx, screen.cy};
  }
  const LONG x = area.left + (area.right - area.left - size.cx) / 2;
  const LONG y = area.top + (area.bottom - area.top - size.cy) / 2;
  rect_ = RECT{x, y, x + size.cx, y + size.cy};
  if (native_)
    native_->SetBounds(rect_);
}

bool CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return skinui::PostMessage(hwnd_.load(), message, wParam, lParam);
}

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return skinui::SendMessage(hwnd_.load(), message, wParam, lParam);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  rect_.right = rect_.left + cx;
  rect_.bottom = rect_.top + cy;
  if (native_)
    native_->SetBounds(rect_);
  if (hwnd_.load() != nullptr) {
    HandleMessage(WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(cx), static_cast<WORD>(cy)));
  }
}

void CWindowWnd::MoveWindow(int x, int y) {
  if (rect_.left == x && rect_.top == y)
    return;
  const SIZE size = GetClientSize();
  rect_ = RECT{x, y, x + size.cx, y + size.cy};
  if (native_)
    native_->SetBounds(rect_);
  if (hwnd_.load() != nullptr) {
    HandleMessage(WM_MOVE, 0,
                  MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)),
                             static_cast<WORD>(static_cast<int16_t>(y))));
  }
}

void CWindowWnd::DestroyWindow() {
  const HWND h = hwnd_.load();
  if (h == nullptr || destroying_)
    return;
  destroying_ = true;
  for (HWND other : internal::WindowsOfThread()) {
    CWindowWnd* w = WindowFromHandle(other);
    if (w != nullptr && w != this && w->owner_ == h)
      w->DestroyWindow();
  }
  HandleMessage(WM_DESTROY, 0, 0);
  link_.reset();
  internal::UnregisterWindow(h);
  hwnd_.store(nullptr);
  visible_ = false;
  native_.reset();
  if (modal_ != nullptr) {
    modal_->result = close_result_;
    modal_->done = true;
    modal_ = nullptr;
  }
  HandleMessage(WM_NCDESTROY, 0, 0);
  OnFinalMessage(h);  // may delete this
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_CLOSE:
      close_result_ = static_cast<UINT>(wParam);
      DestroyWindow();
      return 0;
    case kRaiseWindowMessage:
      BringToFront();
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE)
        return HandleMessage(WM_CLOSE, GetDismissResult(), 0);
      return 0;
    default:
      return 0;
  }
}

void CWindowWnd::OnFinalMessage(HWND /*hwnd*/) {}

}  // namespace skinui
