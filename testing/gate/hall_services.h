// The server side of the hall's services behind the local gate: the login service (a scripted
// result for every login, with the user's records and an AuthInfo on success), the catalogue
// (groups, lists, plans and start points at a version the test controls, stale versions on
// demand), the match details, the match service's join replies, and pushes the gate makes
// unasked: AuthInfo, packed messages and the logout of a login elsewhere.
//
// Handlers run on the gate's loop thread; the script and the records are guarded by one lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "testing/gate/local_gate.h"

namespace testgate {

struct ScriptedPlan {
  uint32_t plan_id = 0;
  uint32_t order = 0;
  uint32_t plan_type = 1;
};

struct ScriptedList {
  uint32_t list_id = 0;
  uint32_t order = 0;
  std::vector<ScriptedPlan> plans;
};

struct ScriptedGroup {
  uint32_t group_id = 0;
  uint32_t order = 0;
  std::vector<ScriptedList> lists;
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
  // The login_result of every following LoginRsp (0 success; any other value a refusal).
  void SetLoginResult(int result);
  void SetUserId(uint64_t user_id);
  // Whether a successful login is followed by AuthInfo with the user's id (default true).
  void SetAuthInfoOnLogin(bool send);
  void SetCatalogue(std::vector<ScriptedGroup> groups);
  // The version the catalogue's replies carry.
  void SetCatalogueVersion(uint32_t version);
  // Replies to AllPlanReq carry this version instead (a stale or newer reply), 0 = the catalogue's.
  void SetPlanReplyVersion(uint32_t version);
  // Details of `plan_id` name the match service `match_app_id`; without details the reply has
  // no detail_titlematch.
  void SetMatchDetail(uint32_t plan_id, uint32_t match_app_id);
  void SetJoinResult(int result, std::string info);

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
  // Plan ids of the detail requests.
  std::vector<uint32_t> detail_requests() const;
  // ver_code of each AllGroupReq.
  std::vector<uint32_t> group_requests() const;

 private:
  std::string DetailBytes(uint32_t plan_id) const;  // REQUIRES mu_ held
  void InstallLogin();
  void InstallCatalogue();
  void InstallMatch();

  LocalGate& gate_;
  mutable std::mutex mu_;
  int login_result_ = 0;
  uint64_t user_id_ = 10001;
  bool auth_on_login_ = true;
  std::vector<ScriptedGroup> groups_;
  uint32_t version_ = 1;
  uint32_t plan_reply_version_ = 0;
  std::map<uint32_t, uint32_t> details_;
  int join_result_ = 0;
  std::string join_info_;
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
