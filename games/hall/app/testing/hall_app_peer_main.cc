// A hall as a program of its own, for the start-up tests with several real processes: the real
// CHallApp::InitInstance with a titled main window on the headless backend and an update check
// chosen by the test. Everything comes from the environment, since the applier restarts the hall
// without arguments:
//   TARVIX_HALL_PEER_TITLE   the window title (UTF-8)        TARVIX_HALL_PEER_MUTEX  the mutex name
//   TARVIX_HALL_PEER_RECORD  the file the events are appended to, one "<pid> <event>" a line
//   TARVIX_HALL_PEER_UPDATE  none (default) | ready | quit | http:<base url> (the real engine
//                            updates "Tarvix" from <base url>Tarvix/ into cache/Tarvix)
//   TARVIX_HALL_PEER_ANSWER  yes | no: the answer to a question (default no)
//   TARVIX_HALL_PEER_LIFE_MS the main window closes itself after this (default 30000)
// The lock folder is the usual one ($XDG_RUNTIME_DIR). The main window closes when it receives
// kPeerQuitMessage through its link. The exit code is the start-up's outcome (CHallApp::Outcome).
//
// Events: start | update <mode> ready=<0|1> | question <text> | window shown | message <id> <w>
// <l> | foreground | window closed | applier <parameters> | outcome <number>
#include <curl/curl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "games/hall/app/hall_app.h"
#include "games/hall/update/update_engine.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/window_link_listener.h"
#include "skinui/window_wnd.h"

namespace {

// Posted by a test through the window's link: the user leaves.
constexpr UINT kPeerQuitMessage = WM_APP + 1;
constexpr UINT_PTR kLifeTimer = 1;

std::string Env(const char* name, const char* fallback = "") {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}

void Record(const std::string& event) {
  const std::string path = Env("TARVIX_HALL_PEER_RECORD");
  if (path.empty())
    return;
  int error = 0;
  auto file = platform::RealFileSystem().OpenForAppend(path, &error);
  if (file != nullptr) {
    file->Append(std::to_string(::getpid()) + " " + event + "\n");
    file->Close(false);
  }
}

class PeerFrame : public skinui::CWindowWnd {
 public:
  explicit PeerFrame(uint32_t life_ms) : life_ms_(life_ms) {}
  const char* GetWindowClassName() const override { return "HallPeerFrame"; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CREATE) {
      skinui::SetTimer(GetHWND(), kLifeTimer, life_ms_);
    } else if (message == WM_SHOWWINDOW && wParam != 0) {
      Record("window shown");
    } else if (message == skinui::kRaiseWindowMessage) {
      Record("foreground");
    } else if (message == kPeerQuitMessage || (message == WM_TIMER && wParam == kLifeTimer)) {
      Close(IDOK);
      return 0;
    } else if (message >= WM_USER) {
      Record("message " + std::to_string(message) + " " + std::to_string(wParam) + " " +
             std::to_string(lParam));
    }
    return CWindowWnd::HandleMessage(message, wParam, lParam);
  }

 protected:
  // As the hall's main window does: gone with its window, and the loop ends with it.
  void OnFinalMessage(HWND) override {
    Record("window closed");
    skinui::PostQuitMessage(0);
    delete this;
  }

 private:
  const uint32_t life_ms_;
};

class AnsweringBoxes : public skinui::MessageBoxProvider {
 public:
  explicit AnsweringBoxes(bool yes) : yes_(yes) {}
  int Show(HWND, const std::string& text, const std::string& caption, UINT type) override {
    Record("question " + caption + " " + text + " type=" + std::to_string(type));
    return yes_ ? IDYES : IDNO;
  }

 private:
  bool yes_;
};

void CheckUpdate(const std::string& dir, bool& ready) {
  const std::string mode = Env("TARVIX_HALL_PEER_UPDATE", "none");
  if (mode == "ready") {
    ready = true;
  } else if (mode == "quit") {
    skinui::PostQuitMessage(0);  // as the update flow does when the user would not go on
  } else if (mode.rfind("http:", 0) == 0) {
    hall::UpdateTarget target;
    target.dir = dir;
    target.http_base = mode.substr(5) + hall::kHallProductName + "/";
    target.cache = platform::JoinPath(dir, std::string("cache/") + hall::kHallProductName) + "/";
    target.name = hall::kHallProductName;
    platform::MakeDirectories(target.cache);
    hall::UpdateOptions options;
    options.work_folder = dir;
    curl_global_init(CURL_GLOBAL_ALL);
    ready = hall::RunUpdate(target, nullptr, options) == hall::kUpdateReady;
    curl_global_cleanup();
  }
  Record("update " + mode + " ready=" + (ready ? "1" : "0"));
}

}  // namespace

int main() {
  Record("start");
  AnsweringBoxes boxes(Env("TARVIX_HALL_PEER_ANSWER") == "yes");
  skinui::SetMessageBoxProvider(&boxes);

  hall::HallAppEnvironment env;
  env.program_path = platform::ProgramPath();
  env.title = Env("TARVIX_HALL_PEER_TITLE", "hall peer");
  env.mutex_name = Env("TARVIX_HALL_PEER_MUTEX", "hall-peer");
  env.launcher = &platform::SystemProcessLauncher();
  const std::string dir = platform::DirName(env.program_path);
  env.check_hall_update = [&dir](bool& ready) { CheckUpdate(dir, ready); };
  const uint32_t life_ms = static_cast<uint32_t>(
      std::strtoul(Env("TARVIX_HALL_PEER_LIFE_MS", "30000").c_str(), nullptr, 10));
  env.make_main_frame = [life_ms] { return new PeerFrame(life_ms); };

  hall::CHallApp app(std::move(env));
  app.InitInstance();
  if (!app.applier_parameters().empty())
    Record("applier " + app.applier_parameters());
  Record("outcome " + std::to_string(static_cast<int>(app.outcome())));
  skinui::SetMessageBoxProvider(nullptr);
  return static_cast<int>(app.outcome());
}
