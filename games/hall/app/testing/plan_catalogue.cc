#include "games/hall/app/testing/plan_catalogue.h"

#include <map>
#include <string>

namespace hall::testing {

namespace hc = qv::hallclient;

hc::PlanSimpleInfo MakePlan(const PlanSpec& spec) {
  hc::PlanSimpleInfo info;
  info.set_plan_id(spec.plan_id);
  info.set_show_name(spec.name);
  info.set_plan_type(spec.plan_type);
  info.set_fixed_count(spec.fixed_count);
  info.set_free_join(spec.free_join);
  info.set_show_join(spec.show_join);
  info.set_heat_degree(spec.heat);
  return info;
}

CatalogueFixture::CatalogueFixture()
    : waiter_(&clock_), list_(&host_, qvc::PlanListSettings{}, &clock_, &waiter_) {}

CatalogueFixture::~CatalogueFixture() {
  waiter_.Open();
}

void CatalogueFixture::SetGroups(const std::vector<std::pair<uint32_t, std::string>>& groups) {
  hc::AllGroupRsp reply;
  reply.set_ver_code(kVersion);
  uint32_t order = static_cast<uint32_t>(groups.size());
  for (const auto& [id, name] : groups) {
    hc::groupItem* item = reply.add_items();
    item->set_group_id(id);
    item->set_show_name(name);
    item->set_group_order(order--);
  }
  list_.OnAllGroupRsp(reply);
}

void CatalogueFixture::SetLists(uint32_t group_id,
                                const std::vector<std::pair<uint32_t, std::string>>& lists) {
  hc::AllListRsp reply;
  reply.set_ver_code(kVersion);
  reply.set_group_id(group_id);
  uint32_t order = static_cast<uint32_t>(lists.size());
  for (const auto& [id, name] : lists) {
    hc::listItem* item = reply.add_items();
    item->set_list_id(id);
    item->set_show_name(name);
    item->set_list_order(order--);
  }
  list_.OnAllListRsp(reply);
}

hc::AllPlanRsp CatalogueFixture::PlanReply(uint32_t group_id, uint32_t list_id,
                                           const std::vector<PlanSpec>& plans) const {
  hc::AllPlanRsp reply;
  reply.set_ver_code(kVersion);
  reply.set_group_id(group_id);
  reply.set_list_id(list_id);
  uint32_t order = static_cast<uint32_t>(plans.size());
  for (const PlanSpec& spec : plans) {
    reply.add_simple_infos(MakePlan(spec).SerializePartialAsString());
    reply.add_plan_orders(order--);
    reply.add_plan_show_nums(0);
    reply.add_plan_ids(spec.plan_id);
  }
  return reply;
}

void CatalogueFixture::SetPlans(uint32_t group_id, uint32_t list_id,
                                const std::vector<PlanSpec>& plans) {
  list_.OnAllPlanRsp(PlanReply(group_id, list_id, plans));
}

void CatalogueFixture::SetStartPoint(uint32_t group_id, uint32_t plan_id, uint32_t signed_count,
                                     uint32_t players, uint64_t start_time) {
  hc::startPointItem point;
  point.set_plan_id(plan_id);
  point.set_match_id(uint64_t{plan_id} << 20);
  point.set_start_time(start_time);
  point.set_current_sign(signed_count);
  point.set_player_count(players);
  point.set_start_flag(hc::startPointItem::SIGNUP_ALLOW);
  hc::PlanAllStartPoint reply;
  reply.set_ver_code(kVersion);
  reply.set_group_id(group_id);
  reply.set_plan_id(plan_id);
  reply.add_start_points(point.SerializePartialAsString());
  list_.OnPlanAllStartPoint(reply);
}

void CatalogueFixture::SetRecommended(const std::vector<PlanSpec>& plans) {
  list_.OnAllPlanRsp(PlanReply(0, qvc::PlanList::kRecommendedListId, plans));
}

void FillSampleHall(CatalogueFixture& fixture, int groups, int plans_per_group, int64_t today) {
  static const char* const kGames[] = {"斗地主",   "掼蛋",     "升级",     "跑得快",
                                       "四川麻将", "中国象棋", "德州扑克", "二人麻将"};
  static const char* const kKinds[] = {"红包赛", "积分赛", "话费赛", "大奖赛", "练习场", "邀请赛",
                                       "快速赛", "闯关赛", "冠军赛", "夜场赛", "周末赛", "精英赛"};
  static const char* const kFees[] = {"500金币", "2张奖券", "1000金币", "50积分"};
  constexpr uint32_t kFreeList = 101, kPrizeList = 102, kFullList = 103, kTimedList = 104;
  std::vector<std::pair<uint32_t, std::string>> group_names;
  for (int g = 1; g <= groups; ++g)
    group_names.emplace_back(g, kGames[(g - 1) % 8]);
  fixture.SetGroups(group_names);
  std::vector<PlanSpec> recommended;
  for (int g = 1; g <= groups; ++g) {
    const std::string game = kGames[(g - 1) % 8];
    const auto group = static_cast<uint32_t>(g);
    fixture.SetLists(group, {{kFreeList, "免费赛"},
                             {kPrizeList, "大奖赛"},
                             {kFullList, "满人赛"},
                             {kTimedList, "定时赛"}});
    std::map<uint32_t, std::vector<PlanSpec>> by_list;
    for (int n = 0; n < plans_per_group; ++n) {
      PlanSpec spec;
      spec.plan_id = group * 1000 + static_cast<uint32_t>(n);
      spec.name = game + kKinds[(n / 4 + n % 4 * 3) % 12];
      spec.heat = static_cast<uint32_t>((n * 37) % 100);
      spec.show_join = kFees[n % 4];
      uint32_t list = kPrizeList;
      switch (n % 4) {
        case 0:
          spec.free_join = true;
          spec.plan_type = 1;
          spec.fixed_count = 6;
          list = kFreeList;
          break;
        case 1:
          spec.plan_type = 1;
          spec.fixed_count = n % 3 == 0 ? 100 : 9;
          list = kFullList;
          break;
        case 2:
          spec.plan_type = 2;
          list = kTimedList;
          break;
        default:
          spec.plan_type = n % 8 == 3 ? 10 : 1;
          spec.fixed_count = 30;
          list = kPrizeList;
          break;
      }
      by_list[list].push_back(spec);
      if (recommended.size() < 8 && n % 5 == 1)
        recommended.push_back(spec);
    }
    for (uint32_t list : {kFreeList, kPrizeList, kFullList, kTimedList})
      fixture.SetPlans(group, list, by_list[list]);
    for (uint32_t list : {kFreeList, kPrizeList, kFullList, kTimedList}) {
      for (const PlanSpec& spec : by_list[list]) {
        const uint32_t players = spec.fixed_count != 0 ? spec.fixed_count : 64;
        const uint32_t signed_count = (spec.plan_id * 13 + spec.plan_id / 7) % (players + 1);
        // Timed plans start today or tomorrow, between 09:00 and 21:30 on the hour or half hour.
        const int64_t day = today + (spec.plan_id % 3 == 0 ? 1 : 0);
        const int64_t hour = 9 + spec.plan_id % 13;
        const int64_t minute = spec.plan_id % 2 == 0 ? 0 : 30;
        const auto start = static_cast<uint64_t>(((day * 100 + hour) * 100 + minute) * 100);
        fixture.SetStartPoint(group, spec.plan_id, signed_count, players,
                              spec.plan_type == 2 ? start : 0);
      }
    }
  }
  fixture.SetRecommended(recommended);
}

}  // namespace hall::testing
