// The other process of the cross-process window tests: a titled top-level window on the headless
// backend, running the real message loop and writing down what reaches it.
//
// Usage: skinui_window_peer <title> <record-file> <quit-message> [life-ms]
//
// Every message at or above WM_USER is recorded as "message <id> <wParam> <lParam>", a foreground
// request as "foreground", the window being shown as "shown" and brought in front of the others as
// "raised", one line each, in the order the window handled them. On <quit-message> (recorded too)
// the loop ends, the window is destroyed and the record file is written; the exit code is that
// message's wParam (low byte). A peer nobody stops ends itself after life-ms (default 20000) with
// kLifeOver, so a failed test leaves no process behind.
#include <cstdlib>
#include <string>

#include "platform/file_util.h"
#include "skinui/headless_backend.h"
#include "skinui/message_queue.h"
#include "skinui/window_link_listener.h"
#include "skinui/window_wnd.h"

namespace {

constexpr int kUsage = 91;
constexpr int kNoWindow = 92;
constexpr int kLifeOver = 93;
constexpr int kNoRecord = 94;
constexpr UINT_PTR kLifeTimer = 1;

class PeerWindow : public skinui::CWindowWnd {
 public:
  explicit PeerWindow(UINT quit_on) : quit_on_(quit_on) {}
  const char* GetWindowClassName() const override { return "WindowPeer"; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == skinui::kRaiseWindowMessage) {
      record_ += "foreground\n";
    } else if (message == WM_SHOWWINDOW && wParam != 0) {
      record_ += "shown\n";
    } else if (message == WM_TIMER && wParam == kLifeTimer) {
      skinui::PostQuitMessage(kLifeOver);
      return 0;
    } else if (message >= WM_USER) {
      record_ += "message " + std::to_string(message) + " " + std::to_string(wParam) + " " +
                 std::to_string(lParam) + "\n";
    }
    const int raised_before = RaiseCount();
    const LRESULT r = CWindowWnd::HandleMessage(message, wParam, lParam);
    if (RaiseCount() > raised_before)
      record_ += "raised\n";
    if (message == quit_on_)
      skinui::PostQuitMessage(static_cast<int>(wParam & 0xFF));
    return r;
  }

  const std::string& record() const { return record_; }

 private:
  int RaiseCount() const {
    const skinui::HeadlessWindow* native = skinui::HeadlessWindowOf(GetHWND());
    return native != nullptr ? native->raise_count() : 0;
  }

  const UINT quit_on_;
  std::string record_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4)
    return kUsage;
  const std::string title = argv[1];
  const std::string record_path = argv[2];
  const UINT quit_on = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
  const UINT life_ms = argc > 4 ? static_cast<UINT>(std::strtoul(argv[4], nullptr, 0)) : 20000;

  PeerWindow wnd(quit_on);
  // Hidden at first, so that a foreground request shows in the record as the window appearing.
  if (wnd.Create(nullptr, title.c_str(), 0, 0, 0, 0, 320, 240) == nullptr)
    return kNoWindow;
  skinui::SetTimer(wnd.GetHWND(), kLifeTimer, life_ms);
  const int code = skinui::RunMessageLoop();
  // The link goes with the window: from here on the title can no longer be found.
  wnd.DestroyWindow();
  if (!platform::WriteFileAtomic(record_path, wnd.record()))
    return kNoRecord;
  return code;
}
