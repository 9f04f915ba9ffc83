#include "testing/gate/demo_world.h"

#include <algorithm>

#include "client/matchclient.pb.h"
#include "interface/command_ids.h"

namespace testgate {
namespace {

constexpr uint32_t kStartsWhenFull = 1;
constexpr uint32_t kTimed = 2;
constexpr uint32_t kPoints = 3;
constexpr uint32_t kOpenTables = 10;

// Lists of every game, in display order.
constexpr uint32_t kFullList = 101;
constexpr uint32_t kTimedList = 102;
constexpr uint32_t kTablesList = 103;
constexpr uint32_t kPointsList = 104;

// Seats of a timed plan, an open-tables plan and a points plan.
constexpr uint32_t kTimedSeats = 64;
constexpr uint32_t kTablesSeats = 4;
constexpr uint32_t kPointsSeats = 32;

// A timed plan's rounds follow each other this far apart; the first starts within the hour.
constexpr int64_t kRoundSeconds = 30 * 60;

const char* const kGameNames[DemoWorld::kGames] = {"斗地主", "掼蛋", "升级", "跑得快"};

struct PlanShape {
  uint32_t list_id;
  uint32_t plan_type;
  const char* name;  // after the game's name
  uint32_t seats;
  const char* fee;  // empty: free
};

// The plans of every game. Names stay short: a row shows the game's name, the plan's and its id.
const PlanShape kShapes[] = {
    {kFullList, kStartsWhenFull, "六人赛", 6, ""},
    {kFullList, kStartsWhenFull, "九人赛", 9, "500金币"},
    {kFullList, kStartsWhenFull, "三人赛", 3, "1张奖券"},
    {kTimedList, kTimed, "午间赛", kTimedSeats, "2000金币"},
    {kTimedList, kTimed, "夜场赛", kTimedSeats, "5张奖券"},
    {kTablesList, kOpenTables, "练习场", kTablesSeats, ""},
    {kTablesList, kOpenTables, "新手场", kTablesSeats, "100金币"},
    {kPointsList, kPoints, "积分赛", kPointsSeats, "50积分"},
};

// Prize rows of every plan: ranks and award.
const ScriptedPrize kPrizes[] = {
    {1, 1, "冠军：2000金币"}, {2, 2, "亚军：1000金币"}, {3, 3, "季军：500金币"},
    {4, 6, "200金币"},        {7, 9, "2张奖券"},        {10, 20, "1张奖券"},
};

}  // namespace

DemoWorld::DemoWorld(LocalGate& gate, DemoWorldOptions options)
    : gate_(gate), options_(options), hall_(gate), register_(gate) {
  last_move_tick_ = options_.clock->TickCount();
  Build();
  hall_.SetJoinObserver([this](const JoinEvent& event) { OnJoin(event); });
  register_.SetRegistrationObserver([this](const RegisterServices::RegistrationSeen& seen) {
    ScriptedAccount account;
    account.account = seen.account;
    account.password = seen.clear_password;
    account.user_id = seen.user_id;
    account.nick_name = seen.nick_name;
    hall_.AddAccount(std::move(account));
  });
}

void DemoWorld::Build() {
  ScriptedAccount demo;
  demo.account = kAccount;
  demo.password = kPassword;
  demo.user_id = kUserId;
  demo.nick_name = kNickName;
  demo.face_id = kFaceId;
  hall_.AddAccount(demo);
  hall_.SetUserId(kUserId);
  hall_.SetFunds(kUserId, {{20, 12800, "金币"}, {21, 36, "奖券"}, {22, 520, "积分"}});

  const int64_t now = options_.clock->WallSeconds();
  // The first round of the timed plans: the next quarter hour and on.
  const int64_t first_round = (now / 900 + 1) * 900;
  int timed = 0;
  for (uint32_t g = 1; g <= kGames; ++g) {
    ScriptedGroup group;
    group.group_id = g;
    group.order = kGames + 1 - g;
    group.name = kGameNames[g - 1];
    group.lists = {{kFullList, 4, {}, "满人赛"},
                   {kTimedList, 3, {}, "定时赛"},
                   {kTablesList, 2, {}, "散桌"},
                   {kPointsList, 1, {}, "积分赛"}};
    uint32_t n = 0;
    for (const PlanShape& shape : kShapes) {
      ScriptedPlan plan;
      plan.plan_id = g * 1000 + ++n;
      plan.order = n;
      plan.plan_type = shape.plan_type;
      plan.name = group.name + shape.name;
      plan.fixed_count = shape.plan_type == kStartsWhenFull ? shape.seats : 0;
      plan.free_join = shape.fee[0] == '\0';
      plan.show_join = shape.fee;
      plan.heat = (plan.plan_id * 37) % 100;
      ScriptedList& list =
          *std::find_if(group.lists.begin(), group.lists.end(),
                        [&](const ScriptedList& l) { return l.list_id == shape.list_id; });
      AddPlan(list, plan, shape.seats);
      demo_plans_.push_back(plan.plan_id);
      if (shape.plan_type == kTimed)
        timed_starts_[plan.plan_id] = first_round + int64_t{timed++ % 4} * 900;
      // The recommended list: the first two games' plans that start when full, and their first
      // timed plan.
      if (g <= 2 && (shape.plan_type == kStartsWhenFull || n == 4))
        recommended_.push_back(plan);
    }
    groups_.push_back(std::move(group));
  }
  // The extra plans for a large catalogue, spread over the first game's lists.
  for (uint32_t n = 0; static_cast<int>(plans_.size()) < options_.plans; ++n) {
    const PlanShape& shape = kShapes[n % std::size(kShapes)];
    ScriptedPlan plan;
    plan.plan_id = 100000 + n;
    plan.order = 0;
    plan.plan_type = shape.plan_type;
    plan.name = shape.name + std::to_string(n + 1) + "号";
    plan.fixed_count = shape.plan_type == kStartsWhenFull ? shape.seats : 0;
    plan.free_join = shape.fee[0] == '\0';
    plan.show_join = shape.fee;
    ScriptedList& list = groups_[0].lists[shape.list_id - kFullList];
    AddPlan(list, plan, shape.seats);
    if (shape.plan_type == kTimed)
      timed_starts_[plan.plan_id] = first_round + int64_t{n % 4} * 900;
  }
  for (const auto& [plan_id, start] : timed_starts_) {
    const uint64_t stamp = LocalStamp(start);
    hall_.UpdateStartPoint(plan_id, [stamp](ScriptedStartPoint& p) { p.start_time = stamp; });
  }
  hall_.SetCatalogue(groups_);
  hall_.SetRecommended(recommended_);
}

void DemoWorld::AddPlan(ScriptedList& list, ScriptedPlan plan, uint32_t seats) {
  plan.game_kind = kGameKind;
  plan.app_id = kMatchAppBase + plan.plan_id;
  ScriptedDetail detail;
  detail.match_app_id = plan.app_id;
  detail.title = plan.name;
  detail.prizes.assign(std::begin(kPrizes), std::end(kPrizes));
  detail.min_players = plan.plan_type == kStartsWhenFull ? seats : 2;
  hall_.SetMatchDetail(plan.plan_id, std::move(detail));
  ScriptedStartPoint point;
  point.seats = seats;
  // Plans that start when full wait with a few seats taken and always at least two free.
  point.signed_count = plan.plan_type == kStartsWhenFull ? plan.plan_id % (seats - 1)
                                                         : (plan.plan_id * 7) % (seats + 1);
  point.match_id = uint64_t{plan.plan_id} * 100;
  hall_.SetStartPoint(plan.plan_id, point);
  plans_[plan.plan_id] = plan;
  list.plans.push_back(std::move(plan));
}

void DemoWorld::OnJoin(const JoinEvent& event) {
  const auto plan = plans_.find(event.plan_id);
  if (!event.accepted || plan == plans_.end() || plan->second.plan_type != kStartsWhenFull)
    return;
  std::lock_guard<std::mutex> lock(mu_);
  if (event.is_quit) {
    filling_.erase(event.plan_id);
    return;
  }
  filling_[event.plan_id] = {event.match_app_id, options_.clock->TickCount() + options_.seat_ms};
}

void DemoWorld::Tick() {
  const uint32_t now = options_.clock->TickCount();
  TakeSeats(now);
  SendPrizes(now);
  MoveStartPoints(now);
}

void DemoWorld::TakeSeats(uint32_t now) {
  std::vector<std::pair<uint32_t, uint32_t>> full;  // plan, match service
  std::vector<uint32_t> seat_taken;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& [plan_id, filling] : filling_) {
      // Tick counts wrap: a seat is due once the tick has reached it.
      if (static_cast<int32_t>(now - filling.next_seat_tick) < 0)
        continue;
      filling.next_seat_tick = now + options_.seat_ms;
      seat_taken.push_back(plan_id);
    }
  }
  for (uint32_t plan_id : seat_taken) {
    bool is_full = false;
    hall_.UpdateStartPoint(plan_id, [&](ScriptedStartPoint& p) {
      if (p.signed_count < p.seats)
        ++p.signed_count;
      is_full = p.signed_count >= p.seats;
    });
    if (!is_full)
      continue;
    uint32_t match_app_id = 0;
    {
      std::lock_guard<std::mutex> lock(mu_);
      const auto it = filling_.find(plan_id);
      if (it == filling_.end())
        continue;  // withdrawn meanwhile
      match_app_id = it->second.match_app_id;
      filling_.erase(it);
    }
    StartMatch(plan_id, match_app_id, now);
  }
}

void DemoWorld::StartMatch(uint32_t plan_id, uint32_t match_app_id, uint32_t now) {
  StartedMatch match;
  match.plan_id = plan_id;
  match.match_app_id = match_app_id;
  ScriptedMatchStart start;
  {
    std::lock_guard<std::mutex> lock(mu_);
    match.key = uint64_t{++rounds_} << 32 | plan_id;
    start.match_id = uint64_t{plan_id} * 100 + rounds_;
    start.match_group = rounds_;
    start.rank_appid = 30;
    start.rank_objectid = plan_id;
    start.mp_id = 40000 + plan_id;
    start.game_kind = kGameKind;
    started_.push_back(match);
    playing_.push_back({match, now + options_.prize_ms});
  }
  hall_.SendMatchStart(-1, match.key, match_app_id, start);
  // The next round waits with a few players who have just joined.
  hall_.UpdateStartPoint(plan_id, [](ScriptedStartPoint& p) { p.signed_count = 1; });
}

void DemoWorld::SendPrizes(uint32_t now) {
  std::vector<StartedMatch> due;
  {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto it = playing_.begin(); it != playing_.end();) {
      if (static_cast<int32_t>(now - it->prize_tick) >= 0) {
        due.push_back(it->match);
        it = playing_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (const StartedMatch& match : due) {
    qv::matchclient::MatchPrize prize;
    prize.set_plan_id(match.plan_id);
    prize.set_text_2("比赛结束：您获得第2名，奖励1000金币");
    qv::matchclient::PrizeItem* item = prize.add_prize_items();
    item->set_rank_begin(2);
    item->set_rank_end(2);
    item->set_other_award("1000金币");
    hall_.SendMatchMessage(-1, match.key, match.match_app_id, qv::cmd::matchclient::kMatchPrize,
                           prize.SerializePartialAsString());
  }
}

void DemoWorld::MoveStartPoints(uint32_t now) {
  std::vector<std::pair<uint32_t, int>> moves;       // plan, players joining (or leaving)
  std::vector<std::pair<uint32_t, int64_t>> rounds;  // timed plan, its next start
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (now - last_move_tick_ < options_.move_ms)
      return;
    last_move_tick_ = now;
    const int64_t wall = options_.clock->WallSeconds();
    for (auto& [plan_id, start] : timed_starts_) {
      if (start > wall)
        continue;
      while (start <= wall)
        start += kRoundSeconds;
      rounds.emplace_back(plan_id, start);
    }
    for (uint32_t plan_id : demo_plans_) {
      if (filling_.count(plan_id) != 0)
        continue;  // the user's plan fills by the seats the world gives it
      const int step = static_cast<int>(Next() % 5) - 2;  // -2 .. +2
      moves.emplace_back(plan_id, step);
    }
  }
  for (const auto& [plan_id, start] : rounds) {
    const uint64_t stamp = LocalStamp(start);
    hall_.UpdateStartPoint(plan_id, [stamp](ScriptedStartPoint& p) {
      p.start_time = stamp;
      p.signed_count = 0;  // the next round's sign-up has just opened
    });
  }
  for (const auto& [plan_id, step] : moves) {
    const uint32_t type = plans_.at(plan_id).plan_type;
    // `step` is copied by name: clang (the fuzz build) cannot capture a structured binding.
    hall_.UpdateStartPoint(plan_id, [type, step = step](ScriptedStartPoint& p) {
      // A plan that starts when full never fills by itself: it keeps two seats free.
      const int most =
          type == kStartsWhenFull ? static_cast<int>(p.seats) - 2 : static_cast<int>(p.seats);
      // Timed plans only gain players until their start.
      const int change = type == kTimed ? (step > 0 ? 1 : 0) : step;
      p.signed_count = static_cast<uint32_t>(
          std::clamp(static_cast<int>(p.signed_count) + change, 0, std::max(most, 0)));
    });
  }
}

uint32_t DemoWorld::Next() {
  random_ = random_ * 1664525u + 1013904223u;
  return random_ >> 8;
}

uint64_t DemoWorld::LocalStamp(int64_t seconds) const {
  const std::tm t = options_.clock->LocalTime(seconds);
  const uint64_t date =
      uint64_t(t.tm_year + 1900) * 10000 + uint64_t(t.tm_mon + 1) * 100 + uint64_t(t.tm_mday);
  return ((date * 100 + uint64_t(t.tm_hour)) * 100 + uint64_t(t.tm_min)) * 100 + uint64_t(t.tm_sec);
}

std::vector<DemoWorld::StartedMatch> DemoWorld::started() const {
  std::lock_guard<std::mutex> lock(mu_);
  return started_;
}

uint64_t DemoWorld::start_time(uint32_t plan_id) const {
  return hall_.start_point(plan_id).start_time;
}

}  // namespace testgate
