#include "games/hall/app/update_flow.h"

#include <curl/curl.h>

#include "games/hall/text/text_convert.h"
#include "games/hall/ui/message_dialog.h"
#include "games/hall/update/update_log.h"
#include "gateclient/config/ini_file.h"
#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/file_util.h"
#include "skinui/message_box.h"

namespace hall {
namespace {

constexpr char kTripleQuote[] = "\"\"\"";
// How long one wait for the applier lasts before it is asked again.
constexpr uint32_t kApplierWaitSliceMs = 1000;

std::string WithSlash(std::string base) {
  return base + "/";
}

std::string Quoted(const std::string& value) {
  return "\"" + value + "\"";
}

}  // namespace

std::string ReadUpdateUrl(const std::string& program_dir, const std::string& key) {
  CIniFile ini(platform::JoinPath(program_dir, kUpdateIniFile));
  if (!ini.Load())
    return {};
  std::string value = ini.GetValue(kUpdateSection, key, "");
  if (value.size() >= kUpdateUrlCapacity)
    value.resize(kUpdateUrlCapacity - 1);
  return value;
}

std::string MakeCacheDir(const std::string& program_dir) {
  const std::string cache = platform::JoinPath(program_dir, kCacheFolder);
  platform::MakeDirectories(cache);
  return WithSlash(cache);
}

UpdateTarget HallUpdateTarget(const std::string& program_dir, const std::string& url_update,
                              const std::string& url_update_ftp) {
  UpdateTarget target;
  target.dir = program_dir;
  target.name = kHallProductName;
  target.http_base = url_update + kHallProductName + "/";
  target.ftp_base = url_update_ftp.empty() ? "" : url_update_ftp + kHallProductName + "/";
  target.cache =
      WithSlash(platform::JoinPath(platform::JoinPath(program_dir, kCacheFolder), target.name));
  return target;
}

UpdateTarget GameUpdateTarget(const std::string& program_dir, const std::string& url_update,
                              const std::string& url_update_ftp, const std::string& eng_name) {
  UpdateTarget target;
  target.dir = program_dir;
  target.name = eng_name;
  target.http_base = url_update + eng_name + "/";
  target.ftp_base = url_update_ftp.empty() ? "" : url_update_ftp + eng_name + "/";
  target.cache = platform::JoinPath(platform::JoinPath(program_dir, kCacheFolder), eng_name);
  return target;
}

std::string ApplierParameters(const std::string& dir, const std::string& cache,
                              const std::string& name) {
  std::string text;
  text += std::string("/d:") + kTripleQuote + dir + kTripleQuote;
  text += std::string(" /s:") + kTripleQuote + cache + kTripleQuote;
  text += std::string(" /n:") + kTripleQuote + name + kTripleQuote;
  return text;
}

bool SplitApplierParameters(const std::string& text, const std::string& dir,
                            const std::string& cache, const std::string& name,
                            std::vector<std::string>* args) {
  *args = platform::SplitCommandLine(text);
  const std::vector<std::string> want = {"/d:" + Quoted(dir), "/s:" + Quoted(cache),
                                         "/n:" + Quoted(name)};
  return *args == want;
}

ApplierOutcome RunApplier(platform::ProcessLauncher& launcher, const std::string& program,
                          const std::vector<std::string>& args, const std::string& working_dir) {
  platform::LaunchOptions options;
  options.program = program;
  options.args = args;
  options.working_dir = working_dir;
  std::string error;
  std::unique_ptr<platform::Process> process = launcher.Launch(options, &error);
  if (process == nullptr)
    return {};
  platform::ExitStatus status;
  for (;;) {
    switch (process->Wait(kApplierWaitSliceMs, &status)) {
      case platform::WaitOutcome::kExited:
        return {true, status.code};
      case platform::WaitOutcome::kRunning:
        continue;
      case platform::WaitOutcome::kFailed:
        return {};
    }
  }
}

void UpdateWorker(std::shared_ptr<UpdateRunState> run, UpdateTarget target, UpdateOptions options,
                  InstallStep install) {
  options.cancel = run->cancel_flag();
  const int result = RunUpdate(
      target,
      [&run](const std::string& file_name, uint64_t done, uint64_t total) {
        run->ReportProgress(file_name, done, total);
      },
      options);
  ApplierOutcome applier;
  if (result == kUpdateReady && install && !run->cancelled()) {
    run->ReportInstalling();
    applier = install();
  }
  run->Finish(result, applier);
}

// --- UpdateFlow

UpdateFlow::UpdateFlow(UpdateFlowEnvironment environment)
    : environment_(std::move(environment)),
      launcher_(environment_.launcher != nullptr ? *environment_.launcher
                                                 : platform::SystemProcessLauncher()) {
  if (environment_.engine.work_folder.empty() || environment_.engine.work_folder == ".")
    environment_.engine.work_folder = environment_.program_dir;
  environment_.engine.cancel = nullptr;
}

UpdateFlow::~UpdateFlow() {
  Shutdown();
}

UpdateFlow& UpdateFlow::Instance() {
  static UpdateFlow flow([] {
    UpdateFlowEnvironment environment;
    environment.program_dir = platform::ProgramFolder();
    return environment;
  }());
  return flow;
}

void UpdateFlow::Log(const std::string& text) const {
  platform::FileSystem& fs =
      environment_.engine.fs != nullptr ? *environment_.engine.fs : platform::RealFileSystem();
  platform::Clock& clock =
      environment_.engine.clock != nullptr ? *environment_.engine.clock : platform::SystemClock();
  UpdateLog(environment_.engine.work_folder, fs, clock).Write(text);
}

void UpdateFlow::StartWorker(std::shared_ptr<UpdateRunState> run, const UpdateTarget& target,
                             InstallStep install) {
  worker_ = std::thread([previous = std::move(worker_), run = std::move(run), target,
                         options = environment_.engine, install = std::move(install)]() mutable {
    if (previous.joinable())
      previous.join();
    UpdateWorker(std::move(run), std::move(target), std::move(options), std::move(install));
  });
}

UpdateOutcome UpdateFlow::RunWithProgressWindow(const UpdateTarget& target, uint8_t kind,
                                                InstallStep install, ApplierOutcome* applier) {
  // One run at a time: a sign-up clicked in the main window while a game's update runs (the
  // progress window has no owner, so the main window still takes clicks) must not start a second.
  if (in_run_) {
    Log("更新正在进行, 不再开始另一个: " + AnsiToUtf8(target.name));
    return UpdateOutcome::kFailed;
  }
  in_run_ = true;
  const UpdateOutcome outcome = RunOnce(target, kind, std::move(install), applier);
  in_run_ = false;
  return outcome;
}

UpdateOutcome UpdateFlow::RunOnce(const UpdateTarget& target, uint8_t kind, InstallStep install,
                                  ApplierOutcome* applier) {
  if (!curl_ready_)
    curl_ready_ = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

  auto run = std::make_shared<UpdateRunState>(
      environment_.engine.clock != nullptr ? *environment_.engine.clock : platform::SystemClock());
  ProgressDialog dialog(kind, run, &current_);
  const HWND window = dialog.Create(nullptr, kProgressTitle, kProgressStyle, kProgressExStyle, 0, 0,
                                    kProgressWidth, kProgressHeight);
  if (window == nullptr) {
    Log("无法打开更新窗口");
    return UpdateOutcome::kFailed;
  }
  dialog.CenterWindow();
  dialog.ShowPercent(1);
  run->AttachWindow(window);
  current_ = &dialog;
  StartWorker(run, target, std::move(install));

  dialog.ShowModal();
  // The worker may go on a little (a cancelled run ends at its next report): it has nothing more
  // to tell this window.
  run->AttachWindow(nullptr);
  // A WM_QUIT ends the modal loop with the window still open.
  if (skinui::IsWindow(window))
    dialog.DestroyWindow();
  if (current_ == &dialog)
    current_ = nullptr;
  if (dialog.ending() != ProgressDialog::Ending::kFinished) {
    run->Cancel();
    return UpdateOutcome::kCancelled;
  }
  switch (dialog.result()) {
    case kUpdateReady:
      if (applier != nullptr)
        *applier = run->applier();
      return UpdateOutcome::kReady;
    case kUpdateUnchanged:
      return UpdateOutcome::kUnchanged;
    default:
      return UpdateOutcome::kFailed;
  }
}

void UpdateFlow::DownloadUpdate(bool& ready, const std::string& dir, const std::string& http_base,
                                const std::string& ftp_base, const std::string& cache,
                                const std::string& name, uint8_t kind) {
  ready = false;
  platform::MakeDirectories(cache);
  const UpdateTarget target{dir, http_base, ftp_base, cache, name};
  ready = RunWithProgressWindow(target, kind, nullptr, nullptr) == UpdateOutcome::kReady;
}

void UpdateFlow::CheckHallUpdate(bool& ready) {
  const std::string& dir = environment_.program_dir;
  MakeCacheDir(dir);
  const UpdateTarget target =
      HallUpdateTarget(dir, ReadUpdateUrl(dir, kHttpUrlKey), ReadUpdateUrl(dir, kFtpUrlKey));
  DownloadUpdate(ready, target.dir, target.http_base, target.ftp_base, target.cache, target.name,
                 kHallUpdateKind);
}

bool UpdateFlow::UpdateGame(const GameRecord& game) {
  const std::string& dir = environment_.program_dir;
  if (!IsPlainFolderName(game.engName)) {
    Log("游戏目录名无效, 不更新: gameid=" + std::to_string(game.gameId) +
        ", engname=" + AnsiToUtf8(game.engName));
    return false;
  }
  MakeCacheDir(dir);
  const UpdateTarget target = GameUpdateTarget(dir, ReadUpdateUrl(dir, kHttpUrlKey),
                                               ReadUpdateUrl(dir, kFtpUrlKey), game.engName);
  platform::MakeDirectories(target.cache);

  std::vector<std::string> args;
  const std::string parameters = ApplierParameters(dir, target.cache, game.engName);
  if (!SplitApplierParameters(parameters, dir, target.cache, game.engName, &args)) {
    // The program folder's path cannot be passed to the applier whole: nothing would install.
    Log("更新程序的参数无法传递: " + AnsiToUtf8(parameters));
    ShowInstallFailure();
    return false;
  }
  InstallStep install = [&launcher = launcher_, program = platform::JoinPath(dir, kApplierProgram),
                         args, dir] { return RunApplier(launcher, program, args, dir); };
  ApplierOutcome applier;
  switch (RunWithProgressWindow(target, kGameUpdateKind, std::move(install), &applier)) {
    case UpdateOutcome::kUnchanged:
      // The list names a newer version than the server offers: without a word, every sign-up for
      // the game would stop here.
      ShowMessageDialog(
          1,
          "游戏“" + AnsiToUtf8(game.gameName) + "”未能更新到所需的版本，暂时无法进入，请稍后再试。",
          "信息", "确定", "");
      return false;
    case UpdateOutcome::kFailed:
    case UpdateOutcome::kCancelled:
      return false;
    case UpdateOutcome::kReady:
      break;
  }
  if (applier.started && applier.exit_code == kApplierDone)
    return true;
  if (applier.started && applier.exit_code == kApplierRestartPending)
    return false;
  ShowInstallFailure();
  return false;
}

void UpdateFlow::ShowInstallFailure() const {
  // The answer changes nothing: the game is not usable this time either way.
  skinui::MessageBox(DialogOwnerWindow(), "下载任务失败", "信息", MB_YESNO | MB_ICONQUESTION);
}

bool UpdateFlow::CloseProgressWindow() {
  if (current_ == nullptr)
    return false;
  current_->CancelAndClose();
  return true;
}

void UpdateFlow::Shutdown() {
  if (worker_.joinable())
    worker_.join();
  if (curl_ready_) {
    curl_global_cleanup();
    curl_ready_ = false;
  }
}

}  // namespace hall
