#include "games/hall/app/hall_app.h"

#include "brimsett/applier_options.h"
#include "games/hall/text/text_convert.h"
#include "platform/command_line.h"
#include "platform/file_util.h"
#include "skinui/message_box.h"
#include "skinui/message_queue.h"
#include "skinui/paint_manager.h"
#include "skinui/window_wnd.h"

namespace hall {
namespace {

constexpr char kTripleQuote[] = "\"\"\"";

// Messages that the update's windows leave in the queue are at most a few; the bound only keeps
// a window that keeps posting from holding the start-up here.
constexpr int kMaxLeftoverMessages = 10000;

// Hands out what the update's windows left in this thread's queue. True when a WM_QUIT was among
// it: the user asked the hall to end while it was updating.
bool TakeQuitRequest() {
  bool quit = false;
  MSG msg;
  for (int i = 0; i < kMaxLeftoverMessages && skinui::PeekMessage(&msg); ++i) {
    if (msg.message == WM_QUIT) {
      quit = true;
    } else {
      skinui::DispatchMessage(msg);
    }
  }
  return quit;
}

std::string Quoted(const std::string& switch_name, const std::string& value) {
  return switch_name + kTripleQuote + value + kTripleQuote;
}

}  // namespace

std::string HallApplierParameters(const std::string& dir, const std::string& cache,
                                  const std::string& self) {
  return Quoted("/d:", dir) + " " + Quoted("/s:", cache) + " " + Quoted("/n:", kHallProductName) +
         " " + Quoted("/l:", self) + " /waitparentexit";
}

bool ApplierReadsBack(const std::string& parameters, const std::string& dir,
                      const std::string& cache, const std::string& self) {
  const std::vector<std::string> args = platform::SplitCommandLine(parameters);
  if (args.size() != 5)
    return false;
  const brimsett::ApplierOptions read = brimsett::ReadSwitches(args);
  return read.destination == dir && read.source == cache && read.name == kHallProductName &&
         read.launch == self && read.wait_parent && !read.quiet;
}

void RunMainFrame(HINSTANCE instance, const std::string& ansi_title, const std::string& program_dir,
                  const std::function<skinui::CWindowWnd*()>& make_main_frame) {
  skinui::CPaintManagerUI::SetInstance(instance);
  skinui::CPaintManagerUI::SetResourcePath(program_dir);
  skinui::CWindowWnd* frame = make_main_frame ? make_main_frame() : nullptr;
  // A frame that could not be made has gone already (it deletes itself when destroyed).
  if (frame != nullptr &&
      frame->Create(nullptr, ansi_title.c_str(), kMainFrameStyle, kMainFrameExStyle, 0, 0,
                    kMainFrameWidth, kMainFrameHeight) != nullptr) {
    const HWND window = frame->GetHWND();
    frame->CenterWindow();
    frame->ShowWindow(true);
    skinui::CPaintManagerUI::MessageLoop();
    if (skinui::IsWindow(window))
      frame->DestroyWindow();
  }
  skinui::CPaintManagerUI::Term();
}

CHallApp::CHallApp(HallAppEnvironment env) : env_(std::move(env)) {}

BOOL CHallApp::InitInstance() {
  const std::string title = Utf8ToAnsi(env_.title);
  if (!instance_.Claim(env_.mutex_name, env_.lock_place)) {
    ActivateFirstInstance(title);
    outcome_ = Outcome::kAnotherHallRuns;
    return FALSE;
  }
  const std::string dir = platform::DirName(env_.program_path);
  platform::MakeDirectories(platform::JoinPath(dir, "cache"));  // failure shows at the update

  bool ready = false;
  env_.check_hall_update(ready);
  if (TakeQuitRequest()) {
    outcome_ = Outcome::kQuitDuringUpdate;
    return FALSE;
  }
  if (ready && HandOverUpdate(dir))
    return FALSE;

  RunMainFrame(env_.instance, title, dir, env_.make_main_frame);
  outcome_ = Outcome::kMainFrameRan;
  return FALSE;
}

bool CHallApp::HandOverUpdate(const std::string& dir) {
  const std::string cache = platform::JoinPath(dir, std::string("cache/") + kHallProductName);
  const std::string applier = platform::JoinPath(dir, kApplierProgram);
  applier_parameters_ = HallApplierParameters(dir, cache, env_.program_path);

  // The applier works on whatever folders it reads, so a text it would read differently is
  // never handed over; that counts as the applier failing to start.
  std::unique_ptr<platform::Process> started;
  if (ApplierReadsBack(applier_parameters_, dir, cache, env_.program_path)) {
    platform::LaunchOptions options;
    options.program = applier;
    options.args = platform::SplitCommandLine(applier_parameters_);
    options.working_dir = dir;
    std::string error;
    started = env_.launcher->Launch(options, &error);
  }
  if (started != nullptr) {
    // Not waited for: the applier waits for this process to end, then restarts it.
    outcome_ = Outcome::kApplierStarted;
    return true;
  }
  // Nothing was moved: the downloaded files stay in the cache for the next start.
  const int answer = skinui::MessageBox(nullptr, Utf16ToAnsi(kSkipFailedUpdateQuestion),
                                        Utf16ToAnsi(kInfoCaption), MB_YESNO | MB_ICONQUESTION);
  if (answer == IDYES) {
    update_skipped_ = true;
    return false;
  }
  outcome_ = Outcome::kUpdateFailedAndQuit;
  return true;
}

}  // namespace hall
