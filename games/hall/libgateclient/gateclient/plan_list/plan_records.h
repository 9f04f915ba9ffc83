// The records of the match catalogue: groups of a page, the lists of a group, the plans of a list
// and the start points of a plan, as the catalogue keeps them between replies.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "client/hallclient.pb.h"

namespace qvc {

// One plan (a match schedule that can be signed up for). Identified by `info.plan_id()`.
struct PlanRecord {
  std::string simple_info_bytes;  // the serialized PlanSimpleInfo as received
  std::string extra_bytes;        // carried for other users of the record; not filled here
  qv::hallclient::PlanSimpleInfo info;
  qv::hallclient::TitleMatchItem title_match;  // not filled by the catalogue
  uint32_t plan_order = 0;
  uint32_t show_num = 0;
  uint32_t plan_key = 0;

  uint32_t plan_id() const { return info.plan_id(); }
};

struct PlanListRecord {
  qv::hallclient::listItem item;
  bool start_points_received = false;

  uint32_t list_id() const { return item.list_id(); }
  // The plans in display order.
  const std::vector<PlanRecord>& plans() const { return plans_; }

  // Replaces the plans (already in display order) and indexes them by plan id.
  void SetPlans(std::vector<PlanRecord> sorted_plans);
  // The first plan of `plan_id` in display order, null when absent.
  const PlanRecord* FindPlan(uint32_t plan_id) const;

 private:
  std::vector<PlanRecord> plans_;
  // plan id -> index in `plans_` of its first occurrence; kept by SetPlans.
  std::unordered_map<uint32_t, size_t> first_by_id_;
};

struct PlanGroupRecord {
  qv::hallclient::groupItem item;
  std::vector<PlanListRecord> lists;  // display order
  uint32_t plan_replies = 0;          // AllPlanRsp replies received for its lists

  uint32_t group_id() const { return item.group_id(); }
};

// The latest start points of one plan.
struct StartPointRecord {
  uint32_t players = 0;  // of the latest start point open for sign-up
  uint32_t signed_count = 0;
  std::vector<qv::hallclient::startPointItem> points;  // reply order
  std::vector<std::string> point_bytes;                // the same, as received
  uint32_t version = 0;
  uint64_t start_time = 0;  // plans of type 2 only
};

}  // namespace qvc
