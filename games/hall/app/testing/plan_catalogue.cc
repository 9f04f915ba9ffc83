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

SampleHall MakeSampleHall(int groups, int plans_per_group, int64_t today) {
  static const char* const kGames[] = {"斗地主",   "掼蛋",     "升级",     "跑得快",
                                       "四川麻将", "中国象棋", "德州扑克", "二人麻将"};
  static const char* const kKinds[] = {"红包赛", "积分赛", "话费赛", "大奖赛", "练习场", "邀请赛",
                                       "快速赛", "闯关赛", "冠军赛", "夜场赛", "周末赛", "精英赛"};
  static const char* const kFees[] = {"500金币", "2张奖券", "1000金币", "50积分"};
  // The list of each kind of plan, by n % 4: free plans (start when 6 have joined), plans that
  // start when full, timed plans, and the prize list's open tables and 30-seat plans.
  static const uint32_t kListOfKind[] = {101, 103, 104, 102};
  SampleHall hall;
  for (int g = 1; g <= groups; ++g) {
    const auto group_id = static_cast<uint32_t>(g);
    const std::string game = kGames[(g - 1) % 8];
    SampleGroup group{
        group_id,
        game,
        {{101, "免费赛", {}}, {102, "大奖赛", {}}, {103, "满人赛", {}}, {104, "定时赛", {}}}};
    for (int n = 0; n < plans_per_group; ++n) {
      PlanSpec spec;
      spec.plan_id = group_id * 1000 + static_cast<uint32_t>(n);
      spec.name = game + kKinds[(n / 4 + n % 4 * 3) % 12];
      spec.heat = static_cast<uint32_t>((n * 37) % 100);
      spec.show_join = kFees[n % 4];
      switch (n % 4) {
        case 0:
          spec.free_join = true;
          spec.fixed_count = 6;
          break;
        case 1:
          spec.fixed_count = n % 3 == 0 ? 100 : 9;
          break;
        case 2:
          spec.plan_type = 2;
          break;
        default:
          spec.plan_type = n % 8 == 3 ? 10 : 1;
          spec.fixed_count = 30;
          break;
      }
      group.lists[kListOfKind[n % 4] - 101].plans.push_back(spec);
      const uint32_t players = spec.fixed_count != 0 ? spec.fixed_count : 64;
      // Timed plans start today or tomorrow, between 09:00 and 21:30 on the hour or half hour.
      const int64_t day = today + (spec.plan_id % 3 == 0 ? 1 : 0);
      const int64_t hour = 9 + spec.plan_id % 13;
      const int64_t minute = spec.plan_id / 4 % 2 == 0 ? 0 : 30;
      const auto start = static_cast<uint64_t>(((day * 100 + hour) * 100 + minute) * 100);
      hall.start_points.push_back(SampleStartPoint{
          group_id, spec.plan_id, (spec.plan_id * 13 + spec.plan_id / 7) % (players + 1), players,
          spec.plan_type == 2 ? start : 0});
      if (hall.recommended.size() < 8 && n % 5 == 1)
        hall.recommended.push_back(spec);
    }
    hall.groups.push_back(std::move(group));
  }
  return hall;
}

void Fill(CatalogueFixture& fixture, const SampleHall& hall) {
  std::vector<std::pair<uint32_t, std::string>> groups;
  for (const SampleGroup& g : hall.groups)
    groups.emplace_back(g.group_id, g.name);
  fixture.SetGroups(groups);
  for (const SampleGroup& g : hall.groups) {
    std::vector<std::pair<uint32_t, std::string>> lists;
    for (const SampleList& l : g.lists)
      lists.emplace_back(l.list_id, l.name);
    fixture.SetLists(g.group_id, lists);
    for (const SampleList& l : g.lists)
      fixture.SetPlans(g.group_id, l.list_id, l.plans);
  }
  for (const SampleStartPoint& p : hall.start_points)
    fixture.SetStartPoint(p.group_id, p.plan_id, p.signed_count, p.players, p.start_time);
  fixture.SetRecommended(hall.recommended);
}

void FillSampleHall(CatalogueFixture& fixture, int groups, int plans_per_group, int64_t today) {
  Fill(fixture, MakeSampleHall(groups, plans_per_group, today));
}

}  // namespace hall::testing
