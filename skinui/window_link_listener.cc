#include "skinui/window_link_listener.h"

#include "skinui/message_queue.h"

namespace skinui {
namespace {
// How long the thread waits on the socket before it looks at its stop flag again.
constexpr int kPollSliceMs = 50;
}  // namespace

std::unique_ptr<WindowLinkListener> WindowLinkListener::Start(const std::string& title, HWND hwnd) {
  auto link = platform::WindowLink::Bind(title);
  if (!link)
    return nullptr;
  return std::unique_ptr<WindowLinkListener>(new WindowLinkListener(std::move(link), hwnd));
}

WindowLinkListener::WindowLinkListener(std::unique_ptr<platform::WindowLink> link, HWND hwnd)
    : link_(std::move(link)), hwnd_(hwnd), thread_([this] { Run(); }) {}

WindowLinkListener::~WindowLinkListener() {
  stop_.store(true);
  link_->Interrupt();
  thread_.join();
}

void WindowLinkListener::Run() {
  while (!stop_.load()) {
    if (!link_->WaitReadable(kPollSliceMs))
      continue;
    platform::LinkMessage msg;
    while (link_->Receive(&msg)) {
      // Only integers arrive here; a window must not read a remote lParam as a pointer.
      if (msg.kind == platform::LinkKind::kForeground) {
        skinui::PostMessage(hwnd_, kRaiseWindowMessage, 0, 0);
      } else if (IsLinkMessage(msg.message)) {
        skinui::PostMessage(hwnd_, msg.message, static_cast<WPARAM>(msg.wparam),
                            static_cast<LPARAM>(msg.lparam));
      }
    }
  }
}

}  // namespace skinui
