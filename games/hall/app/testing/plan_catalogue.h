// A real match catalogue for window tests, tools and benchmarks, filled through its own reply
// handlers the way the gate's answers fill it: groups, lists, plans, start points and the
// recommended list, all at one catalogue version. Nothing is sent anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/hallclient.pb.h"
#include "gateclient/plan_list/plan_list.h"
#include "platform/clock.h"
#include "platform/waiter.h"

namespace hall::testing {

struct PlanSpec {
  uint32_t plan_id = 0;
  std::string name;
  uint32_t plan_type = 1;
  uint32_t fixed_count = 0;
  bool free_join = false;
  std::string show_join;
  uint32_t heat = 0;
};

qv::hallclient::PlanSimpleInfo MakePlan(const PlanSpec& spec);

class CatalogueFixture {
 public:
  static constexpr uint32_t kVersion = 1;

  CatalogueFixture();
  ~CatalogueFixture();
  CatalogueFixture(const CatalogueFixture&) = delete;
  CatalogueFixture& operator=(const CatalogueFixture&) = delete;

  qvc::PlanList& catalogue() { return list_; }

  // Replaces the groups (id, name), shown in the given order (the catalogue sorts by order; the
  // first gets the highest).
  void SetGroups(const std::vector<std::pair<uint32_t, std::string>>& groups);
  // Replaces the lists of a group, shown in the given order.
  void SetLists(uint32_t group_id, const std::vector<std::pair<uint32_t, std::string>>& lists);
  // Replaces the plans of a list, kept by the catalogue in the given order.
  void SetPlans(uint32_t group_id, uint32_t list_id, const std::vector<PlanSpec>& plans);
  // One start point open for sign-up for every occurrence of the plan in the group.
  void SetStartPoint(uint32_t group_id, uint32_t plan_id, uint32_t signed_count, uint32_t players,
                     uint64_t start_time = 0);
  // Replaces the recommended list (special list 2).
  void SetRecommended(const std::vector<PlanSpec>& plans);

 private:
  class NullHost : public qvc::PlanListHost {
   public:
    void SendHallRequest(uint16_t, const google::protobuf::Message&, uint32_t, uint32_t) override {}
    void PostTrace(const std::string&) override {}
    void Log(int, const std::string&) override {}
  };
  qv::hallclient::AllPlanRsp PlanReply(uint32_t group_id, uint32_t list_id,
                                       const std::vector<PlanSpec>& plans) const;

  platform::ManualClock clock_;
  platform::ManualWaiter waiter_;
  NullHost host_;
  qvc::PlanList list_;
};

// A catalogue as a gate would serve it.
struct SampleList {
  uint32_t list_id = 0;
  std::string name;
  std::vector<PlanSpec> plans;  // in display order
};
struct SampleGroup {
  uint32_t group_id = 0;
  std::string name;
  std::vector<SampleList> lists;  // in display order
};
struct SampleStartPoint {
  uint32_t group_id = 0;
  uint32_t plan_id = 0;
  uint32_t signed_count = 0;
  uint32_t players = 0;
  uint64_t start_time = 0;  // YYYYMMDDhhmmss, timed plans only
};
struct SampleHall {
  std::vector<SampleGroup> groups;  // in display order
  std::vector<SampleStartPoint> start_points;
  std::vector<PlanSpec> recommended;
};

// A hall's worth of plausible catalogue: `groups` games, each with the lists "免费赛",
// "大奖赛", "满人赛" and "定时赛" (ids 101 to 104) sharing `plans_per_group` plans of every kind
// (starts when full, timed, open tables, free), each with a start point, and a recommended list
// of eight of them. Plan ids are 1000 * group + n. `today` (YYYYMMDD) dates the timed plans.
SampleHall MakeSampleHall(int groups, int plans_per_group, int64_t today);

// Puts `hall` into the catalogue through its handlers.
void Fill(CatalogueFixture& fixture, const SampleHall& hall);

// Both of the above.
void FillSampleHall(CatalogueFixture& fixture, int groups, int plans_per_group, int64_t today);

}  // namespace hall::testing
