// The plans the logged-in user has signed up for, by plan id: a successful sign-up adds a record,
// a successful withdrawal or the match's prize notice removes it, a match start marks it started,
// and losing the gate clears them all. The plan tree, the hot-match list and the sign-up flow ask
// it whether to offer a withdrawal instead of a sign-up.
//
// Threads: the job thread writes (OnMatchClientCmd, Clear) while the window thread reads; one
// lock guards the map and every read hands out a copy.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

#include "gateclient/base/cmd_base.h"
#include "gateclient/job/function_array.h"

namespace hall {

// The hall's plan id of a plan id as the match service sends it (JoinRsp.plan_id is 64-bit): its
// low half, the key of the sign-ups and of the plan rows. The high half names no plan of the
// hall; taking it here keeps it out of every 32-bit use downstream.
constexpr uint32_t HallPlanId(uint64_t wire_plan_id) {
  return static_cast<uint32_t>(wire_plan_id & 0xFFFFFFFFu);
}

struct MyMatchRecord {
  uint32_t plan_id = 0;   // the key repeated; 0 in a record made by a match start alone
  uint64_t match_id = 0;  // of the JoinRsp that made it; 0 in a record made by a match start
  bool started = false;   // the match has started
  bool operator==(const MyMatchRecord&) const = default;
};

class MyMatch {
 public:
  MyMatch();
  MyMatch(const MyMatch&) = delete;
  MyMatch& operator=(const MyMatch&) = delete;

  // --- job thread
  // A match-client command (kind 14): JoinRsp, MatchStart and MatchPrize change the records;
  // every other subid is ignored.
  void OnMatchClientCmd(qv::CMD_base* command);
  // The gate connection was lost: no plan reads as signed up any more.
  void Clear();

  // --- any thread
  // A copy of the plan's record; none when the user is not signed up for it.
  std::optional<MyMatchRecord> FindSignup(uint32_t plan_id) const;
  size_t size() const;

 private:
  void OnJoinRsp(qv::CMD_base* command);
  void OnMatchStart(qv::CMD_base* command);
  void OnMatchPrize(qv::CMD_base* command);

  FunctionArray<MyMatch, 48> table_;
  mutable std::mutex mu_;  // guards signups_
  std::map<uint32_t, MyMatchRecord> signups_;
};

}  // namespace hall
