// The road of a sign-up from a plan row or a hot-match row: the plan's game is checked (and
// updated when the game list names a newer version), a plan the user is signed up for is
// withdrawn at once, and otherwise the plan's details and start points are asked for and the
// modal sign-up dialog is shown, whose "signup" button sends the join.
//
// Threads: window thread only. The catalogue, the kept details and MyMatch are written by the
// job thread; this road only reads their copies.
#pragma once

#include <cstdint>
#include <functional>

#include "games/hall/app/game_list.h"
#include "games/hall/app/hall_gate.h"
#include "games/hall/app/my_match.h"
#include "platform/win_types.h"

namespace hall {

// What the sign-up road takes from its caller (the main window joins them).
struct SignupEnv {
  HallGate* gate = nullptr;
  const MyMatch* my_match = nullptr;
  // Null: no game can be checked, so nothing is signed up.
  GameVersionCheck check_game_version;
  // The dialog's owner (the main window); null or a window that is gone: no owner.
  HWND owner = nullptr;
};

// The one entry of a sign-up, for the plan `plan_id`. Returns when the dialog (if any) closes.
// Nothing happens for a plan the catalogue does not hold, or when the game is not usable.
// REQUIRES: env.gate and env.my_match set.
void BeginSignup(const SignupEnv& env, uint32_t plan_id);

// Shows the sign-up dialog of `plan_id` modally, owned by env.owner; returns its result.
UINT ShowSignupDialog(const SignupEnv& env, uint32_t plan_id);

}  // namespace hall
