// The modal sign-up dialog of one plan (skin "signupwnd.xml"): the plan's name, whether joining
// is free, its prizes by rank from the kept match details and, for a plan that starts when
// full, the seats taken so far. It asks for the plan's start points and fills itself again every
// second, so the count follows the service. "signup" sends the sign-up and closes; "cancel"
// closes. Both close with result 1; only a click acts, and only the first one.
//
// Threads: window thread only; the catalogue and the kept details it reads are copies.
#pragma once

#include <cstdint>

#include "games/hall/app/hall_gate.h"
#include "skinui/window_impl_base.h"

namespace hall {

class SignupDialog : public skinui::WindowImplBase {
 public:
  // The result of "signup" and "cancel" (the window manager's close gives IDCANCEL).
  static constexpr UINT kResultClosed = 1;
  // Timer 1 refreshes the dialog every second.
  static constexpr UINT_PTR kRefreshTimerId = 1;
  static constexpr UINT kRefreshIntervalMs = 1000;
  // Prize rows the skin holds ("Alexa0".."Alexa5", "Prize0".."Prize5").
  static constexpr int kPrizeRows = 6;

  // REQUIRES: `gate` outlives the dialog.
  SignupDialog(HallGate& gate, uint32_t plan_id);

  const char* GetWindowClassName() const override { return "SignupDialog"; }
  skinui::CDuiString GetSkinFolder() override { return "tarvixresource\\"; }
  skinui::CDuiString GetSkinFile() override { return "signupwnd.xml"; }
  void InitWindow() override;
  LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled) override;
  const skinui::NotifyMapEntry* GetMessageMap() const override;

  uint32_t plan_id() const { return plan_id_; }
  // The plan's match service, from the catalogue at the last fill (0 before).
  uint32_t app_id() const { return app_id_; }

 protected:
  // The dialog lives on the heap and ends with its window.
  void OnFinalMessage(HWND hwnd) override;

 private:
  bool OnCancelNotify(void* param);
  bool OnSignupNotify(void* param);
  // Fills the controls from the catalogue and the kept details; a plan the catalogue no longer
  // holds leaves every control as it is.
  void Fill();
  void FillPrizes();
  void FillStartCount(uint32_t fixed_count, uint32_t signed_count);

  HallGate& gate_;
  const uint32_t plan_id_;
  uint32_t app_id_ = 0;
  // Set by the first click of "signup" or "cancel": the close is on its way, and a second click
  // already queued must not send a second sign-up.
  bool answered_ = false;
};

}  // namespace hall
