// The records of the match catalogue: groups of a page, the lists of a group, the plans of a list
// and the start points of a plan, as the catalogue keeps them between replies.
//
// A catalogue holds up to a hundred thousand plans, so a record keeps one form of what it was
// sent: the parsed messages, which the windows read. The bytes they came as are serialised again
// on demand (protobuf keeps every field it parsed, unknown ones too), and the parts of a record
// the catalogue never fills take no room until they are set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "client/hallclient.pb.h"

namespace qvc {

// One plan (a match schedule that can be signed up for). Identified by `info.plan_id()`.
struct PlanRecord {
  qv::hallclient::PlanSimpleInfo info;
  uint32_t plan_order = 0;
  uint32_t show_num = 0;
  uint32_t plan_key = 0;

  PlanRecord() = default;
  PlanRecord(const PlanRecord& other);
  PlanRecord& operator=(const PlanRecord& other);
  PlanRecord(PlanRecord&&) noexcept = default;
  PlanRecord& operator=(PlanRecord&&) noexcept = default;

  uint32_t plan_id() const { return info.plan_id(); }
  // The serialized PlanSimpleInfo.
  std::string simple_info_bytes() const { return info.SerializePartialAsString(); }

  // Carried for other users of the record type; not filled by the catalogue.
  const std::string& extra_bytes() const;
  const qv::hallclient::TitleMatchItem& title_match() const;
  std::string* mutable_extra_bytes();
  qv::hallclient::TitleMatchItem* mutable_title_match();

 private:
  struct Extras {
    std::string extra_bytes;
    qv::hallclient::TitleMatchItem title_match;
  };
  Extras& MutableExtras();

  std::unique_ptr<Extras> extras_;  // null until something is set
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
  // (plan id, index in `plans_`) of every plan, sorted: the first entry of an id is its first
  // occurrence. Eight bytes a plan, where a hash map took forty.
  std::vector<std::pair<uint32_t, uint32_t>> by_id_;
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
  uint32_t version = 0;
  uint64_t start_time = 0;  // plans of type 2 only

  // The same start points, serialized.
  std::vector<std::string> point_bytes() const;
};

}  // namespace qvc
