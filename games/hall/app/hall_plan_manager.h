// The hall's plan manager: the gate client's plan manager (one game table per running match)
// with the hall's own reactions added after the base has routed each command. A match command
// then updates the user's sign-ups (MyMatch), a catalogue command passes the hall's catalogue
// table, and the loss of the gate tells the main window (WM_GATE_CLOSED) and empties the
// sign-ups. The client frame files it in place of the plain manager through
// FramePlansOptions::make_manager (HallPlanManagerFactory).
//
// Threads: the On* operations run on the job thread. The main window is only ever posted to,
// never sent to, so the job thread never waits for the window thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "games/hall/app/my_match.h"
#include "gateclient/job/function_array.h"
#include "gateclient/plan_table/plan_manager.h"
#include "platform/win_types.h"

namespace hall {

// WM_USER + 121: the gate connection was lost (wParam 0, lParam 0), posted to the main window.
inline constexpr UINT WM_GATE_CLOSED = WM_USER + 121;

// Posts a message to the main window from any thread; false when there is no main window (then
// nothing was posted).
using MainWindowPost = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;

// A MainWindowPost over the window library's queue: posts to `window`, and fails once the
// window is gone. Null posts nothing.
MainWindowPost PostToWindow(HWND window);

class HallPlanManager : public qvc::PlanManager {
 public:
  // Slots of the hall's catalogue table: the highest subid of the hallclient kind.
  static constexpr size_t kCatalogueSlots = 100;

  // REQUIRES: `my_match` outlives the manager; env as for PlanManager. A null `post` (no main
  // window) posts nothing.
  HallPlanManager(qvc::PlanTableEnv env, MyMatch& my_match, MainWindowPost post);

  // The base's routing to the games first, then MyMatch.
  void OnMatchClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) override;
  // The base's routing first, then the hall's catalogue table.
  void OnHallClientCmd(qv::CMD_base& command, uint32_t key_low, uint32_t key_high) override;
  // The base's broadcast first; on the gate's loss (kind 9 sub 1) WM_GATE_CLOSED to the main
  // window and no plan reads as signed up any more.
  void OnNetworkCmd(qv::CMD_base& command) override;

 protected:
  // The hall's hook for the catalogue replies it files (AllGroupRsp, AllListRsp, AllPlanRsp):
  // nothing to do today; the catalogue itself keeps them.
  virtual void OnCatalogueReply(qv::CMD_base& /*command*/) {}

 private:
  void IgnoreCommand(qv::CMD_base* command) { OnCatalogueReply(*command); }

  MyMatch& my_match_;
  MainWindowPost post_;
  FunctionArray<HallPlanManager, kCatalogueSlots> catalogue_table_;
};

// What FramePlansOptions::make_manager takes: builds a HallPlanManager over the frame's env.
// REQUIRES: `my_match` outlives every manager it builds.
std::function<std::unique_ptr<qvc::PlanManager>(qvc::PlanTableEnv)> HallPlanManagerFactory(
    MyMatch& my_match, MainWindowPost post);

}  // namespace hall
