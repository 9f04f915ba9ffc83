// The hall's start-up: CHallApp::InitInstance makes sure only one hall runs, lets the hall's own
// update bring its files up to date, hands a ready update to the applier `brimsett` and otherwise
// runs the main window until the user leaves. InitInstance always returns FALSE: the program ends
// when it returns.
//
// Everything the start-up reaches outside itself comes from its creator in HallAppEnvironment:
// the program file, the lock folder, the process launcher, the update check and the main window,
// so a test runs the whole start-up (two halls side by side, a failing applier, a quitting
// update). Message boxes go through skinui::MessageBox (tests script them with
// skinui::SetMessageBoxProvider).
//
// A quitting hall never creates its main window: when the update hands over to the applier, when
// the user declines to run without a failed update, and when the update's own window asked the
// hall to end (a WM_QUIT it left in this thread's queue), InitInstance returns at once, so the
// main window's first layout (which starts the gate client and opens the login dialog) never
// happens.
#pragma once

#include <functional>
#include <string>

#include "games/hall/app/program_names.h"
#include "games/hall/app/single_instance.h"
#include "platform/instance_lock.h"
#include "platform/process.h"
#include "platform/win_types.h"

namespace skinui {
class CWindowWnd;
}

namespace hall {

// The program-wide window title, in UTF-8 ("休闲游zeb", 12 bytes); windows get it in the ANSI
// code page.
inline constexpr char kHallTitle[] = "休闲游zeb";
// Asked when a ready update cannot be handed to the applier.
inline constexpr char16_t kSkipFailedUpdateQuestion[] = u"很抱歉,大厅更新失败! 是否跳过更新?";
inline constexpr char16_t kInfoCaption[] = u"信息";

// The main window's frame.
inline constexpr int kMainFrameWidth = 600;
inline constexpr int kMainFrameHeight = 800;
inline constexpr DWORD kMainFrameStyle = WS_VISIBLE | WS_OVERLAPPEDWINDOW;      // 0x10CF0000
inline constexpr DWORD kMainFrameExStyle = WS_EX_APPWINDOW | WS_EX_STATICEDGE;  // 0x60000

struct HallAppEnvironment {
  // The program file (/proc/self/exe for the real hall); its folder is the program folder.
  std::string program_path;
  // The title in UTF-8 and the mutex name; tests give their own so that their halls never meet a
  // real one.
  std::string title = kHallTitle;
  std::string mutex_name = kHallMutexName;
  platform::InstanceLockPlace lock_place = platform::InstanceLockPlace::FromEnvironment();
  platform::ProcessLauncher* launcher = nullptr;
  // CheckHallUpdate: the hall's own update behind its progress window; sets `ready` when a
  // downloaded update of the hall waits in cache/Tarvix. It may post WM_QUIT to this thread (the
  // user chose to leave).
  std::function<void(bool& ready)> check_hall_update;
  // A new main window: a top-level window object that deletes itself once destroyed and then
  // ends the message loop (posts WM_QUIT). Null ends the run.
  std::function<skinui::CWindowWnd*()> make_main_frame;
  HINSTANCE instance = nullptr;
};

// The parameter text that hands a ready update of the hall to the applier: each value between
// runs of three double quotes, so that the applier, splitting the text by the C runtime's rules
// and removing the quotes again, reads back exactly the folder, the cache, the name and the
// program, blanks and all.
//   /d:"""<dir>""" /s:"""<cache>""" /n:"""Tarvix""" /l:"""<self>""" /waitparentexit
std::string HallApplierParameters(const std::string& dir, const std::string& cache,
                                  const std::string& self);

// True when the applier reads exactly `dir`, `cache`, the hall's name and `self` out of
// `parameters`, and is asked to wait for the hall. A path holding a double quote (or ending in a
// backslash) cannot be quoted this way and would reach the applier changed: such an update is
// not handed over.
bool ApplierReadsBack(const std::string& parameters, const std::string& dir,
                      const std::string& cache, const std::string& self);

// The main window's run: a new main window at 600 x 800 with the title (ANSI), centred and
// shown, then the message loop until WM_QUIT. Skins are read from `program_dir`. A main window
// still there when the loop ends (the close button and a restart end it by WM_QUIT) is destroyed
// then, so that it stops what it started and lets go of itself before the program winds down.
void RunMainFrame(HINSTANCE instance, const std::string& ansi_title, const std::string& program_dir,
                  const std::function<skinui::CWindowWnd*()>& make_main_frame);

class CHallApp {
 public:
  // What InitInstance did.
  enum class Outcome {
    kNotRun,
    kAnotherHallRuns,      // a second start: the first hall was asked to come forward
    kQuitDuringUpdate,     // the update's window asked the hall to end
    kApplierStarted,       // the update was handed over; the applier restarts the hall
    kUpdateFailedAndQuit,  // the applier could not start and the user chose to leave
    kMainFrameRan,         // the main window ran until the user left
  };

  explicit CHallApp(HallAppEnvironment env);

  // The whole start-up; always FALSE.
  // REQUIRES: launcher, check_hall_update and make_main_frame are set.
  BOOL InitInstance();

  Outcome outcome() const { return outcome_; }
  // The main window ran although an update was ready (its applier could not start).
  bool update_skipped() const { return update_skipped_; }
  // The text the applier was (or was to be) started with; empty when no update was ready.
  const std::string& applier_parameters() const { return applier_parameters_; }
  // Lets the single-instance lock go, for a hall that starts its successor itself.
  void ReleaseSingleInstance() { instance_.Release(); }

 private:
  // A ready update: true when the hall ends here (handed over, or the user would not go on).
  bool HandOverUpdate(const std::string& dir);

  HallAppEnvironment env_;
  SingleInstance instance_;  // held for the life of the process
  Outcome outcome_ = Outcome::kNotRun;
  bool update_skipped_ = false;
  std::string applier_parameters_;
};

}  // namespace hall
