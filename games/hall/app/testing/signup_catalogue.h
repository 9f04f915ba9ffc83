// A real match catalogue for the sign-up tests, filled through its reply handlers as the job
// thread would: one group (1) with one list (100) holding the plans a test gives, and the start
// points it sets. No refresh thread runs and the requests it would send go nowhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/hallclient.pb.h"
#include "gateclient/plan_list/plan_list.h"
#include "platform/clock.h"
#include "platform/waiter.h"

namespace hall::testing {

class SignupCatalogue {
 public:
  static constexpr uint32_t kGroupId = 1;
  static constexpr uint32_t kListId = 100;  // ids below 99 name the special lists
  static constexpr uint32_t kVersion = 1;

  SignupCatalogue() : list_(&host_, qvc::PlanListSettings{}, &clock_, &waiter_) {
    qv::hallclient::AllGroupRsp groups;
    groups.set_ver_code(kVersion);
    groups.add_items()->set_group_id(kGroupId);
    list_.OnAllGroupRsp(groups);
    qv::hallclient::AllListRsp lists;
    lists.set_ver_code(kVersion);
    lists.set_group_id(kGroupId);
    lists.add_items()->set_list_id(kListId);
    list_.OnAllListRsp(lists);
  }

  // Replaces the list's plans.
  void SetPlans(const std::vector<qv::hallclient::PlanSimpleInfo>& plans) {
    qv::hallclient::AllPlanRsp reply;
    reply.set_ver_code(kVersion);
    reply.set_group_id(kGroupId);
    reply.set_list_id(kListId);
    for (const auto& info : plans) {
      reply.add_simple_infos(info.SerializeAsString());
      reply.add_plan_orders(0);
      reply.add_plan_show_nums(0);
      reply.add_plan_ids(info.plan_id());
    }
    list_.OnAllPlanRsp(reply);
  }

  // One start point open for sign-up with `signed_count` of `players` taken.
  void SetStartPoint(uint32_t plan_id, uint32_t players, uint32_t signed_count) {
    qv::hallclient::startPointItem point;
    point.set_plan_id(plan_id);
    point.set_match_id(plan_id * 100ull);
    point.set_start_flag(qv::hallclient::startPointItem::SIGNUP_ALLOW);
    point.set_player_count(players);
    point.set_current_sign(signed_count);
    qv::hallclient::PlanAllStartPoint reply;
    reply.set_ver_code(kVersion);
    reply.set_group_id(kGroupId);
    reply.set_plan_id(plan_id);
    reply.add_start_points(point.SerializeAsString());
    list_.OnPlanAllStartPoint(reply);
  }

  qvc::PlanList* list() { return &list_; }

 private:
  class NoHost : public qvc::PlanListHost {
   public:
    void SendHallRequest(uint16_t, const google::protobuf::Message&, uint32_t, uint32_t) override {}
    void PostTrace(const std::string&) override {}
    void Log(int, const std::string&) override {}
  };

  NoHost host_;
  platform::ManualClock clock_;
  platform::ManualWaiter waiter_{&clock_};
  qvc::PlanList list_;
};

// A plan's short description as the catalogue receives it.
inline qv::hallclient::PlanSimpleInfo Plan(uint32_t plan_id, const std::string& name,
                                           uint32_t plan_type, uint32_t fixed_count,
                                           uint32_t game_kind, uint32_t app_id,
                                           bool free_join = false) {
  qv::hallclient::PlanSimpleInfo info;
  info.set_plan_id(plan_id);
  info.set_show_name(name);
  info.set_plan_type(plan_type);
  info.set_fixed_count(fixed_count);
  info.set_game_kind(game_kind);
  info.set_app_id(app_id);
  info.set_free_join(free_join);
  return info;
}

// A prize row of a plan's details.
struct Prize {
  uint32_t first_rank;
  uint32_t last_rank;
  const char* award;  // null: no award text
};

// The GetMatchDetailRsp of `plan_id` whose title match carries `prizes` and names the match
// service `app_id`.
inline qv::hallclient::GetMatchDetailRsp Detail(uint32_t plan_id, uint32_t app_id,
                                                const std::vector<Prize>& prizes) {
  qv::hallclient::TitleMatchItem title;
  title.set_plan_id(plan_id);
  title.set_app_id(app_id);
  for (const Prize& p : prizes) {
    qv::hallclient::PrizeItem* item = title.add_plan_prizes();
    item->set_rank_begein(p.first_rank);
    item->set_rank_end(p.last_rank);
    if (p.award != nullptr)
      item->set_other_award(p.award);
  }
  qv::hallclient::GetMatchDetailRsp detail;
  detail.set_plan_id(plan_id);
  detail.set_app_id(app_id);
  detail.set_detail_titlematch(title.SerializeAsString());
  return detail;
}

}  // namespace hall::testing
