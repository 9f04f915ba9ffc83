// The records of the match catalogue: groups of a page, the lists of a group, the plans of a list
// and the start points of a plan, as the catalogue keeps them between replies.
//
// A catalogue holds up to a hundred thousand plans, so it keeps each plan's description and each
// start point as the bytes it was sent, beside the few fields it sorts, indexes and decides by.
// A parsed message holds every text as a string of its own (with a heap block of its own for most
// of them), which cost more than three times the bytes the gate sent. Readers parse their own copy
// of what they show (`PlanEntry::info`, `PlanEntry::record`, `StartPointRecord::points`).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/hallclient.pb.h"

namespace qvc {

// One plan (a match schedule that can be signed up for) as a reader copies it. Identified by
// `info.plan_id()`.
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

// One plan as a list holds it: its PlanSimpleInfo bytes as received, with its id and type read
// from them, and the list's order fields. Thirty-two bytes beside the description's own.
class PlanEntry {
 public:
  PlanEntry() = default;
  // `info` is what `simple_info_bytes` parsed to.
  PlanEntry(const qv::hallclient::PlanSimpleInfo& info, std::string_view simple_info_bytes,
            uint32_t plan_order, uint32_t show_num, uint32_t plan_key);
  PlanEntry(const PlanEntry& other);
  PlanEntry& operator=(const PlanEntry& other);
  PlanEntry(PlanEntry&&) noexcept = default;
  PlanEntry& operator=(PlanEntry&&) noexcept = default;

  uint32_t plan_order = 0;
  uint32_t show_num = 0;
  uint32_t plan_key = 0;

  uint32_t plan_id() const { return plan_id_; }
  uint32_t plan_type() const { return plan_type_; }
  // The PlanSimpleInfo bytes as received.
  std::string_view simple_info_bytes() const { return {bytes_.get(), size_}; }
  // A parsed copy of the description.
  qv::hallclient::PlanSimpleInfo info() const;
  // Parses the description into `info`, whose texts keep the room an earlier read gave them: a
  // reader that fills row after row allocates nothing once its message has grown.
  void ReadInfo(qv::hallclient::PlanSimpleInfo* info) const;
  // A reader's copy of the whole plan.
  PlanRecord record() const;

 private:
  uint32_t plan_id_ = 0;
  uint32_t plan_type_ = 0;
  uint32_t size_ = 0;
  std::unique_ptr<char[]> bytes_;  // null when empty
};

struct PlanListRecord {
  qv::hallclient::listItem item;
  bool start_points_received = false;

  uint32_t list_id() const { return item.list_id(); }
  // The plans in display order.
  const std::vector<PlanEntry>& plans() const { return plans_; }

  // Replaces the plans (already in display order) and indexes them by plan id.
  void SetPlans(std::vector<PlanEntry> sorted_plans);
  // The first plan of `plan_id` in display order, null when absent.
  const PlanEntry* FindPlan(uint32_t plan_id) const;

 private:
  std::vector<PlanEntry> plans_;
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
class StartPointRecord {
 public:
  uint32_t players = 0;  // of the latest start point open for sign-up
  uint32_t signed_count = 0;
  uint32_t version = 0;
  uint64_t start_time = 0;  // plans of type 2 only

  // The start points in reply order: how many, parsed copies, and their bytes as received.
  size_t point_count() const;
  std::vector<qv::hallclient::startPointItem> points() const;
  std::vector<std::string> point_bytes() const;

  // Drops the start points and makes room for `room` bytes: the sum of RoomFor of the points to
  // come, so that the block is allocated once and exactly.
  void ClearPoints(size_t room);
  static size_t RoomFor(std::string_view bytes);
  // Appends a start point's bytes (ones that parsed).
  void AddPoint(std::string_view bytes);

 private:
  // Calls `each(bytes)` for every start point in order.
  template <typename Each>
  void ForEachPoint(Each&& each) const;

  // Each start point's bytes behind their length (a base-128 varint), one after another: one
  // block for all of them, where parsed messages took a vector of 56-byte objects.
  std::string wire_;
};

}  // namespace qvc
