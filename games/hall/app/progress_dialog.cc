#include "games/hall/app/progress_dialog.h"

#include <algorithm>
#include <cstdio>

#include "games/hall/text/text_convert.h"
#include "games/hall/ui/control_text.h"
#include "games/hall/ui/message_dialog.h"
#include "games/hall/update/update_engine.h"
#include "skinui/label.h"
#include "skinui/message_queue.h"

namespace hall {
namespace {

constexpr char kBarName[] = "updProgress";
constexpr char kFileName[] = "updfilename";
constexpr char kCloseName[] = "btnclose";
constexpr char kInstallingText[] = "正在安装更新…";
// The modal result the window closes with, whoever closes it.
constexpr UINT kCloseCode = 1;
// The first button of the cancel question ("我要走了").
constexpr int kLeaveAnswer = 1;

}  // namespace

// --- UpdateRunState

UpdateRunState::UpdateRunState(const platform::Clock& clock) : clock_(clock) {}

bool UpdateRunState::Post(UINT message) {
  const HWND window = window_.load();
  return window != nullptr && skinui::PostMessage(window, message, 0, 0);
}

void UpdateRunState::ReportProgress(const std::string& ansi_file_name, uint64_t done,
                                    uint64_t total) {
  if (total == 0)
    return;
  const int percent = ProgressPercent(done, total);
  bool post = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (progress_.file_name != ansi_file_name)
      progress_.file_name = ansi_file_name;
    progress_.done = done;
    progress_.total = total;
    // The engine reports every few kilobytes and at least once a second; the window hears of a
    // change of what it shows, at most once per kProgressIntervalMs.
    const uint32_t now = clock_.TickCount();
    const bool changed =
        !posted_once_ || percent != posted_percent_ || progress_.file_name != posted_file_name_;
    if (changed &&
        (!posted_once_ || platform::TicksSince(now, posted_tick_) >= kProgressIntervalMs)) {
      posted_once_ = true;
      posted_tick_ = now;
      posted_percent_ = percent;
      posted_file_name_ = progress_.file_name;
      post = true;
    }
  }
  if (post && !progress_waiting_.exchange(true) && !Post(WM_UPDATE_PROGRESS))
    progress_waiting_.store(false);
}

void UpdateRunState::ReportInstalling() {
  Post(WM_UPDATE_INSTALLING);
}

void UpdateRunState::Finish(int result, const ApplierOutcome& applier) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = result;
    applier_ = applier;
  }
  finished_.store(true);
  Post(WM_UPDATE_DONE);
}

UpdateRunState::Progress UpdateRunState::TakeProgress() {
  progress_waiting_.store(false);
  std::lock_guard<std::mutex> lock(mutex_);
  // The window shows what it takes now, which may be newer than what the message announced.
  if (progress_.total != 0) {
    posted_percent_ = ProgressPercent(progress_.done, progress_.total);
    posted_file_name_ = progress_.file_name;
  }
  return progress_;
}

int UpdateRunState::result() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return result_;
}

ApplierOutcome UpdateRunState::applier() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return applier_;
}

int ProgressPercent(uint64_t done, uint64_t total) {
  if (total == 0)
    return 1;
  const unsigned __int128 percent = static_cast<unsigned __int128>(done) * 100 / total;
  return static_cast<int>(std::clamp<unsigned __int128>(percent, 1, 100));
}

// --- ProgressDialog

ProgressDialog::ProgressDialog(uint8_t kind, std::shared_ptr<UpdateRunState> run,
                               ProgressDialog** current)
    : kind_(kind), run_(std::move(run)), current_(current) {}

void ProgressDialog::ShowPercent(int percent) {
  if (percent == shown_percent_)
    return;
  shown_percent_ = percent;
  skinui::CControlUI* control = FindControl(kBarName);
  if (control == nullptr)
    return;
  if (auto* bar = static_cast<skinui::CProgressUI*>(control->GetInterface("Progress")))
    bar->SetValue(percent);
  char text[16];
  std::snprintf(text, sizeof text, "%d%%", percent);
  control->SetText(text);
}

void ProgressDialog::ShowProgress() {
  const UpdateRunState::Progress progress = run_->TakeProgress();
  if (GetHWND() == nullptr || progress.total == 0 || ending_ != Ending::kOpen)
    return;
  ShowPercent(ProgressPercent(progress.done, progress.total));
  if (!progress.file_name.empty() && progress.file_name != shown_file_) {
    shown_file_ = progress.file_name;
    // The engine names files in the ANSI code page; the control text helper takes UTF-8.
    SetControlTextUtf8(FindControl(kFileName), AnsiToUtf8(shown_file_).c_str());
  }
}

void ProgressDialog::OnRunDone() {
  if (ending_ != Ending::kOpen || animation_step_ != 0)
    return;
  result_ = run_->result();
  if (result_ != kUpdateUnchanged) {
    CloseWith(Ending::kFinished);
    return;
  }
  NextAnimationStep();
}

void ProgressDialog::NextAnimationStep() {
  if (animation_step_ == std::size(kNothingNewAnimation)) {
    skinui::KillTimer(GetHWND(), kAnimationTimer);
    CloseWith(Ending::kFinished);
    return;
  }
  const AnimationStep& step = kNothingNewAnimation[animation_step_++];
  ShowPercent(step.percent);
  skinui::SetTimer(GetHWND(), kAnimationTimer, step.hold_ms);
}

void ProgressDialog::CloseWith(Ending ending) {
  ending_ = ending;
  if (current_ != nullptr && *current_ == this)
    *current_ = nullptr;
  Close(kCloseCode);
}

void ProgressDialog::CancelAndClose() {
  cancelRequested_ = true;
  run_->Cancel();
  if (ending_ == Ending::kOpen) {
    CloseWith(Ending::kCancelled);
  } else if (current_ != nullptr && *current_ == this) {
    *current_ = nullptr;
  }
}

void ProgressDialog::OnClick(skinui::TNotifyUI& msg) {
  if (msg.pSender == nullptr || msg.pSender->GetName() != kCloseName)
    return;
  const int answer = ShowMessageDialog(2, "确定要退出更新吗?", "更新取消", "我要走了", "那等会吧");
  // The run may have ended while the question was open; its result then stands.
  if (answer == kLeaveAnswer && ending_ == Ending::kOpen)
    CancelAndClose();
}

LRESULT ProgressDialog::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, BOOL& handled) {
  handled = TRUE;
  switch (message) {
    case WM_UPDATE_PROGRESS:
      ShowProgress();
      return 0;
    case WM_UPDATE_INSTALLING:
      if (ending_ == Ending::kOpen) {
        ShowPercent(100);
        SetControlTextUtf8(FindControl(kFileName), kInstallingText);
      }
      return 0;
    case WM_UPDATE_DONE:
      OnRunDone();
      return 0;
    case WM_TIMER:
      if (wParam == kAnimationTimer) {
        skinui::KillTimer(GetHWND(), kAnimationTimer);
        if (ending_ == Ending::kOpen)
          NextAnimationStep();
      }
      return 0;
    default:
      handled = FALSE;
      return 0;
  }
}

}  // namespace hall
