// The server side of the hall's services behind the local gate: the login service (a scripted
// result for every login, with the user's records and an AuthInfo on success), the catalogue
// (groups, lists, plans and start points at a version the test controls, stale versions on
// demand), the match details (a real title match with its prizes), the match services' join
// replies (scripted per service, in order) with start points whose signed count follows the
// accepted joins and withdrawals, and pushes the gate makes unasked: AuthInfo, packed messages
// and the logout of a login elsewhere.
//
// A match service serves one plan: the plan whose details name it (SetMatchDetail). Its joins
// answer for that plan, and an accepted join takes a seat of the plan's start point (a
// withdrawal gives one back), so the catalogue's next start points show the count risen.
//
// Handlers run on the gate's loop thread; the script and the records are guarded by one lock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "client/matchclient.pb.h"
#include "testing/gate/local_gate.h"

namespace testgate {

// One plan of the catalogue, as its PlanSimpleInfo describes it.
struct ScriptedPlan {
  uint32_t plan_id = 0;
  uint32_t order = 0;
  uint32_t plan_type = 1;    // 1 starts when full, 2 at a time
  std::string name{};        // empty: "plan <id>"
  uint32_t fixed_count = 0;  // seats of a plan that starts when full
  uint32_t game_kind = 0;    // the game the plan is played in
  uint32_t app_id = 0;       // the match service running it
  bool free_join = false;
  std::string show_join{};  // the entry condition shown on its row ("500金币")
  uint32_t heat = 0;        // heat_degree: how sought after it is
};

// One prize row of a plan's details: ranks first_rank..last_rank win `award`.
struct ScriptedPrize {
  uint32_t first_rank = 0;
  uint32_t last_rank = 0;
  std::string award{};  // empty: the row carries no award text
};

// A plan's details (GetMatchDetailRsp with its TitleMatchItem).
struct ScriptedDetail {
  uint32_t match_app_id = 0;  // the match service that runs the plan and answers its joins
  std::string title{};        // show_title
  std::vector<ScriptedPrize> prizes{};
  uint32_t min_players = 0;  // min_player_count
};

// The start point the catalogue reports for a plan. Plans without one report 6 seats with
// plan id mod 6 taken.
struct ScriptedStartPoint {
  uint32_t seats = 6;         // player_count
  uint32_t signed_count = 0;  // current_sign; accepted joins raise it, withdrawals lower it
  uint64_t match_id = 0;      // 0: plan id x 100
  uint32_t state = 1;         // startPointItem.MatchState; 1 sign-up open
  uint64_t start_time = 0;
};

// One answer of a match service to a JoinReq.
struct ScriptedJoinReply {
  int result = 0;           // join_result: 0 accepted, anything else refused
  std::string info{};       // result_info; empty: not set
  uint64_t plan_id = 0;     // 0: the plan the service serves (its low half is the hall's key)
  bool start_game = false;  // with result 0: the hall launches the game at once
  uint32_t mp_appid = 0;    // with result 10: where the hall asks to go back
  uint32_t game_kind = 0;
  bool silent = false;  // the service does not answer this join at all
};

struct ScriptedList {
  uint32_t list_id = 0;
  uint32_t order = 0;
  std::vector<ScriptedPlan> plans;
  std::string name{};  // show_name; empty: none
};

struct ScriptedGroup {
  uint32_t group_id = 0;
  uint32_t order = 0;
  std::vector<ScriptedList> lists;
  std::string name{};  // show_name; empty: "group <id>"
};

// An account the login service knows. Once any is known, a login names one of them with the
// digest of its password for the login token it carries, or is refused: an unknown account with
// kLoginNoAccount, a wrong password with kLoginWrongPassword.
struct ScriptedAccount {
  std::string account;
  std::string password;  // in clear; the service checks the login's digest of it
  uint64_t user_id = 0;
  std::string nick_name{};  // empty: the account
  uint32_t face_id = 0;
};

// One fund of a user (QueryFundRsp's fund_items).
struct ScriptedFund {
  uint32_t id = 0;
  uint64_t count = 0;
  std::string name{};
};

// A join the match services answered, for whoever plays the rest of the match (any thread).
struct JoinEvent {
  uint32_t match_app_id = 0;
  uint32_t plan_id = 0;  // the plan the service serves; 0 when none
  bool is_quit = false;
  bool accepted = false;  // answered with join_result 0
};

// What a MatchStart says about the match the hall is to launch.
struct ScriptedMatchStart {
  uint64_t match_id = 0;
  uint64_t match_group = 0;
  uint32_t rank_appid = 0;
  uint64_t rank_objectid = 0;
  uint64_t mp_id = 0;
  uint32_t game_kind = 0;
};

// One entry of a packed message.
struct PackedEntry {
  uint32_t kind = 0;
  uint32_t subid = 0;
  std::string data;
};

class HallServices {
 public:
  // Routing of the services' replies, as the hall sees their senders.
  static constexpr uint32_t kLoginAppType = 7;
  static constexpr uint32_t kCatalogueAppType = 10;
  static constexpr uint32_t kMatchAppType = 13;

  // Files the handlers on `gate`, which must outlive the services.
  explicit HallServices(LocalGate& gate);

  // --- script (any thread) ---
  // login_result of a refused login: no such account, a wrong password.
  static constexpr int kLoginNoAccount = 1;
  static constexpr int kLoginWrongPassword = 3;

  // The login_result of every following LoginRsp (0 success, subject to the known accounts; any
  // other value a refusal).
  void SetLoginResult(int result);
  // Adds (or replaces, by account) an account the login service knows.
  void AddAccount(ScriptedAccount account);
  // The funds QueryFundReq reports for `user_id` (none by default).
  void SetFunds(uint64_t user_id, std::vector<ScriptedFund> funds);
  void SetUserId(uint64_t user_id);
  // Whether a successful login is followed by AuthInfo with the user's id (default true).
  void SetAuthInfoOnLogin(bool send);
  void SetCatalogue(std::vector<ScriptedGroup> groups);
  // The version the catalogue's replies carry.
  void SetCatalogueVersion(uint32_t version);
  // Replies to AllPlanReq carry this version instead (a stale or newer reply), 0 = the catalogue's.
  void SetPlanReplyVersion(uint32_t version);
  // The recommended plans: the answer to AllPlanReq for the special list 2, whatever its group.
  void SetRecommended(std::vector<ScriptedPlan> plans);
  // Details of `plan_id` name the match service `match_app_id`; without details the reply has
  // no detail_titlematch.
  void SetMatchDetail(uint32_t plan_id, uint32_t match_app_id);
  void SetMatchDetail(uint32_t plan_id, ScriptedDetail detail);
  void SetStartPoint(uint32_t plan_id, ScriptedStartPoint point);
  // Changes the plan's start point in place under the services' lock (a count that moves while
  // joins change it too). `change` must not call back into the services.
  void UpdateStartPoint(uint32_t plan_id, const std::function<void(ScriptedStartPoint&)>& change);
  ScriptedStartPoint start_point(uint32_t plan_id) const;
  // The result of every join whose service has no scripted reply left.
  void SetJoinResult(int result, std::string info);
  // Queues the next answer of the match service `match_app_id`; answers are used in order.
  void ScriptJoinReply(uint32_t match_app_id, ScriptedJoinReply reply);
  // Told of every join answered, after the answer went out, on the gate's loop thread. Set it
  // before the hall connects; it must not block.
  void SetJoinObserver(std::function<void(const JoinEvent&)> observer);

  // --- pushes (any thread; connection -1 is the newest) ---
  void SendAuthInfo(int connection, uint64_t user_id);
  void SendAnotherLogin(int connection);
  void SendPacked(int connection, const std::vector<PackedEntry>& entries, uint64_t session,
                  uint32_t apptype, uint32_t appid);
  // A GetMatchDetailRsp nobody asked for.
  void SendMatchDetail(int connection, uint32_t plan_id);
  // The match service `match_app_id` starts the match of `key` (the hall's match key, the plan id
  // in its low half; it travels as the transfer's session): MatchStart (14,15).
  void SendMatchStart(int connection, uint64_t key, uint32_t match_app_id,
                      const ScriptedMatchStart& start);
  // Any other message of the match service for the match of `key`: (14, subid) with `data`.
  void SendMatchMessage(int connection, uint64_t key, uint32_t match_app_id, uint32_t subid,
                        const std::string& data);

  // --- what the hall asked (any thread) ---
  struct LoginSeen {
    std::string account;
    std::string password;
    uint32_t token = 0;
  };
  std::vector<LoginSeen> logins() const;
  // Match app ids the joins were routed to, with their is_quit.
  std::vector<std::pair<uint32_t, bool>> joins() const;
  // The signed count the plan's start point reports now.
  uint32_t signed_count(uint32_t plan_id) const;
  // Plan ids of the detail requests.
  std::vector<uint32_t> detail_requests() const;
  // ver_code of each AllGroupReq.
  std::vector<uint32_t> group_requests() const;

 private:
  // Each REQUIRES mu_ held.
  std::string DetailBytes(uint32_t plan_id) const;
  ScriptedStartPoint& StartPointOf(uint32_t plan_id);
  uint32_t PlanOfService(uint32_t match_app_id) const;
  // The answer to a join routed to `match_app_id`; false when the service stays silent.
  bool AnswerJoin(uint32_t match_app_id, bool is_quit, qv::matchclient::JoinRsp* reply);
  // The login_result for `request`; fills *account with the known account it names.
  int CheckLogin(const std::string& account, const std::string& digest, uint32_t token,
                 ScriptedAccount* known) const;
  void InstallLogin();
  void InstallFunds();
  void InstallCatalogue();
  void InstallMatch();

  LocalGate& gate_;
  mutable std::mutex mu_;
  int login_result_ = 0;
  uint64_t user_id_ = 10001;
  bool auth_on_login_ = true;
  std::map<std::string, ScriptedAccount> accounts_;
  std::map<uint64_t, std::vector<ScriptedFund>> funds_;
  std::vector<ScriptedGroup> groups_;
  std::vector<ScriptedPlan> recommended_;
  std::function<void(const JoinEvent&)> join_observer_;
  uint32_t version_ = 1;
  uint32_t plan_reply_version_ = 0;
  std::map<uint32_t, ScriptedDetail> details_;
  std::map<uint32_t, ScriptedStartPoint> start_points_;
  int join_result_ = 0;
  std::string join_info_;
  std::map<uint32_t, std::deque<ScriptedJoinReply>> join_replies_;
  std::vector<LoginSeen> logins_;
  std::vector<std::pair<uint32_t, bool>> joins_;
  std::vector<uint32_t> detail_requests_;
  std::vector<uint32_t> group_requests_;
};

// Sends `data` of (kind, subid) to the hall inside a transfer, on the loop thread.
void SendTransferOn(GateConnection& connection, uint32_t kind, uint32_t subid,
                    const std::string& data, uint32_t apptype, uint32_t appid,
                    uint64_t session = 0);

}  // namespace testgate
