// The hall's copy of the match catalogue: the groups of the configured page, the lists of each
// group, the plans of each list, the quick-start and recommended lists, the start points of the
// plans on display and the user's own sign-ups. A refresh thread polls the gate; the replies are
// applied on the job thread; the windows read through copies or a scoped view. A plan is held as
// the bytes of its description: a reader parses its own copy (PlanEntry::info).
//
// Lock order: the catalogue mutex is taken before the host's trace and log (which only queue);
// requests to the gate are sent after the mutex is released, so the send path never nests in it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "client/hallclient.pb.h"
#include "gateclient/plan_list/plan_list_host.h"
#include "gateclient/plan_list/plan_records.h"
#include "platform/clock.h"
#include "platform/waiter.h"

namespace qvc {

// The catalogue's items of the client settings.
struct PlanListSettings {
  uint32_t page_id = 1;              // "pageid"
  uint32_t refresh_interval_s = 30;  // "开赛点获取间隔秒数"
  uint32_t quick_start_list = 0;     // "快速开赛列表": requested when 1
  uint32_t recommended_list = 1;     // "推荐大赛列表": requested when 1
  uint32_t game_kind = 0;            // "gamekind"
};

class PlanList {
 public:
  static constexpr uint32_t kSpecialListCount = 99;  // list ids below this are special lists
  static constexpr uint32_t kQuickStartListId = 1;
  static constexpr uint32_t kRecommendedListId = 2;
  static constexpr uint32_t kGroupRequestPeriodS = 10;
  static constexpr uint32_t kRefreshTickMs = 50;
  // Routing of the catalogue's requests.
  static constexpr uint32_t kCatalogueAppType = 10;
  static constexpr uint32_t kDisplayAppType = 5;
  static constexpr uint32_t kCatalogueAppId = 2;

  // `host`, `clock` and `waiter` must outlive the catalogue.
  PlanList(PlanListHost* host, PlanListSettings settings, platform::Clock* clock,
           platform::Waiter* waiter);
  // Stops the refresh thread and joins it.
  ~PlanList();
  PlanList(const PlanList&) = delete;
  PlanList& operator=(const PlanList&) = delete;

  // --- refresh (any thread) ---

  // Starts the refresh thread unless it runs; a pending stop request is withdrawn either way, so
  // a login after a logout resumes refreshing.
  void StartRefreshThread();
  // The loop ends at its next check.
  void RequestStop();
  // Requests the stop and waits for the thread to end; no thread starts afterwards.
  // REQUIRES: its waiter lets it finish.
  void StopAndJoin();
  bool running() const;

  // Sends AllGroupReq when one is due (every 10 s until a reply is accepted, again when a newer
  // version is seen).
  void RequestAllGroups();
  // Asks for the special lists and the start points of the current group's plans when the
  // refresh interval has passed, or at once with `force`.
  void RefreshPlans(bool force);

  // --- replies (job thread) ---
  void OnAllGroupRsp(const qv::hallclient::AllGroupRsp& reply);
  void OnAllListRsp(const qv::hallclient::AllListRsp& reply);
  void OnAllPlanRsp(const qv::hallclient::AllPlanRsp& reply);
  void OnPlanAllStartPoint(const qv::hallclient::PlanAllStartPoint& reply);
  void OnMyMatchDataRsp(const qv::hallclient::MyMatchDataRsp& reply);

  // --- reads (window thread); each returns a copy taken under the lock ---
  std::optional<PlanRecord> FindPlan(uint32_t plan_id) const;
  std::optional<StartPointRecord> FindStartPoints(uint32_t plan_id) const;
  std::optional<PlanListRecord> FindList(uint32_t group_id, uint32_t list_id) const;
  std::map<uint32_t, uint64_t> SignedUp() const;
  uint32_t current_group() const;
  void SetCurrentGroup(uint32_t group_id);
  uint32_t held_version() const;
  uint32_t newest_version() const;

  // What a reader sees under the lock; pointers it gives are valid only inside Read's callback.
  class View {
   public:
    const std::vector<PlanGroupRecord>& groups() const { return list_.groups_; }
    const PlanListRecord& special_list(uint32_t list_id) const;  // REQUIRES: list_id < 99
    const PlanEntry* FindPlan(uint32_t plan_id) const { return list_.FindPlanLocked(plan_id); }
    const StartPointRecord* FindStartPoints(uint32_t plan_id) const;
    const PlanListRecord* FindList(uint32_t group_id, uint32_t list_id) const {
      return list_.FindListLocked(group_id, list_id);
    }
    uint32_t current_group() const { return list_.current_group_; }

   private:
    friend class PlanList;
    explicit View(const PlanList& list) : list_(list) {}
    const PlanList& list_;
  };
  // Runs `reader(view)` with the catalogue locked; keep it short (the job thread waits).
  template <typename Reader>
  auto Read(Reader&& reader) const {
    std::lock_guard<std::mutex> lock(mu_);
    return reader(View(*this));
  }

 private:
  struct Request {
    uint16_t subid;
    std::unique_ptr<google::protobuf::Message> message;
    uint32_t apptype;
  };
  using Outbox = std::vector<Request>;

  void RefreshLoop();
  uint32_t NowSeconds() const;
  // Each *Locked member REQUIRES mu_ held.
  bool CheckVersionLocked(uint32_t version, bool is_group_reply);
  void RefreshPlansLocked(bool force, Outbox& out);
  void RequestPlansLocked(uint32_t group_id, uint32_t list_id, Outbox& out);
  void RequestSpecialListsLocked(Outbox& out);
  void FillPlansLocked(PlanListRecord& list, const qv::hallclient::AllPlanRsp& reply,
                       uint32_t group_id);
  PlanGroupRecord* FindGroupLocked(uint32_t group_id);
  const PlanEntry* FindPlanLocked(uint32_t plan_id) const;
  const PlanListRecord* FindListLocked(uint32_t group_id, uint32_t list_id) const;
  void Send(Outbox& out);

  PlanListHost* const host_;
  const PlanListSettings settings_;
  platform::Clock* const clock_;
  platform::Waiter* const waiter_;

  mutable std::mutex mu_;  // guards everything below
  uint32_t last_plan_refresh_s_ = 0;
  uint32_t last_group_request_s_ = 0;
  std::map<uint32_t, uint64_t> signed_up_;  // plan id -> match id
  std::vector<PlanListRecord> special_lists_;
  uint32_t current_group_ = 0;
  uint32_t held_version_ = 0;
  uint32_t newest_version_ = 0;
  bool rebuilding_ = false;  // reset by a newer version; cleared by the next accepted groups
  std::vector<PlanGroupRecord> groups_;  // display order
  // plan id -> its start points. No reader walks it in order, and at 100,000 plans an ordered
  // map's inserts were the costliest step of applying the start points.
  std::unordered_map<uint32_t, StartPointRecord> start_points_;

  mutable std::mutex thread_mu_;  // guards the refresh thread's flags; never held with mu_
  bool running_ = false;
  bool stop_requested_ = false;
  bool shut_down_ = false;  // set by StopAndJoin: no thread starts afterwards
  std::thread thread_;
};

}  // namespace qvc
