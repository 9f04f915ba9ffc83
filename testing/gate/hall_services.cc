#include "testing/gate/hall_services.h"

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/client_frame/login_digest.h"
#include "interface/command_ids.h"
#include "types/types.pb.h"

namespace testgate {
namespace {

namespace hc = qv::hallclient;
constexpr uint16_t kClient = qv::cmd::kKindClient;
constexpr uint16_t kMatch = qv::cmd::kKindMatchClient;
constexpr uint16_t kHall = qv::cmd::kKindHallClient;
constexpr uint16_t kGate = qv::cmd::kKindGate;
constexpr uint16_t kTransfer = 3;
constexpr uint16_t kAuthInfo = 5;
// The special list of recommended plans.
constexpr uint32_t kRecommendedListId = 2;

template <typename Message>
bool Parse(const std::string& data, Message* message) {
  return message->ParseFromString(data);
}

}  // namespace

void SendTransferOn(GateConnection& connection, uint32_t kind, uint32_t subid,
                    const std::string& data, uint32_t apptype, uint32_t appid, uint64_t session) {
  qv::gate::TransferDataReq transfer;
  transfer.set_att_apptype(apptype);
  transfer.set_att_appid(appid);
  transfer.set_data_cmd_kind(kind);
  transfer.set_data_cmd_subid(subid);
  transfer.set_data(data);
  transfer.set_att_sessionid(session);
  connection.SendFrame(kGate, kTransfer, transfer.SerializeAsString());
}

HallServices::HallServices(LocalGate& gate) : gate_(gate) {
  InstallLogin();
  InstallFunds();
  InstallCatalogue();
  InstallMatch();
}

void HallServices::SetLoginResult(int result) {
  std::lock_guard<std::mutex> lock(mu_);
  login_result_ = result;
}
void HallServices::AddAccount(ScriptedAccount account) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string name = account.account;
  accounts_[std::move(name)] = std::move(account);
}
void HallServices::SetFunds(uint64_t user_id, std::vector<ScriptedFund> funds) {
  std::lock_guard<std::mutex> lock(mu_);
  funds_[user_id] = std::move(funds);
}
void HallServices::SetRecommended(std::vector<ScriptedPlan> plans) {
  std::lock_guard<std::mutex> lock(mu_);
  recommended_ = std::move(plans);
}
void HallServices::UpdateStartPoint(uint32_t plan_id,
                                    const std::function<void(ScriptedStartPoint&)>& change) {
  std::lock_guard<std::mutex> lock(mu_);
  change(StartPointOf(plan_id));
}
ScriptedStartPoint HallServices::start_point(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = start_points_.find(plan_id);
  if (it != start_points_.end())
    return it->second;
  ScriptedStartPoint point;
  point.signed_count = plan_id % 6;
  return point;
}
void HallServices::SetJoinObserver(std::function<void(const JoinEvent&)> observer) {
  std::lock_guard<std::mutex> lock(mu_);
  join_observer_ = std::move(observer);
}
void HallServices::SetUserId(uint64_t user_id) {
  std::lock_guard<std::mutex> lock(mu_);
  user_id_ = user_id;
}
void HallServices::SetAuthInfoOnLogin(bool send) {
  std::lock_guard<std::mutex> lock(mu_);
  auth_on_login_ = send;
}
void HallServices::SetCatalogue(std::vector<ScriptedGroup> groups) {
  std::lock_guard<std::mutex> lock(mu_);
  groups_ = std::move(groups);
}
void HallServices::SetCatalogueVersion(uint32_t version) {
  std::lock_guard<std::mutex> lock(mu_);
  version_ = version;
}
void HallServices::SetPlanReplyVersion(uint32_t version) {
  std::lock_guard<std::mutex> lock(mu_);
  plan_reply_version_ = version;
}
void HallServices::SetMatchDetail(uint32_t plan_id, uint32_t match_app_id) {
  ScriptedDetail detail;
  detail.match_app_id = match_app_id;
  SetMatchDetail(plan_id, std::move(detail));
}
void HallServices::SetMatchDetail(uint32_t plan_id, ScriptedDetail detail) {
  std::lock_guard<std::mutex> lock(mu_);
  details_[plan_id] = std::move(detail);
}
void HallServices::SetStartPoint(uint32_t plan_id, ScriptedStartPoint point) {
  std::lock_guard<std::mutex> lock(mu_);
  start_points_[plan_id] = point;
}
void HallServices::SetJoinResult(int result, std::string info) {
  std::lock_guard<std::mutex> lock(mu_);
  join_result_ = result;
  join_info_ = std::move(info);
}
void HallServices::ScriptJoinReply(uint32_t match_app_id, ScriptedJoinReply reply) {
  std::lock_guard<std::mutex> lock(mu_);
  join_replies_[match_app_id].push_back(std::move(reply));
}

int HallServices::CheckLogin(const std::string& account, const std::string& digest, uint32_t token,
                             ScriptedAccount* known) const {
  if (login_result_ != 0)
    return login_result_;
  if (accounts_.empty())
    return 0;
  const auto found = accounts_.find(account);
  if (found == accounts_.end())
    return kLoginNoAccount;
  if (qvc::MakeLoginDigest(found->second.password, account, token) != digest)
    return kLoginWrongPassword;
  *known = found->second;
  return 0;
}

void HallServices::InstallLogin() {
  gate_.OnTransfer(
      kClient, 1, [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        qv::client::LoginReq request;
        if (!request.ParseFromString(data))
          return;
        qv::client::LoginRsp reply;
        bool auth = false;
        uint64_t user_id = 0;
        {
          std::lock_guard<std::mutex> lock(mu_);
          logins_.push_back(
              {request.login_account(), request.login_password(), request.logon_token()});
          ScriptedAccount known;
          const int result = CheckLogin(request.login_account(), request.login_password(),
                                        request.logon_token(), &known);
          reply.set_login_result(static_cast<qv::client::LoginRsp::Result>(result));
          if (result == 0) {
            user_id = known.user_id != 0 ? known.user_id : user_id_;
            reply.set_user_id(user_id);
            qv::types::BaseUserInfo base;
            base.set_user_id(user_id);
            base.set_nick_name(known.nick_name.empty() ? request.login_account() : known.nick_name);
            if (known.face_id != 0)
              base.set_face_id(known.face_id);
            reply.set_base_info_buff(base.SerializeAsString());
            auth = auth_on_login_;
          } else if (login_result_ != 0) {
            // A scripted refusal says so in words; the account checks leave the hall its texts.
            reply.set_login_info("refused");
          }
        }
        SendTransferOn(c, kClient, 2, reply.SerializeAsString(), kLoginAppType, 2);
        if (auth) {
          qv::gate::AuthInfo info;
          info.set_user_id(user_id);
          c.SendFrame(kGate, kAuthInfo, info.SerializeAsString());
        }
      });
}

void HallServices::InstallFunds() {
  gate_.OnTransfer(kClient, qv::client::IDQueryFundReq,
                   [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
                     qv::client::QueryFundReq request;
                     if (!request.ParsePartialFromString(data))
                       return;
                     qv::client::QueryFundRsp reply;
                     reply.set_user_id(request.user_id());
                     {
                       std::lock_guard<std::mutex> lock(mu_);
                       const auto found = funds_.find(request.user_id());
                       if (found != funds_.end()) {
                         for (const ScriptedFund& fund : found->second) {
                           qv::types::FundItem* item = reply.add_fund_items();
                           item->set_id(fund.id);
                           item->set_count(fund.count);
                           if (!fund.name.empty())
                             item->set_name(fund.name);
                         }
                       }
                     }
                     SendTransferOn(c, kClient, qv::client::IDQueryFundRsp,
                                    reply.SerializePartialAsString(), kLoginAppType, 2);
                   });
}

void HallServices::InstallCatalogue() {
  gate_.OnTransfer(
      kHall, hc::IDAllGroupReq,
      [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        hc::AllGroupReq request;
        if (!Parse(data, &request))
          return;
        hc::AllGroupRsp reply;
        {
          std::lock_guard<std::mutex> lock(mu_);
          group_requests_.push_back(request.ver_code());
          reply.set_ver_code(version_);
          for (const ScriptedGroup& g : groups_) {
            hc::groupItem* item = reply.add_items();
            item->set_group_id(g.group_id);
            item->set_group_order(g.order);
            item->set_show_name(g.name.empty() ? "group " + std::to_string(g.group_id) : g.name);
          }
        }
        SendTransferOn(c, kHall, hc::IDAllGroupRsp, reply.SerializeAsString(), kCatalogueAppType,
                       2);
      });
  gate_.OnTransfer(kHall, hc::IDAllListReq,
                   [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
                     hc::AllListReq request;
                     if (!Parse(data, &request))
                       return;
                     hc::AllListRsp reply;
                     {
                       std::lock_guard<std::mutex> lock(mu_);
                       reply.set_ver_code(version_);
                       reply.set_group_id(request.group_id());
                       for (const ScriptedGroup& g : groups_) {
                         if (g.group_id != request.group_id())
                           continue;
                         for (const ScriptedList& l : g.lists) {
                           hc::listItem* item = reply.add_items();
                           item->set_list_id(l.list_id);
                           item->set_list_order(l.order);
                           if (!l.name.empty())
                             item->set_show_name(l.name);
                         }
                       }
                     }
                     SendTransferOn(c, kHall, hc::IDAllListRsp, reply.SerializeAsString(),
                                    kCatalogueAppType, 2);
                   });
  gate_.OnTransfer(
      kHall, hc::IDAllPlanReq,
      [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        hc::AllPlanReq request;
        if (!Parse(data, &request))
          return;
        hc::AllPlanRsp reply;
        {
          std::lock_guard<std::mutex> lock(mu_);
          reply.set_ver_code(plan_reply_version_ != 0 ? plan_reply_version_ : version_);
          reply.set_group_id(request.group_id());
          reply.set_list_id(request.list_id());
          const auto add = [&reply](const ScriptedPlan& p) {
            hc::PlanSimpleInfo info;
            info.set_plan_id(p.plan_id);
            info.set_plan_type(p.plan_type);
            info.set_show_name(p.name.empty() ? "plan " + std::to_string(p.plan_id) : p.name);
            info.set_fixed_count(p.fixed_count);
            info.set_game_kind(p.game_kind);
            info.set_app_id(p.app_id);
            info.set_free_join(p.free_join);
            if (!p.show_join.empty())
              info.set_show_join(p.show_join);
            if (p.heat != 0)
              info.set_heat_degree(p.heat);
            reply.add_simple_infos(info.SerializeAsString());
            reply.add_plan_orders(p.order);
            reply.add_plan_show_nums(0);
            reply.add_plan_ids(p.plan_id);
          };
          if (request.list_id() == kRecommendedListId) {
            for (const ScriptedPlan& p : recommended_)
              add(p);
          }
          for (const ScriptedGroup& g : groups_) {
            if (g.group_id != request.group_id())
              continue;
            for (const ScriptedList& l : g.lists) {
              if (l.list_id != request.list_id())
                continue;
              for (const ScriptedPlan& p : l.plans)
                add(p);
            }
          }
        }
        SendTransferOn(c, kHall, hc::IDAllPlanRsp, reply.SerializeAsString(), kCatalogueAppType, 2);
      });
  // Start points of every plan asked for: one point each, as scripted or the default.
  gate_.OnTransfer(
      kHall, hc::IDDisplayPlanUpdateReq,
      [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
        hc::DisplayPlanUpdateReq request;
        if (!Parse(data, &request))
          return;
        std::vector<std::string> replies;
        {
          std::lock_guard<std::mutex> lock(mu_);
          for (uint32_t plan_id : request.array_plan_id()) {
            const ScriptedStartPoint& scripted = StartPointOf(plan_id);
            hc::startPointItem point;
            point.set_plan_id(plan_id);
            point.set_match_id(scripted.match_id != 0 ? scripted.match_id : plan_id * 100ull);
            point.set_start_time(scripted.start_time);
            point.set_start_flag(hc::startPointItem::SIGNUP_ALLOW);
            if (hc::startPointItem::MatchState_IsValid(static_cast<int>(scripted.state)))
              point.set_start_flag(static_cast<hc::startPointItem::MatchState>(scripted.state));
            point.set_player_count(scripted.seats);
            point.set_current_sign(scripted.signed_count);
            hc::PlanAllStartPoint reply;
            reply.set_group_id(request.group_id());
            reply.set_plan_id(plan_id);
            reply.set_ver_code(version_);
            reply.add_start_points(point.SerializeAsString());
            replies.push_back(reply.SerializeAsString());
          }
        }
        for (const std::string& reply : replies)
          SendTransferOn(c, kHall, hc::IDPlanAllStartPoint, reply, 5, 2);
      });
  gate_.OnTransfer(kHall, hc::IDMyMatchDataReq,
                   [](GateConnection& c, const ReceivedFrame&, const std::string&) {
                     SendTransferOn(c, kHall, hc::IDMyMatchDataRsp, "", kCatalogueAppType, 2);
                   });
  gate_.OnTransfer(kHall, hc::IDGetMatchDetailReq,
                   [this](GateConnection& c, const ReceivedFrame&, const std::string& data) {
                     hc::GetMatchDetailReq request;
                     if (!Parse(data, &request))
                       return;
                     std::string reply;
                     {
                       std::lock_guard<std::mutex> lock(mu_);
                       detail_requests_.push_back(request.plan_id());
                       reply = DetailBytes(request.plan_id());
                     }
                     SendTransferOn(c, kHall, hc::IDGetMatchDetailRsp, reply, 5, 2);
                   });
}

std::string HallServices::DetailBytes(uint32_t plan_id) const {
  hc::GetMatchDetailRsp reply;
  reply.set_plan_id(plan_id);
  auto found = details_.find(plan_id);
  if (found != details_.end()) {
    const ScriptedDetail& detail = found->second;
    hc::TitleMatchItem item;
    item.set_plan_id(plan_id);
    item.set_app_id(detail.match_app_id);
    if (!detail.title.empty())
      item.set_show_title(detail.title);
    if (detail.min_players != 0)
      item.set_min_player_count(detail.min_players);
    for (const ScriptedPrize& prize : detail.prizes) {
      hc::PrizeItem* row = item.add_plan_prizes();
      row->set_rank_begein(prize.first_rank);
      row->set_rank_end(prize.last_rank);
      if (!prize.award.empty())
        row->set_other_award(prize.award);
    }
    reply.set_detail_titlematch(item.SerializeAsString());
    reply.set_app_id(detail.match_app_id);
  }
  return reply.SerializeAsString();
}

ScriptedStartPoint& HallServices::StartPointOf(uint32_t plan_id) {
  auto [it, made] = start_points_.try_emplace(plan_id);
  if (made)
    it->second.signed_count = plan_id % 6;
  return it->second;
}

uint32_t HallServices::PlanOfService(uint32_t match_app_id) const {
  for (const auto& [plan_id, detail] : details_) {
    if (detail.match_app_id == match_app_id)
      return plan_id;
  }
  return 0;
}

bool HallServices::AnswerJoin(uint32_t match_app_id, bool is_quit,
                              qv::matchclient::JoinRsp* reply) {
  ScriptedJoinReply answer;
  answer.result = join_result_;
  answer.info = join_info_;
  auto queued = join_replies_.find(match_app_id);
  if (queued != join_replies_.end() && !queued->second.empty()) {
    answer = std::move(queued->second.front());
    queued->second.pop_front();
  }
  if (answer.silent)
    return false;
  const uint32_t plan_id = PlanOfService(match_app_id);
  reply->set_is_quit(is_quit);
  reply->set_join_result(static_cast<qv::matchclient::JoinRsp::Result>(answer.result));
  if (!answer.info.empty())
    reply->set_result_info(answer.info);
  reply->set_plan_id(answer.plan_id != 0 ? answer.plan_id : plan_id);
  if (answer.start_game)
    reply->set_start_game(true);
  if (answer.mp_appid != 0)
    reply->set_mp_appid(answer.mp_appid);
  if (answer.game_kind != 0)
    reply->set_game_kind(answer.game_kind);
  if (plan_id != 0) {
    ScriptedStartPoint& point = StartPointOf(plan_id);
    reply->set_match_id(point.match_id != 0 ? point.match_id : plan_id * 100ull);
    // An accepted join takes a seat; an accepted withdrawal gives one back.
    if (answer.result == 0 && !is_quit && point.signed_count < point.seats)
      ++point.signed_count;
    if (answer.result == 0 && is_quit && point.signed_count > 0)
      --point.signed_count;
  }
  return true;
}

void HallServices::InstallMatch() {
  gate_.OnTransfer(kMatch, 3,
                   [this](GateConnection& c, const ReceivedFrame& frame, const std::string& data) {
                     qv::matchclient::JoinReq request;
                     if (!request.ParseFromString(data))
                       return;
                     qv::gate::TransferDataReq transfer;
                     transfer.ParseFromString(frame.payload);
                     qv::matchclient::JoinRsp reply;
                     std::function<void(const JoinEvent&)> observer;
                     JoinEvent event;
                     {
                       std::lock_guard<std::mutex> lock(mu_);
                       joins_.emplace_back(transfer.att_appid(), request.is_quit());
                       if (!AnswerJoin(transfer.att_appid(), request.is_quit(), &reply))
                         return;
                       observer = join_observer_;
                       event.match_app_id = transfer.att_appid();
                       event.plan_id = PlanOfService(transfer.att_appid());
                       event.is_quit = request.is_quit();
                       event.accepted = reply.join_result() == 0;
                     }
                     SendTransferOn(c, kMatch, 4, reply.SerializeAsString(), kMatchAppType,
                                    transfer.att_appid());
                     if (observer)
                       observer(event);
                   });
}

void HallServices::SendAuthInfo(int connection, uint64_t user_id) {
  qv::gate::AuthInfo info;
  info.set_user_id(user_id);
  gate_.SendFrame(connection, kGate, kAuthInfo, info.SerializeAsString());
}

void HallServices::SendAnotherLogin(int connection) {
  qv::client::LogoutRsp logout;
  logout.set_logout_reason(qv::client::LogoutRsp::AnotherLogin);
  gate_.SendTransfer(connection, kClient, 4, logout.SerializeAsString(), kLoginAppType, 2);
}

void HallServices::SendPacked(int connection, const std::vector<PackedEntry>& entries,
                              uint64_t session, uint32_t apptype, uint32_t appid) {
  qv::client::PackedMessage pack;
  pack.set_att_sessionid(session);
  pack.set_my_apptype(apptype);
  pack.set_my_appid(appid);
  for (const PackedEntry& e : entries) {
    pack.add_cmd_kind(e.kind);
    pack.add_cmd_subid(e.subid);
    pack.add_cmd_data(e.data);
  }
  gate_.SendTransfer(connection, kClient, 12, pack.SerializeAsString(), apptype, appid);
}

void HallServices::SendMatchDetail(int connection, uint32_t plan_id) {
  std::string bytes;
  {
    std::lock_guard<std::mutex> lock(mu_);
    bytes = DetailBytes(plan_id);
  }
  gate_.SendTransfer(connection, kHall, hc::IDGetMatchDetailRsp, bytes, 5, 2);
}

void HallServices::SendMatchStart(int connection, uint64_t key, uint32_t match_app_id,
                                  const ScriptedMatchStart& start) {
  qv::matchclient::MatchStart message;
  message.set_match_id(start.match_id);
  message.set_match_group(start.match_group);
  message.set_rank_appid(start.rank_appid);
  message.set_rank_objectid(start.rank_objectid);
  message.set_mp_id(start.mp_id);
  message.set_game_kind(start.game_kind);
  message.set_plan_id(static_cast<uint32_t>(key));
  SendMatchMessage(connection, key, match_app_id, qv::cmd::matchclient::kMatchStart,
                   message.SerializeAsString());
}

void HallServices::SendMatchMessage(int connection, uint64_t key, uint32_t match_app_id,
                                    uint32_t subid, const std::string& data) {
  gate_.Act(connection, [=](GateConnection& c) {
    SendTransferOn(c, kMatch, subid, data, kMatchAppType, match_app_id, key);
  });
}

std::vector<HallServices::LoginSeen> HallServices::logins() const {
  std::lock_guard<std::mutex> lock(mu_);
  return logins_;
}
std::vector<std::pair<uint32_t, bool>> HallServices::joins() const {
  std::lock_guard<std::mutex> lock(mu_);
  return joins_;
}
uint32_t HallServices::signed_count(uint32_t plan_id) const {
  std::lock_guard<std::mutex> lock(mu_);
  const auto it = start_points_.find(plan_id);
  return it != start_points_.end() ? it->second.signed_count : plan_id % 6;
}
std::vector<uint32_t> HallServices::detail_requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return detail_requests_;
}
std::vector<uint32_t> HallServices::group_requests() const {
  std::lock_guard<std::mutex> lock(mu_);
  return group_requests_;
}

}  // namespace testgate
