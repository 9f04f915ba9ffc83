#include "games/hall/app/signup_flow.h"

#include "games/hall/app/signup_dialog.h"
#include "skinui/message_queue.h"

namespace hall {
namespace {

// The dialog's window style: a visible popup with caption, border and system menu.
constexpr DWORD kSignupDialogStyle = 0x96C80000;

}  // namespace

void BeginSignup(const SignupEnv& env, uint32_t plan_id) {
  qvc::PlanList* catalogue = env.gate->catalogue();
  if (catalogue == nullptr)
    return;
  const auto plan = catalogue->FindPlan(plan_id);
  if (!plan)
    return;
  // Nothing goes out unless the check says the game can be played.
  bool usable = false;
  if (!env.check_game_version)
    return;
  env.check_game_version(plan->info.game_kind(), usable);
  if (!usable)
    return;
  if (env.my_match->FindSignup(plan_id)) {
    // The game's update may have run its own window loop meanwhile: the plan is read again.
    const auto again = catalogue->FindPlan(plan_id);
    if (!again)
      return;
    env.gate->SendJoinReq(again->info.app_id(), true);
    return;
  }
  env.gate->RequestMatchDetail(plan_id);
  env.gate->RequestPlanDisplayUpdate(plan_id);
  ShowSignupDialog(env, plan_id);
}

UINT ShowSignupDialog(const SignupEnv& env, uint32_t plan_id) {
  auto* dialog = new SignupDialog(*env.gate, plan_id);
  const HWND owner = skinui::IsWindow(env.owner) ? env.owner : nullptr;
  if (dialog->Create(owner, "", kSignupDialogStyle, 0, 0, 0, 0, 0) == nullptr)
    return 0;  // Create failed and the window's end already deleted the dialog
  dialog->CenterWindow();
  return dialog->ShowModal();
}

}  // namespace hall
