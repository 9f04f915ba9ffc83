// What the main window's catalogue views (the plan tree, the hot-match list and the game-type
// bar) read and call, handed to them by their creator: no view reaches for a program-wide object,
// so a test can build two halls' worth side by side.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace hall {

class HallGate;
class MyMatch;
struct AccountRecord;

struct PlanViewLinks {
  // The catalogue (HallGate::catalogue(), null until the first login made it).
  HallGate* gate = nullptr;
  // Whether the user is signed up for a plan: the sign-up buttons offer a withdrawal then.
  const MyMatch* my_match = nullptr;
  // The sign-up flow, entered with a plan id from a row's button (window thread).
  std::function<void(uint32_t plan_id)> begin_signup;
  // Today's date for the start times of timed plans.
  const platform::Clock* clock = &platform::SystemClock();
  // The group bar writes the group it chose on its first build here.
  AccountRecord* account = nullptr;
};

}  // namespace hall
