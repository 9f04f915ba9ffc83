// The small modal window that turns while an update run downloads (skin "updatedlg.xml": the bar
// "updProgress", the file name "updfilename" and the close button "btnclose"), and the state the
// run's worker thread shares with it.
//
// Threads: the worker never touches the window. It writes its progress into the shared
// UpdateRunState and posts a message to the window's handle; the window reads the state on the
// window thread when the message arrives. A post to a window that has gone simply fails, and the
// state is held by both sides (shared_ptr), so either may end first. At most one progress message
// is waiting at any time, and the window hears of a report only when it changes what the window
// shows, at most once per kProgressIntervalMs (the engine reports every few kilobytes).
//
// Cancelling (the close button's question, or CloseProgressWindow of the update flow) sets the
// engine's own cancel flag: the run stops at its next progress report with what is complete kept
// for the next run, and the window closes at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "games/hall/ui/process_req_win.h"
#include "platform/clock.h"
#include "skinui/window_impl_base.h"

namespace hall {

// Posted by the worker to the progress window.
inline constexpr UINT WM_UPDATE_PROGRESS = WM_USER + 140;    // read the progress from the state
inline constexpr UINT WM_UPDATE_INSTALLING = WM_USER + 141;  // the applier is installing
inline constexpr UINT WM_UPDATE_DONE = WM_USER + 142;        // the run ended; see the state

// The kind flag of a run: the hall's own update or a game's.
inline constexpr uint8_t kHallUpdateKind = 1;
inline constexpr uint8_t kGameUpdateKind = 0;

// The "nothing new" animation: the bar shows each percentage for its time, then the window
// closes (1.2 s in all).
struct AnimationStep {
  int percent;
  UINT hold_ms;
};
inline constexpr AnimationStep kNothingNewAnimation[] = {{45, 200}, {70, 400}, {100, 600}};
inline constexpr UINT_PTR kAnimationTimer = 1;

// How the applier of a game's update ended (filled by the worker before WM_UPDATE_DONE).
struct ApplierOutcome {
  bool started = false;  // false: it could not be started at all
  int exit_code = 0;
};

// The shortest time between two progress messages to the window.
inline constexpr uint32_t kProgressIntervalMs = 50;

class UpdateRunState {
 public:
  // `clock` paces the progress messages; it must outlive the state.
  explicit UpdateRunState(const platform::Clock& clock = platform::SystemClock());
  UpdateRunState(const UpdateRunState&) = delete;
  UpdateRunState& operator=(const UpdateRunState&) = delete;

  // --- the worker thread
  // Keeps the latest progress. Posts WM_UPDATE_PROGRESS when the percentage or the file name
  // differs from what the last message announced, kProgressIntervalMs have gone by since it (or
  // it is the first) and no message is waiting. Nothing when `total` is 0.
  void ReportProgress(const std::string& ansi_file_name, uint64_t done, uint64_t total);
  void ReportInstalling();
  // Records the run's result (and the applier's outcome) and posts WM_UPDATE_DONE.
  void Finish(int result, const ApplierOutcome& applier);
  // The flag the engine polls (UpdateOptions::cancel).
  const std::atomic<bool>* cancel_flag() const { return &cancel_; }

  // --- any thread
  void Cancel() { cancel_.store(true); }
  bool cancelled() const { return cancel_.load(); }
  bool finished() const { return finished_.load(); }

  // --- the window thread
  void AttachWindow(HWND window) { window_.store(window); }
  struct Progress {
    std::string file_name;  // ANSI
    uint64_t done = 0;
    uint64_t total = 0;
  };
  // The latest progress; the next report posts again.
  Progress TakeProgress();
  int result() const;
  ApplierOutcome applier() const;

 private:
  bool Post(UINT message);

  std::atomic<bool> cancel_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> progress_waiting_{false};
  std::atomic<HWND> window_{nullptr};
  mutable std::mutex mutex_;  // guards the fields below
  const platform::Clock& clock_;
  Progress progress_;
  // What the window was last told of (by a message, or by what it took), and when.
  bool posted_once_ = false;
  uint32_t posted_tick_ = 0;
  int posted_percent_ = 0;
  std::string posted_file_name_;
  int result_ = 0;
  ApplierOutcome applier_;
};

// Percent shown for `done` of `total`: done x 100 / total, held to 1..100.
int ProgressPercent(uint64_t done, uint64_t total);

class ProgressDialog : public skinui::WindowImplBase, public ProcessReqWin {
 public:
  // What the window knows of the run when it ends.
  enum class Ending {
    kOpen,       // not ended yet, or closed by something other than the run or the user
    kFinished,   // the worker's result arrived (and the animation, if any, has run)
    kCancelled,  // the user, or the program, cancelled the run
  };

  // `current` is the program's current-progress-window pointer: the window clears it when it
  // closes itself (null: none is kept).
  ProgressDialog(uint8_t kind, std::shared_ptr<UpdateRunState> run, ProgressDialog** current);

  const char* GetWindowClassName() const override { return "ClassProgressDialog"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "updatedlg.xml"; }
  void InitWindow() override {}
  skinui::CControlUI* CreateControl(const char*) override { return nullptr; }
  void OnClick(skinui::TNotifyUI& msg) override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;

  // Shows `percent` on the bar, as its value and as the text "<percent>%".
  void ShowPercent(int percent);
  // Cancels the run and closes the window (clearing the current pointer when it names this one).
  void CancelAndClose();

  uint8_t kind() const { return kind_; }
  bool cancelRequested() const { return cancelRequested_; }
  Ending ending() const { return ending_; }
  // The run's result when ending() is kFinished.
  int result() const { return result_; }

 private:
  void ShowProgress();
  void OnRunDone();
  void NextAnimationStep();
  void CloseWith(Ending ending);

  uint8_t kind_;
  bool cancelRequested_ = false;
  std::shared_ptr<UpdateRunState> run_;
  ProgressDialog** current_;
  Ending ending_ = Ending::kOpen;
  int result_ = 0;
  size_t animation_step_ = 0;
  int shown_percent_ = -1;
  std::string shown_file_;
};

}  // namespace hall
