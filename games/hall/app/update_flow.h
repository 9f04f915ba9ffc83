// The self-update of the hall and of its games: the server addresses from "update.ini" in the
// program folder, one run of the download engine (games/hall/update/update_engine.h) on a worker
// thread while the modal progress window (progress_dialog.h) turns, and for a game the update
// applier `brimsett`, whose exit code says whether the game may be used.
//
// Per product, with <dir> the program folder and the [update] keys of update.ini:
//
//   product  name       HTTP base                    FTP base (empty without url_update_ftp)
//   hall     "Tarvix"   url_update + "Tarvix/"       url_update_ftp + "Tarvix/"
//   game     engName    url_update + engName + "/"   url_update_ftp + engName + "/"
//
// and the cache folders <dir>/cache/Tarvix/ and <dir>/cache/<engName>. The engine's resume
// record and log go to the program folder, which is also the applier's working folder, so the
// applier finds the record it deletes after an install.
//
// Threads and lifetimes: the worker of a run never touches a window or the caller's variables;
// it writes into a state it shares with the progress window and posts to the window's handle
// (progress_dialog.h). The caller learns the result from the window once the modal loop has
// ended, on its own thread. A cancelled run's worker ends at the engine's next progress report;
// it is not waited for on the window thread: the next run's worker waits for it before it starts
// (two runs at once would share the resume record and the log), and Shutdown (or the flow's
// destructor) joins the last one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "games/hall/app/game_list.h"
#include "games/hall/app/program_names.h"
#include "games/hall/app/progress_dialog.h"
#include "games/hall/update/update_engine.h"
#include "platform/process.h"

namespace hall {

inline constexpr const char* kUpdateIniFile = "update.ini";
inline constexpr const char* kUpdateSection = "update";
inline constexpr const char* kHttpUrlKey = "url_update";
inline constexpr const char* kFtpUrlKey = "url_update_ftp";
// Values of update.ini are read into a buffer of this size.
inline constexpr size_t kUpdateUrlCapacity = 1024;
inline constexpr const char* kCacheFolder = "cache";

// The progress window: its title, style (a visible popup with caption and system menu), extended
// style (WS_EX_APPWINDOW | WS_EX_STATICEDGE) and size.
inline constexpr const char* kProgressTitle = "Update";
inline constexpr DWORD kProgressStyle = 0x96C80000;
inline constexpr DWORD kProgressExStyle = 0x60000;
inline constexpr int kProgressWidth = 300;
inline constexpr int kProgressHeight = 80;

// The applier's exit codes the flow tells apart: done, and done with files left for a restart.
inline constexpr int kApplierDone = 0;
inline constexpr int kApplierRestartPending = -2;

// The value of `key` in section [update] of <program_dir>/update.ini; empty when the file or the
// key is missing.
std::string ReadUpdateUrl(const std::string& program_dir, const std::string& key);

// <program_dir>/cache/, created when missing (a failure shows later, when the run cannot write).
std::string MakeCacheDir(const std::string& program_dir);

// The rows of the table above.
UpdateTarget HallUpdateTarget(const std::string& program_dir, const std::string& url_update,
                              const std::string& url_update_ftp);
UpdateTarget GameUpdateTarget(const std::string& program_dir, const std::string& url_update,
                              const std::string& url_update_ftp, const std::string& eng_name);

// The applier's parameter text for a game: /d:, /s: and /n: each with its value between two runs
// of three double quotes, separated by one blank.
std::string ApplierParameters(const std::string& dir, const std::string& cache,
                              const std::string& name);
// Splits `text` the way the applier's runtime does into *args, and checks that they are exactly
// the three switches with their values in quotes, which the applier cleans back to the values.
// False when the values cannot travel in that text (a value holding a double quote, say).
bool SplitApplierParameters(const std::string& text, const std::string& dir,
                            const std::string& cache, const std::string& name,
                            std::vector<std::string>* args);

// Runs the applier and waits for it (on the worker thread).
ApplierOutcome RunApplier(platform::ProcessLauncher& launcher, const std::string& program,
                          const std::vector<std::string>& args, const std::string& working_dir);

// What follows a download that left an update ready (the game's install); runs on the worker.
using InstallStep = std::function<ApplierOutcome()>;

// The body of a run's worker thread: the engine with the run's progress and cancel flag, then
// the install step when the run left an update ready and was not cancelled, then the result to
// the window.
void UpdateWorker(std::shared_ptr<UpdateRunState> run, UpdateTarget target, UpdateOptions options,
                  InstallStep install);

enum class UpdateOutcome {
  kReady,      // an update waits in the cache (for a game: the applier has run)
  kUnchanged,  // the server's list is the installed one
  kFailed,     // logged by the engine
  kCancelled,  // the user or the program closed the window first
};

// Everything here must outlive the flow (its last worker may still use it until Shutdown).
struct UpdateFlowEnvironment {
  std::string program_dir;                        // no trailing separator
  platform::ProcessLauncher* launcher = nullptr;  // null: the system's
  // The engine's seams and limits; an empty work folder means the program folder. The cancel
  // flag is each run's own.
  UpdateOptions engine;
};

class UpdateFlow {
 public:
  explicit UpdateFlow(UpdateFlowEnvironment environment);
  // Shutdown.
  ~UpdateFlow();
  UpdateFlow(const UpdateFlow&) = delete;
  UpdateFlow& operator=(const UpdateFlow&) = delete;

  // The program's flow, over the folder of the running executable. Windows and the start-up take
  // it from their creator. The program calls its Shutdown before main returns, while the window
  // library it posts through still exists.
  static UpdateFlow& Instance();

  // --- window thread
  // The hall's own update; `ready` tells whether an update waits in <dir>/cache/Tarvix for the
  // applier (the start-up starts it).
  void CheckHallUpdate(bool& ready);
  // A game's update and install; true when the game may be used now. Tells the user when the
  // game could not be installed ("下载任务失败"), or when the list names a newer version than
  // the server has (once per call).
  bool UpdateGame(const GameRecord& game);
  // One run with the progress window; returns when the window has closed.
  void DownloadUpdate(bool& ready, const std::string& dir, const std::string& http_base,
                      const std::string& ftp_base, const std::string& cache,
                      const std::string& name, uint8_t kind);
  // The same with the whole outcome, and the install step for a game (may be empty). *applier
  // is filled when the outcome is kReady. While a run's window is open a second call fails at
  // once (logged).
  UpdateOutcome RunWithProgressWindow(const UpdateTarget& target, uint8_t kind, InstallStep install,
                                      ApplierOutcome* applier);

  // The open progress window, if any.
  ProgressDialog* current_progress_window() const { return current_; }
  // For the main window's close button: cancels the open run and closes its window. False when
  // none is open.
  bool CloseProgressWindow();

  // Waits for the last worker to end (a cancelled run ends at its next progress report) and
  // releases the transfer library. Call before the program releases libcurl itself.
  void Shutdown();

  const std::string& program_dir() const { return environment_.program_dir; }

 private:
  UpdateOutcome RunOnce(const UpdateTarget& target, uint8_t kind, InstallStep install,
                        ApplierOutcome* applier);
  void ShowInstallFailure() const;
  void StartWorker(std::shared_ptr<UpdateRunState> run, const UpdateTarget& target,
                   InstallStep install);
  void Log(const std::string& text) const;

  UpdateFlowEnvironment environment_;
  platform::ProcessLauncher& launcher_;
  ProgressDialog* current_ = nullptr;
  bool in_run_ = false;
  bool curl_ready_ = false;
  // The latest worker; each worker first joins the one before it.
  std::thread worker_;
};

}  // namespace hall
