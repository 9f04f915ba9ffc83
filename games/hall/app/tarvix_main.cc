// tarvix, the hall program. This is where every program-wide object is made (the hall's update
// flow, the game list, the user's sign-ups, the account record and store, the hall runtime) and
// handed to the windows that use it; the windows themselves reach for none of them.
//
// The program takes no arguments of its own but one: "--after <pid>", with which a hall that
// restarts itself (after a refused login) starts its successor, so that the successor begins only
// once the old hall has let go of its single-instance lock and its window title.
//
// SIGTERM, SIGINT and SIGHUP end the hall as its close button does once answered (no question);
// a second one ends it at once.
#include <curl/curl.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "games/hall/app/about_box.h"
#include "games/hall/app/account_record.h"
#include "games/hall/app/account_store.h"
#include "games/hall/app/game_list.h"
#include "games/hall/app/hall_app.h"
#include "games/hall/app/hall_plan_manager.h"
#include "games/hall/app/hall_runtime.h"
#include "games/hall/app/login_dialog.h"
#include "games/hall/app/main_frame.h"
#include "games/hall/app/my_match.h"
#include "games/hall/app/register_dialog.h"
#include "games/hall/app/update_flow.h"
#include "gateclient/log/log_sink_list.h"
#include "platform/end_request.h"
#include "platform/file_util.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/web_link.h"
#include "skinui/message_queue.h"
#include "skinui/paint_manager.h"
#include "skinui/sdl/sdl_backend.h"

namespace {

// How long a restarted hall waits for the one that started it.
constexpr uint32_t kPredecessorWaitMs = 30000;
constexpr char kAfterSwitch[] = "--after";

// Log records from this level up go to standard error, one line each: by default the failures
// (3 and up); TARVIX_LOG_LEVEL=2 adds the connection, session, sign-up and game events, 0 and 1 the
// traffic and the catalogue's contents.
int g_log_level = 3;

void LogToStandardError(int level, const char* text, const char*, int) {
  if (level < g_log_level)
    return;
  // One record, one line: line breaks inside a text (some carry what a peer sent) become blanks.
  std::string line = text != nullptr ? text : "";
  for (char& c : line) {
    if (c == '\n' || c == '\r')
      c = ' ';
  }
  std::fprintf(stderr, "tarvix: [%d] %s\n", level, line.c_str());
}

int LogLevelFromEnvironment() {
  const char* value = std::getenv("TARVIX_LOG_LEVEL");
  if (value == nullptr || value[0] < '0' || value[0] > '4' || value[1] != '\0')
    return 3;
  return value[0] - '0';
}

// The process id after "--after", 0 when there is none.
pid_t PredecessorOf(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], kAfterSwitch) == 0) {
      char* end = nullptr;
      const long pid = std::strtol(argv[i + 1], &end, 10);
      if (end != argv[i + 1] && *end == '\0' && pid > 0)
        return static_cast<pid_t>(pid);
    }
  }
  return 0;
}

std::string ProgramPath() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // Asked to end from outside (the desktop session ends, `kill`, Ctrl+C): the window thread's
  // loops end as they do after the close button, and the hall winds down in order. Made before
  // any other thread, which all leave the request to it.
  MSG unused;
  skinui::PeekMessage(&unused);  // makes the window thread's queue, for the request to reach
  const DWORD window_thread = skinui::GetCurrentThreadId();
  platform::EndRequestWatcher end_requests(
      [window_thread](int) { skinui::PostThreadMessage(window_thread, WM_QUIT, 0, 0); });

  platform::ProcessLauncher& launcher = platform::SystemProcessLauncher();
  if (const pid_t predecessor = PredecessorOf(argc, argv))
    launcher.WaitForPid(predecessor, kPredecessorWaitMs);

  skinui::SdlBackend backend;
  if (!backend.ok()) {
    std::fprintf(stderr,
                 "tarvix: no display to open the hall's windows on (%s).\n"
                 "Without a desktop, run it in a virtual one: xvfb-run -a -s '-screen 0 "
                 "1280x1024x24' %s\n",
                 backend.error().c_str(), argv[0]);
    return 1;
  }
  skinui::SetBackend(&backend);
  const std::string program_path = ProgramPath();
  const std::string program_dir = platform::DirName(program_path);
  skinui::CPaintManagerUI::SetResourcePath(program_dir);
  g_log_level = LogLevelFromEnvironment();
  GetLogSinkList().Add(&LogToStandardError);
  curl_global_init(CURL_GLOBAL_ALL);

  {
    hall::UpdateFlowEnvironment update_env;
    update_env.program_dir = program_dir;
    update_env.launcher = &launcher;
    hall::UpdateFlow updates(update_env);
    hall::GameList games(
        program_dir, [&updates](const hall::GameRecord& game) { return updates.UpdateGame(game); });
    hall::MyMatch my_match;
    hall::AccountRecord account;
    hall::AccountStore accounts(platform::RegistryStore::User(),
                                hall::AccountStore::DefaultIniFolder());
    hall::CaptchaThrottle captcha_throttle;
    platform::WebLinkOpener& links = platform::SystemWebLinkOpener();
    std::unique_ptr<hall::HallRuntime> runtime;

    hall::MainFrameEnv frame_env;
    frame_env.program_dir = program_dir;
    frame_env.my_match = &my_match;
    frame_env.account = &account;
    frame_env.accounts = &accounts;
    frame_env.links = &links;
    frame_env.start_hall = [&](qvc::NetResultPoster* poster, HWND window) -> hall::HallGate* {
      hall::HallRuntimeOptions options;
      options.program_folder = program_dir;
      options.poster = poster;
      options.make_manager = hall::HallPlanManagerFactory(my_match, hall::PostToWindow(window));
      options.launcher = &launcher;
      runtime = std::make_unique<hall::HallRuntime>(options);
      if (!runtime->Start()) {
        runtime.reset();
        return nullptr;
      }
      return runtime.get();
    };
    frame_env.stop_hall = [&runtime] {
      if (runtime != nullptr)
        runtime->Stop();
    };
    frame_env.show_login = [&](HWND owner, hall::HallGate& gate) -> UINT {
      hall::LoginServices services;
      services.gate = &gate;
      services.account = &account;
      services.store = &accounts;
      services.links = &links;
      services.program_dir = program_dir;
      services.clock = &platform::SystemClock();
      services.captcha_throttle = &captcha_throttle;
      return hall::ShowLoginDialog(owner, services);
    };
    frame_env.load_game_list = [&games] { games.LoadGameList(); };
    frame_env.check_game_version = games.VersionCheck();
    frame_env.close_progress_window = [&updates] { updates.CloseProgressWindow(); };
    frame_env.restart_hall = [&] {
      platform::LaunchOptions options;
      options.program = program_path;
      options.args = {kAfterSwitch, std::to_string(::getpid())};
      options.working_dir = program_dir;
      std::string error;
      return launcher.Launch(options, &error) != nullptr;
    };
    frame_env.show_about = &hall::ShowAboutBox;

    hall::HallAppEnvironment app_env;
    app_env.program_path = program_path;
    app_env.launcher = &launcher;
    app_env.check_hall_update = [&updates](bool& ready) { updates.CheckHallUpdate(ready); };
    app_env.make_main_frame = [&frame_env]() -> skinui::CWindowWnd* {
      return new hall::MainFrame(frame_env);
    };
    hall::CHallApp app(app_env);

    app.InitInstance();

    // The orderly end: the gate client stops (the games' channels close, so they hear of it)
    // and every thread is joined before the objects they use go.
    runtime.reset();
    updates.Shutdown();
  }
  curl_global_cleanup();
  skinui::CPaintManagerUI::Term();
  skinui::SetBackend(nullptr);
  return 0;
}
