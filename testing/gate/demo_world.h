// The demo world behind the local gate, for trying the hall by hand and for the tests that run the
// whole hall: four card games with Chinese names, each with its lists of plans of every type
// (starts when full, timed, open tables, points), their details with prizes, a recommended list,
// a demo account with funds, captchas and registration (a registered account can log in).
//
// The world moves on each Tick: start points gain and lose players, a timed plan whose start has
// passed moves on to its next round, and a plan that starts when full which the user joined is
// filled by other players one seat at a time until it starts: the match service sends MatchStart
// (with the hall's match key: the round in the high half, the plan id in the low half) for the
// demo game, and some time later the match's prize notice.
//
//   plan ids     1000 x game + n (n from 1); the extra plans of --plans N are in game 1
//   match apps   kMatchAppBase + plan id, one match service per plan
//
// Threads: the services' handlers run on the gate's loop thread; Tick runs on one other thread
// (the demo program's ticker, or a test after moving its clock). The world's own state is guarded
// by mu_, which is never held while calling into the services or the gate.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "testing/gate/hall_services.h"
#include "testing/gate/local_gate.h"
#include "testing/gate/register_services.h"

namespace testgate {

struct DemoWorldOptions {
  // The catalogue's size: 0 for the demo's own few dozen plans; more adds plans to the first game
  // until the catalogue holds this many.
  int plans = 0;
  const platform::Clock* clock = &platform::SystemClock();
  uint32_t seat_ms = 600;     // between two seats taken by others once the user has joined
  uint32_t move_ms = 2500;    // between two moves of the start points
  uint32_t prize_ms = 20000;  // from a match's start to its prize notice
};

class DemoWorld {
 public:
  // The account the README names.
  static constexpr char kAccount[] = "demo01";
  static constexpr char kPassword[] = "demo1234";
  static constexpr char kNickName[] = "演示玩家";
  static constexpr uint64_t kUserId = 80001;
  static constexpr uint32_t kFaceId = 7;
  // The game every plan is played in: the demo game of LobbyData/gamelist.xml and client.ini.
  static constexpr uint32_t kGameKind = 601;
  static constexpr uint32_t kMatchAppBase = 20000;
  static constexpr uint32_t kGames = 4;

  // Files the services on `gate`, which must outlive the world, and lays out the catalogue.
  explicit DemoWorld(LocalGate& gate, DemoWorldOptions options = {});
  DemoWorld(const DemoWorld&) = delete;
  DemoWorld& operator=(const DemoWorld&) = delete;

  // Moves the world on to the clock's time.
  void Tick();

  // --- observation (any thread)
  struct StartedMatch {
    uint32_t plan_id = 0;
    uint64_t key = 0;
    uint32_t match_app_id = 0;
  };
  std::vector<StartedMatch> started() const;
  // Plans of the catalogue, by id.
  const std::map<uint32_t, ScriptedPlan>& plans() const { return plans_; }
  const std::vector<ScriptedGroup>& groups() const { return groups_; }
  const std::vector<ScriptedPlan>& recommended() const { return recommended_; }
  // The start time (YYYYMMDDhhmmss, local) a timed plan reports now.
  uint64_t start_time(uint32_t plan_id) const;
  HallServices& hall() { return hall_; }
  RegisterServices& registration() { return register_; }

 private:
  // A plan the user joined that others are filling.
  struct Filling {
    uint32_t match_app_id = 0;
    uint32_t next_seat_tick = 0;
  };
  // A started match whose prize notice is still to come.
  struct Playing {
    StartedMatch match;
    uint32_t prize_tick = 0;
  };

  void Build();
  void AddPlan(ScriptedList& list, ScriptedPlan plan, uint32_t seats);
  void OnJoin(const JoinEvent& event);  // loop thread
  void MoveStartPoints(uint32_t now);
  void TakeSeats(uint32_t now);
  void SendPrizes(uint32_t now);
  void StartMatch(uint32_t plan_id, uint32_t match_app_id, uint32_t now);
  // The next pseudo-random number (REQUIRES mu_).
  uint32_t Next();
  // YYYYMMDDhhmmss of `seconds`, local time by the world's clock.
  uint64_t LocalStamp(int64_t seconds) const;

  LocalGate& gate_;
  const DemoWorldOptions options_;
  HallServices hall_;
  RegisterServices register_;
  // The catalogue as built; constant after the constructor.
  std::vector<ScriptedGroup> groups_;
  std::vector<ScriptedPlan> recommended_;
  std::map<uint32_t, ScriptedPlan> plans_;
  std::vector<uint32_t> demo_plans_;  // the plans whose start points move

  mutable std::mutex mu_;  // guards everything below
  uint32_t random_ = 20261211;
  uint32_t last_move_tick_ = 0;
  std::map<uint32_t, Filling> filling_;       // by plan id
  std::map<uint32_t, int64_t> timed_starts_;  // by plan id: the next start, epoch seconds
  std::vector<Playing> playing_;
  std::vector<StartedMatch> started_;
  uint32_t rounds_ = 0;
};

}  // namespace testgate
