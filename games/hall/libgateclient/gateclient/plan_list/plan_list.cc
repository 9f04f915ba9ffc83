#include "gateclient/plan_list/plan_list.h"

#include <algorithm>
#include <string>
#include <utility>

namespace qvc {

namespace hc = qv::hallclient;

namespace {

template <typename Message>
std::unique_ptr<google::protobuf::Message> Boxed(Message message) {
  return std::make_unique<Message>(std::move(message));
}

}  // namespace

PlanList::PlanList(PlanListHost* host, PlanListSettings settings, platform::Clock* clock,
                   platform::Waiter* waiter)
    : host_(host),
      settings_(settings),
      clock_(clock),
      waiter_(waiter),
      special_lists_(kSpecialListCount) {}

PlanList::~PlanList() {
  StopAndJoin();
}

// ---------------------------------------------------------------------------------------------
// Refresh thread

void PlanList::StartRefreshThread() {
  std::lock_guard<std::mutex> lock(thread_mu_);
  if (shut_down_)
    return;
  stop_requested_ = false;
  if (running_)
    return;
  // A thread that ended has left its loop and is returning: joining it is immediate.
  if (thread_.joinable())
    thread_.join();
  running_ = true;
  thread_ = std::thread(&PlanList::RefreshLoop, this);
}

void PlanList::RequestStop() {
  std::lock_guard<std::mutex> lock(thread_mu_);
  stop_requested_ = true;
}

void PlanList::StopAndJoin() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(thread_mu_);
    shut_down_ = true;
    stop_requested_ = true;
    finished = std::move(thread_);
  }
  if (finished.joinable())
    finished.join();
}

bool PlanList::running() const {
  std::lock_guard<std::mutex> lock(thread_mu_);
  return running_;
}

void PlanList::RefreshLoop() {
  for (;;) {
    {
      // The decision to end is taken under the flag lock so that a start racing it either
      // withdraws the stop in time or finds the thread no longer running.
      std::lock_guard<std::mutex> lock(thread_mu_);
      if (stop_requested_) {
        running_ = false;
        return;
      }
    }
    if (!waiter_->WaitMs(kRefreshTickMs)) {
      std::lock_guard<std::mutex> lock(thread_mu_);
      running_ = false;
      return;
    }
    RequestAllGroups();
    RefreshPlans(false);
  }
}

uint32_t PlanList::NowSeconds() const {
  return static_cast<uint32_t>(clock_->WallSeconds());
}

void PlanList::Send(Outbox& out) {
  for (Request& request : out) {
    host_->SendHallRequest(request.subid, *request.message, request.apptype, kCatalogueAppId);
  }
  out.clear();
}

// ---------------------------------------------------------------------------------------------
// Requests

void PlanList::RequestAllGroups() {
  Outbox out;
  {
    std::lock_guard<std::mutex> lock(mu_);
    const uint32_t now = NowSeconds();
    if (now - last_group_request_s_ < kGroupRequestPeriodS)
      return;
    if (held_version_ != 0 && newest_version_ <= held_version_)
      return;
    last_group_request_s_ = now;
    hc::AllGroupReq request;
    request.set_page_id(settings_.page_id);
    request.set_ver_code(newest_version_);
    out.push_back({hc::IDAllGroupReq, Boxed(std::move(request)), kCatalogueAppType});
  }
  Send(out);
}

void PlanList::RefreshPlans(bool force) {
  Outbox out;
  {
    std::lock_guard<std::mutex> lock(mu_);
    RefreshPlansLocked(force, out);
  }
  Send(out);
}

void PlanList::RefreshPlansLocked(bool force, Outbox& out) {
  const uint32_t now = NowSeconds();
  if (!force && now - last_plan_refresh_s_ < settings_.refresh_interval_s)
    return;
  last_plan_refresh_s_ = now;
  RequestSpecialListsLocked(out);
  const PlanGroupRecord* group = FindGroupLocked(current_group_);
  if (group == nullptr)
    return;
  hc::DisplayPlanUpdateReq request;
  request.set_ver_code(held_version_);
  request.set_group_id(current_group_);
  for (const PlanListRecord& list : group->lists) {
    for (const PlanEntry& plan : list.plans())
      request.add_array_plan_id(plan.plan_id());
  }
  out.push_back({hc::IDDisplayPlanUpdateReq, Boxed(std::move(request)), kDisplayAppType});
}

void PlanList::RequestSpecialListsLocked(Outbox& out) {
  if (settings_.quick_start_list == 1)
    RequestPlansLocked(current_group_, kQuickStartListId, out);
  if (settings_.recommended_list == 1)
    RequestPlansLocked(current_group_, kRecommendedListId, out);
}

void PlanList::RequestPlansLocked(uint32_t group_id, uint32_t list_id, Outbox& out) {
  hc::AllPlanReq request;
  request.set_page_id(settings_.page_id);
  request.set_group_id(group_id);
  request.set_list_id(list_id);
  request.set_ver_code(held_version_);
  request.set_game_kind(settings_.game_kind);
  out.push_back({hc::IDAllPlanReq, Boxed(std::move(request)), kCatalogueAppType});
}

// ---------------------------------------------------------------------------------------------
// Replies

bool PlanList::CheckVersionLocked(uint32_t version, bool is_group_reply) {
  // A late reply of an older version must not hide the newest one seen.
  newest_version_ = std::max(newest_version_, version);
  if (held_version_ == 0) {
    // After a reset only the groups may set the version again: a later reply of the same batch
    // (another plan's start points) would otherwise hold the new version over the old contents
    // and keep the groups from ever being asked for again.
    if (rebuilding_ && !is_group_reply)
      return false;
    rebuilding_ = false;
    held_version_ = version;
    return true;
  }
  if (held_version_ >= version)
    return true;
  host_->PostTrace(" 当前版本=" + std::to_string(held_version_) +
                   ",newversion=" + std::to_string(version) + "\n");
  // Start again from the groups; the refused reply is dropped.
  last_group_request_s_ = 0;
  held_version_ = 0;
  rebuilding_ = true;
  current_group_ = 0;
  last_plan_refresh_s_ = 0;
  return false;
}

void PlanList::OnAllGroupRsp(const hc::AllGroupRsp& reply) {
  Outbox out;
  {
    std::lock_guard<std::mutex> lock(mu_);
    host_->PostTrace("获得所有组的回复:ver=" + std::to_string(reply.ver_code()));
    if (!CheckVersionLocked(reply.ver_code(), /*is_group_reply=*/true))
      return;
    groups_.clear();
    for (const hc::groupItem& item : reply.items()) {
      PlanGroupRecord group;
      group.item = item;
      groups_.push_back(std::move(group));
      if (current_group_ == 0)
        current_group_ = item.group_id();
      hc::AllListReq request;
      request.set_page_id(settings_.page_id);
      request.set_group_id(item.group_id());
      request.set_ver_code(held_version_);
      out.push_back({hc::IDAllListReq, Boxed(std::move(request)), kCatalogueAppType});
      host_->Log(1, "group:id=" + std::to_string(item.group_id()) + ",name=" + item.show_name() +
                        ",order=" + std::to_string(item.group_order()));
    }
    std::stable_sort(groups_.begin(), groups_.end(),
                     [](const PlanGroupRecord& a, const PlanGroupRecord& b) {
                       if (a.item.group_order() != b.item.group_order()) {
                         return a.item.group_order() > b.item.group_order();
                       }
                       return a.item.group_id() < b.item.group_id();
                     });
    RequestSpecialListsLocked(out);
    hc::MyMatchDataReq request;
    request.set_game_kind(0);
    out.push_back({hc::IDMyMatchDataReq, Boxed(std::move(request)), kCatalogueAppType});
  }
  Send(out);
}

void PlanList::OnAllListRsp(const hc::AllListRsp& reply) {
  Outbox out;
  {
    std::lock_guard<std::mutex> lock(mu_);
    host_->PostTrace("获得所有列表的回复\n");
    if (!CheckVersionLocked(reply.ver_code(), false))
      return;
    PlanGroupRecord* group = FindGroupLocked(reply.group_id());
    if (group == nullptr)
      return;
    group->lists.clear();
    for (const hc::listItem& item : reply.items()) {
      PlanListRecord list;
      list.item = item;
      group->lists.push_back(std::move(list));
      RequestPlansLocked(group->group_id(), item.list_id(), out);
      host_->Log(1, "List:groupid=" + std::to_string(group->group_id()) + ",listid=" +
                        std::to_string(item.list_id()) + ",listname=" + item.show_name() +
                        ",list order=" + std::to_string(item.list_order()));
    }
    std::stable_sort(group->lists.begin(), group->lists.end(),
                     [](const PlanListRecord& a, const PlanListRecord& b) {
                       if (a.item.list_order() != b.item.list_order()) {
                         return a.item.list_order() > b.item.list_order();
                       }
                       return a.item.list_id() < b.item.list_id();
                     });
  }
  Send(out);
}

void PlanList::OnAllPlanRsp(const hc::AllPlanRsp& reply) {
  Outbox out;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (!CheckVersionLocked(reply.ver_code(), false))
      return;
    if (reply.list_id() < kSpecialListCount) {
      FillPlansLocked(special_lists_[reply.list_id()], reply, reply.group_id());
      return;
    }
    PlanGroupRecord* group = FindGroupLocked(reply.group_id());
    if (group == nullptr)
      return;
    auto list =
        std::find_if(group->lists.begin(), group->lists.end(),
                     [&](const PlanListRecord& l) { return l.list_id() == reply.list_id(); });
    if (list == group->lists.end())
      return;
    ++group->plan_replies;
    host_->PostTrace("列表" + std::to_string(reply.list_id()) +
                     "的计划:数量=" + std::to_string(reply.simple_infos_size()) + "\n");
    FillPlansLocked(*list, reply, group->group_id());
    if (group->group_id() == current_group_ && group->plan_replies == group->lists.size()) {
      RefreshPlansLocked(true, out);
    }
  }
  Send(out);
}

void PlanList::FillPlansLocked(PlanListRecord& list, const hc::AllPlanRsp& reply,
                               uint32_t group_id) {
  // The four lists run in parallel; a reply whose lists differ in length is read only as far
  // as all of them reach.
  const int count = std::min({reply.simple_infos_size(), reply.plan_orders_size(),
                              reply.plan_show_nums_size(), reply.plan_ids_size()});
  // Parsed and logged in the reply's order, reading the reply straight through; then put in
  // display order by sorting indices, so that each entry moves once. One message is parsed into
  // again and again, so its texts reuse their room; the entries keep the bytes.
  hc::PlanSimpleInfo info;
  std::vector<PlanEntry> parsed;
  parsed.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::string& bytes = reply.simple_infos(i);
    // A plan whose description does not parse has no identity to show or sign up for.
    if (!info.ParseFromString(bytes))
      continue;
    parsed.emplace_back(info, bytes, reply.plan_orders(i), reply.plan_show_nums(i),
                        reply.plan_ids(i));
    host_->Log(1, "Plan:groupid=" + std::to_string(group_id) +
                      ",listid=" + std::to_string(reply.list_id()) + ",planid=" +
                      std::to_string(info.plan_id()) + ",showname=" + info.show_name());
  }
  struct SortKey {
    uint32_t order, key, index;
  };
  std::vector<SortKey> keys(parsed.size());
  for (uint32_t i = 0; i < keys.size(); ++i)
    keys[i] = {parsed[i].plan_order, parsed[i].plan_key, i};
  std::stable_sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) {
    return a.order != b.order ? a.order > b.order : a.key > b.key;
  });
  std::vector<PlanEntry> plans;
  plans.reserve(parsed.size());
  for (const SortKey& k : keys)
    plans.push_back(std::move(parsed[k.index]));
  list.SetPlans(std::move(plans));
}

void PlanList::OnPlanAllStartPoint(const hc::PlanAllStartPoint& reply) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!CheckVersionLocked(reply.ver_code(), false))
    return;
  PlanGroupRecord* group = FindGroupLocked(reply.group_id());
  if (group == nullptr)
    return;
  const uint32_t plan_id = reply.plan_id();
  for (PlanListRecord& list : group->lists) {
    const PlanEntry* plan = list.FindPlan(plan_id);
    if (plan == nullptr)
      continue;
    // Every occurrence of the plan in the list fills the same record from the same reply, so
    // one pass per list gives the same result.
    StartPointRecord& record = start_points_[plan_id];
    record.version = reply.ver_code();
    size_t room = 0;
    for (const std::string& bytes : reply.start_points())
      room += StartPointRecord::RoomFor(bytes);
    record.ClearPoints(room);
    const uint32_t type = plan->plan_type();
    hc::startPointItem point;
    for (const std::string& bytes : reply.start_points()) {
      if (!point.ParseFromString(bytes))
        continue;
      record.AddPoint(bytes);
      if (point.start_flag() == hc::startPointItem::SIGNUP_ALLOW && (type == 1 || type == 2)) {
        record.players = point.player_count();
        record.signed_count = point.current_sign();
        if (type == 2)
          record.start_time = point.start_time();
      }
      const std::string text = "开赛点:planid=" + std::to_string(point.plan_id()) +
                               ",type=" + std::to_string(type) +
                               ",matchid=" + std::to_string(point.match_id()) +
                               ",state=" + std::to_string(point.start_flag()) +
                               ",time=" + std::to_string(point.start_time()) +
                               ",人数=" + std::to_string(point.player_count()) +
                               ",sign=" + std::to_string(point.current_sign());
      host_->Log(1, text);
      host_->PostTrace(text);
    }
    list.start_points_received = true;
  }
}

void PlanList::OnMyMatchDataRsp(const hc::MyMatchDataRsp& reply) {
  std::lock_guard<std::mutex> lock(mu_);
  signed_up_.clear();
  for (const hc::HasSignedMatchItem& item : reply.signed_items()) {
    signed_up_[item.plan_id()] = item.match_id();
  }
}

// ---------------------------------------------------------------------------------------------
// Lookups

PlanGroupRecord* PlanList::FindGroupLocked(uint32_t group_id) {
  for (PlanGroupRecord& group : groups_) {
    if (group.group_id() == group_id)
      return &group;
  }
  return nullptr;
}

const PlanEntry* PlanList::FindPlanLocked(uint32_t plan_id) const {
  for (const PlanGroupRecord& group : groups_) {
    for (const PlanListRecord& list : group.lists) {
      if (const PlanEntry* plan = list.FindPlan(plan_id))
        return plan;
    }
  }
  return nullptr;
}

const PlanListRecord* PlanList::FindListLocked(uint32_t group_id, uint32_t list_id) const {
  for (const PlanGroupRecord& group : groups_) {
    if (group.group_id() != group_id)
      continue;
    // Only the first group of that id is searched.
    for (const PlanListRecord& list : group.lists) {
      if (list.list_id() == list_id)
        return &list;
    }
    return nullptr;
  }
  return nullptr;
}

const PlanListRecord& PlanList::View::special_list(uint32_t list_id) const {
  return list_.special_lists_.at(list_id);
}

const StartPointRecord* PlanList::View::FindStartPoints(uint32_t plan_id) const {
  auto it = list_.start_points_.find(plan_id);
  return it == list_.start_points_.end() ? nullptr : &it->second;
}

std::optional<PlanRecord> PlanList::FindPlan(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  const PlanEntry* plan = FindPlanLocked(plan_id);
  if (plan == nullptr)
    return std::nullopt;
  return plan->record();
}

std::optional<StartPointRecord> PlanList::FindStartPoints(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = start_points_.find(plan_id);
  if (it == start_points_.end())
    return std::nullopt;
  return it->second;
}

std::optional<PlanListRecord> PlanList::FindList(uint32_t group_id, uint32_t list_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  const PlanListRecord* list = FindListLocked(group_id, list_id);
  if (list == nullptr)
    return std::nullopt;
  return *list;
}

std::map<uint32_t, uint64_t> PlanList::SignedUp() const {
  std::lock_guard<std::mutex> lock(mu_);
  return signed_up_;
}

uint32_t PlanList::current_group() const {
  std::lock_guard<std::mutex> lock(mu_);
  return current_group_;
}

void PlanList::SetCurrentGroup(uint32_t group_id) {
  std::lock_guard<std::mutex> lock(mu_);
  current_group_ = group_id;
}

uint32_t PlanList::held_version() const {
  std::lock_guard<std::mutex> lock(mu_);
  return held_version_;
}

uint32_t PlanList::newest_version() const {
  std::lock_guard<std::mutex> lock(mu_);
  return newest_version_;
}

}  // namespace qvc
