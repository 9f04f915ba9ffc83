#include "testing/gate/hall_services.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/client_frame/login_digest.h"
#include "gateclient/net/packet_frame.h"
#include "testing/gate/raw_hall.h"
#include "types/types.pb.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;
namespace hc = qv::hallclient;

class HallServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gate_.Start());
    hall_ = std::make_unique<RawHall>(gate_.port());
    ASSERT_TRUE(hall_->ok());
    ASSERT_TRUE(gate_.WaitForAccepted(1, 5s));
  }
  LocalGate gate_;
  HallServices services_{gate_};
  std::unique_ptr<RawHall> hall_;
};

TEST_F(HallServicesTest, LoginGetsTheScriptedResultAndAuthInfoOnlyOnSuccess) {
  for (int result : {3, 1, 0}) {
    services_.SetLoginResult(result);
    qv::client::LoginReq login;
    login.set_game_kind(502);
    login.set_action_type(qv::client::LoginReq::ByAccount);
    login.set_client_os(qv::types::PC);
    login.set_build_no(0);
    login.set_market_id(0);
    login.set_login_account("alice");
    login.set_login_password("digest");
    login.set_logon_token(9);
    hall_->SendTransfer(13, 1, login);
    qv::gate::TransferDataReq t = hall_->NextTransfer();
    EXPECT_EQ(t.data_cmd_kind(), 13u);
    EXPECT_EQ(t.data_cmd_subid(), 2u);
    qv::client::LoginRsp reply;
    ASSERT_TRUE(reply.ParseFromString(t.data()));
    EXPECT_EQ(reply.login_result(), result);
    EXPECT_EQ(reply.has_base_info_buff(), result == 0);
  }
  gateframe::PacketFrame auth = hall_->Next();  // only after the successful one
  EXPECT_EQ(auth.subid, 5);
  qv::gate::AuthInfo info;
  ASSERT_TRUE(info.ParseFromString(auth.payload));
  EXPECT_EQ(info.user_id(), 10001u);
  ASSERT_EQ(services_.logins().size(), 3u);
  EXPECT_EQ(services_.logins()[0].password, "digest");
  EXPECT_EQ(services_.logins()[0].token, 9u);
}

qv::client::LoginReq LoginOf(const std::string& account, const std::string& digest,
                             uint32_t token) {
  qv::client::LoginReq login;
  login.set_game_kind(502);
  login.set_action_type(qv::client::LoginReq::ByAccount);
  login.set_client_os(qv::types::PC);
  login.set_build_no(0);
  login.set_market_id(0);
  login.set_login_account(account);
  login.set_login_password(digest);
  login.set_logon_token(token);
  return login;
}

// Once accounts are known, a login must name one with the digest of its password for the token
// it carries; the known account's id, nickname and face answer a good one.
TEST_F(HallServicesTest, KnownAccountsAreCheckedByTheirPasswordDigest) {
  services_.AddAccount({"dora", "pa55", 777, "朵拉", 12});
  services_.AddAccount({"erik", "x", 0, "", 0});  // no id of its own: the scripted user id
  struct Case {
    const char* account;
    std::string digest;
    uint32_t token;
    int scripted;
    int result;
    uint64_t user_id;
    const char* nick;
    uint32_t face;
    bool info;
  } cases[] = {
      {"dora", qvc::MakeLoginDigest("pa55", "dora", 9), 9, 0, 0, 777, "朵拉", 12, false},
      {"dora", qvc::MakeLoginDigest("pa55", "dora", 9), 10, 0, 3, 0, "", 0, false},  // old token
      {"dora", qvc::MakeLoginDigest("pa56", "dora", 9), 9, 0, 3, 0, "", 0, false},
      {"nobody", qvc::MakeLoginDigest("pa55", "nobody", 9), 9, 0, 1, 0, "", 0, false},
      {"erik", qvc::MakeLoginDigest("x", "erik", 0), 0, 0, 0, 10001, "erik", 0, false},
      // A scripted refusal stands whatever the password.
      {"dora", qvc::MakeLoginDigest("pa55", "dora", 9), 9, 5, 5, 0, "", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.account) + " " + std::to_string(c.token));
    services_.SetLoginResult(c.scripted);
    hall_->SendTransfer(13, 1, LoginOf(c.account, c.digest, c.token));
    qv::client::LoginRsp reply;
    ASSERT_TRUE(reply.ParseFromString(hall_->NextTransfer().data()));
    EXPECT_EQ(reply.login_result(), c.result);
    EXPECT_EQ(reply.has_login_info(), c.info);
    if (c.result != 0)
      continue;
    EXPECT_EQ(reply.user_id(), c.user_id);
    qv::types::BaseUserInfo base;
    ASSERT_TRUE(base.ParseFromString(reply.base_info_buff()));
    EXPECT_EQ(base.user_id(), c.user_id);
    EXPECT_EQ(base.nick_name(), c.nick);
    EXPECT_EQ(base.face_id(), c.face);
    EXPECT_EQ(hall_->Next().subid, 5);  // AuthInfo
  }
}

TEST_F(HallServicesTest, FundsAnswerForTheUserAsked) {
  services_.SetFunds(777, {{20, 12800, "金币"}, {22, 5, ""}});
  for (uint64_t user : {777ull, 778ull}) {
    qv::client::QueryFundReq query;
    query.set_user_id(user);
    hall_->SendTransfer(13, 10, query);
    qv::gate::TransferDataReq t = hall_->NextTransfer();
    EXPECT_EQ(t.data_cmd_kind(), 13u);
    EXPECT_EQ(t.data_cmd_subid(), 11u);
    qv::client::QueryFundRsp reply;
    ASSERT_TRUE(reply.ParseFromString(t.data()));
    EXPECT_EQ(reply.user_id(), user);
    if (user == 778) {
      EXPECT_EQ(reply.fund_items_size(), 0);
      continue;
    }
    ASSERT_EQ(reply.fund_items_size(), 2);
    EXPECT_EQ(reply.fund_items(0).id(), 20u);
    EXPECT_EQ(reply.fund_items(0).count(), 12800u);
    EXPECT_EQ(reply.fund_items(0).name(), "金币");
    EXPECT_EQ(reply.fund_items(1).id(), 22u);
    EXPECT_FALSE(reply.fund_items(1).has_name());
  }
}

// Names of groups and lists, the rows' entry texts and heat, and the recommended list 2, which
// answers for any group beside the group's own lists.
TEST_F(HallServicesTest, TheCatalogueCarriesNamesAndTheRecommendedList) {
  ScriptedPlan plan{7, 2, 1};
  plan.name = "斗地主快赛";
  plan.show_join = "500金币";
  plan.heat = 42;
  ScriptedList list{100, 1, {plan}, "满人赛"};
  services_.SetCatalogue({{21, 5, {list}, "斗地主"}, {22, 4, {}}});
  ScriptedPlan hot{9, 1, 1};
  services_.SetRecommended({hot, plan});

  hall_->SendTransfer(18, 1, hc::AllGroupReq());
  hc::AllGroupRsp groups;
  ASSERT_TRUE(groups.ParseFromString(hall_->NextTransfer().data()));
  ASSERT_EQ(groups.items_size(), 2);
  EXPECT_EQ(groups.items(0).show_name(), "斗地主");
  EXPECT_EQ(groups.items(1).show_name(), "group 22");

  hc::AllListReq lists;
  lists.set_group_id(21);
  hall_->SendTransfer(18, 3, lists);
  hc::AllListRsp list_reply;
  ASSERT_TRUE(list_reply.ParseFromString(hall_->NextTransfer().data()));
  ASSERT_EQ(list_reply.items_size(), 1);
  EXPECT_EQ(list_reply.items(0).show_name(), "满人赛");

  struct Case {
    uint32_t group_id, list_id;
    std::vector<uint32_t> plans;
  } cases[] = {{21, 100, {7}}, {21, 2, {9, 7}}, {0, 2, {9, 7}}, {22, 100, {}}};
  for (const Case& c : cases) {
    hc::AllPlanReq request;
    request.set_group_id(c.group_id);
    request.set_list_id(c.list_id);
    hall_->SendTransfer(18, 7, request);
    hc::AllPlanRsp reply;
    ASSERT_TRUE(reply.ParseFromString(hall_->NextTransfer().data()));
    EXPECT_EQ(std::vector<uint32_t>(reply.plan_ids().begin(), reply.plan_ids().end()), c.plans)
        << c.group_id << "/" << c.list_id;
    for (int i = 0; i < reply.simple_infos_size(); ++i) {
      hc::PlanSimpleInfo info;
      ASSERT_TRUE(info.ParseFromString(reply.simple_infos(i)));
      if (info.plan_id() != 7)
        continue;
      EXPECT_EQ(info.show_name(), "斗地主快赛");
      EXPECT_EQ(info.show_join(), "500金币");
      EXPECT_EQ(info.heat_degree(), 42u);
    }
  }
}

// Whoever plays the rest of a match learns of every answered join, after its answer; a start
// point changed in place keeps what the joins did to it.
TEST_F(HallServicesTest, AnsweredJoinsAreToldAndStartPointsChangeInPlace) {
  services_.SetMatchDetail(7, 41);
  services_.SetStartPoint(7, {6, 2, 0, 1, 0});
  std::mutex mu;
  std::vector<JoinEvent> events;
  services_.SetJoinObserver([&](const JoinEvent& e) {
    std::lock_guard<std::mutex> lock(mu);
    events.push_back(e);
  });
  ScriptedJoinReply refused;
  refused.result = 5;
  ScriptedJoinReply silent;
  silent.silent = true;
  services_.ScriptJoinReply(41, refused);
  services_.ScriptJoinReply(41, silent);
  for (bool quit : {false, false, false, true}) {
    qv::matchclient::JoinReq join;
    join.set_is_quit(quit);
    hall_->SendTransfer(14, 3, join, 41);
  }
  for (int i = 0; i < 3; ++i)  // the silent one gets no answer
    hall_->NextTransfer();
  std::vector<JoinEvent> seen;
  {
    std::lock_guard<std::mutex> lock(mu);
    seen = events;
  }
  ASSERT_EQ(seen.size(), 3u);
  const bool expected[][2] = {{false, false}, {false, true}, {true, true}};  // quit, accepted
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].match_app_id, 41u);
    EXPECT_EQ(seen[i].plan_id, 7u);
    EXPECT_EQ(seen[i].is_quit, expected[i][0]) << i;
    EXPECT_EQ(seen[i].accepted, expected[i][1]) << i;
  }
  services_.UpdateStartPoint(7, [](ScriptedStartPoint& p) { p.signed_count += 3; });
  EXPECT_EQ(services_.start_point(7).signed_count, 5u);  // 2, +1 joined, -1 withdrawn, +3
  EXPECT_EQ(services_.start_point(7).seats, 6u);
}

TEST_F(HallServicesTest, CatalogueRepliesCarryTheControlledVersions) {
  services_.SetCatalogue({{21, 5, {{100, 1, {{7, 2, 1}, {8, 1, 2}}}}}});
  services_.SetCatalogueVersion(4);
  hc::AllGroupReq groups;
  groups.set_ver_code(0);
  hall_->SendTransfer(18, 1, groups);
  hc::AllGroupRsp group_reply;
  ASSERT_TRUE(group_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(group_reply.ver_code(), 4u);
  ASSERT_EQ(group_reply.items_size(), 1);
  EXPECT_EQ(group_reply.items(0).group_id(), 21u);

  services_.SetPlanReplyVersion(2);  // a stale reply
  hc::AllPlanReq plans;
  plans.set_group_id(21);
  plans.set_list_id(100);
  hall_->SendTransfer(18, 7, plans);
  hc::AllPlanRsp plan_reply;
  ASSERT_TRUE(plan_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(plan_reply.ver_code(), 2u);
  EXPECT_EQ(plan_reply.simple_infos_size(), 2);
  EXPECT_EQ(plan_reply.plan_ids_size(), 2);

  hc::DisplayPlanUpdateReq display;
  display.set_group_id(21);
  display.add_array_plan_id(7);
  display.add_array_plan_id(8);
  hall_->SendTransfer(18, 9, display);
  for (uint32_t plan : {7u, 8u}) {
    hc::PlanAllStartPoint points;
    ASSERT_TRUE(points.ParseFromString(hall_->NextTransfer().data()));
    EXPECT_EQ(points.plan_id(), plan);
    EXPECT_EQ(points.start_points_size(), 1);
  }
  EXPECT_EQ(services_.group_requests(), std::vector<uint32_t>{0});
}

TEST_F(HallServicesTest, DetailsNameTheMatchServiceThatAnswersTheJoin) {
  services_.SetMatchDetail(7, 55);
  services_.SetJoinResult(0, "ok");
  hc::GetMatchDetailReq detail;
  detail.set_plan_id(7);
  hall_->SendTransfer(18, 13, detail);
  hc::GetMatchDetailRsp detail_reply;
  ASSERT_TRUE(detail_reply.ParseFromString(hall_->NextTransfer().data()));
  hc::TitleMatchItem item;
  ASSERT_TRUE(item.ParseFromString(detail_reply.detail_titlematch()));
  EXPECT_EQ(item.app_id(), 55u);

  detail.set_plan_id(8);  // no details scripted: no title match
  hall_->SendTransfer(18, 13, detail);
  ASSERT_TRUE(detail_reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_FALSE(detail_reply.has_detail_titlematch());

  qv::matchclient::JoinReq join;
  join.set_is_quit(false);
  hall_->SendTransfer(14, 3, join, 55);
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.att_appid(), 55u);
  qv::matchclient::JoinRsp join_reply;
  ASSERT_TRUE(join_reply.ParseFromString(t.data()));
  EXPECT_EQ(join_reply.join_result(), 0);
  EXPECT_EQ(join_reply.result_info(), "ok");
  EXPECT_EQ(services_.joins(), (std::vector<std::pair<uint32_t, bool>>{{55, false}}));
}

TEST_F(HallServicesTest, DetailsCarryTheTitleMatchWithItsPrizesAndPlansTheirDescription) {
  ScriptedDetail detail;
  detail.match_app_id = 41;
  detail.title = "周末欢乐赛";
  detail.min_players = 6;
  detail.prizes = {{1, 1, "奖金1000元"}, {2, 3, "奖金500元"}, {4, 10, ""}};
  services_.SetMatchDetail(7, detail);
  hc::GetMatchDetailReq request;
  request.set_plan_id(7);
  hall_->SendTransfer(18, 13, request);
  hc::GetMatchDetailRsp reply;
  ASSERT_TRUE(reply.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(reply.app_id(), 41u);
  hc::TitleMatchItem title;
  ASSERT_TRUE(title.ParseFromString(reply.detail_titlematch()));
  EXPECT_EQ(title.app_id(), 41u);
  EXPECT_EQ(title.show_title(), "周末欢乐赛");
  EXPECT_EQ(title.min_player_count(), 6u);
  ASSERT_EQ(title.plan_prizes_size(), 3);
  const struct {
    uint32_t first, last;
    bool has_award;
    const char* award;
  } rows[] = {{1, 1, true, "奖金1000元"}, {2, 3, true, "奖金500元"}, {4, 10, false, ""}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(title.plan_prizes(i).rank_begein(), rows[i].first) << i;
    EXPECT_EQ(title.plan_prizes(i).rank_end(), rows[i].last) << i;
    EXPECT_EQ(title.plan_prizes(i).has_other_award(), rows[i].has_award) << i;
    EXPECT_EQ(title.plan_prizes(i).other_award(), rows[i].award) << i;
  }

  ScriptedPlan plan{7, 1, 1};
  plan.name = "周末欢乐赛";
  plan.fixed_count = 6;
  plan.game_kind = 502;
  plan.app_id = 41;
  plan.free_join = true;
  services_.SetCatalogue({{21, 5, {{100, 1, {plan, {8, 0, 2}}}}}});
  hc::AllPlanReq plans;
  plans.set_group_id(21);
  plans.set_list_id(100);
  hall_->SendTransfer(18, 7, plans);
  hc::AllPlanRsp plan_reply;
  ASSERT_TRUE(plan_reply.ParseFromString(hall_->NextTransfer().data()));
  ASSERT_EQ(plan_reply.simple_infos_size(), 2);
  hc::PlanSimpleInfo info;
  ASSERT_TRUE(info.ParseFromString(plan_reply.simple_infos(0)));
  EXPECT_EQ(info.show_name(), "周末欢乐赛");
  EXPECT_EQ(info.fixed_count(), 6u);
  EXPECT_EQ(info.game_kind(), 502u);
  EXPECT_EQ(info.app_id(), 41u);
  EXPECT_TRUE(info.free_join());
  ASSERT_TRUE(info.ParseFromString(plan_reply.simple_infos(1)));
  EXPECT_EQ(info.show_name(), "plan 8");
  EXPECT_EQ(info.plan_type(), 2u);
}

// A match service answers for the plan whose details name it: scripted answers in order, then
// the common result; accepted joins take seats that the start points then report.
TEST_F(HallServicesTest, JoinsAnswerAsScriptedAndTakeSeats) {
  services_.SetMatchDetail(7, 41);
  services_.SetStartPoint(7, {6, 2, 0, 1, 0});
  ScriptedJoinReply refused;
  refused.result = 5;
  refused.info = "报名已满";
  ScriptedJoinReply starting;
  starting.start_game = true;
  starting.game_kind = 502;
  starting.plan_id = 0x100000007ull;  // the wire's high half, for the hall to ignore
  ScriptedJoinReply silent;
  silent.silent = true;
  services_.ScriptJoinReply(41, refused);
  services_.ScriptJoinReply(41, starting);
  services_.ScriptJoinReply(41, silent);
  services_.SetJoinResult(0, "");

  struct Step {
    bool quit;
    bool answered;
    int result;
    uint64_t plan_id;
    bool start_game;
    uint32_t signed_after;
  } steps[] = {
      {false, true, 5, 7, false, 2},              // refused: no seat
      {false, true, 0, 0x100000007ull, true, 3},  // accepted
      {false, false, 0, 0, false, 3},             // unanswered
      {true, true, 0, 7, false, 2},               // the common result: withdrawn
      {false, true, 0, 7, false, 3},
  };
  for (const Step& step : steps) {
    qv::matchclient::JoinReq join;
    join.set_is_quit(step.quit);
    hall_->SendTransfer(14, 3, join, 41);
    if (step.answered) {
      qv::gate::TransferDataReq t = hall_->NextTransfer();
      EXPECT_EQ(t.att_appid(), 41u);
      qv::matchclient::JoinRsp reply;
      ASSERT_TRUE(reply.ParseFromString(t.data()));
      EXPECT_EQ(reply.join_result(), step.result);
      EXPECT_EQ(reply.is_quit(), step.quit);
      EXPECT_EQ(reply.plan_id(), step.plan_id);
      EXPECT_EQ(reply.match_id(), 700u);
      EXPECT_EQ(reply.start_game(), step.start_game);
      EXPECT_EQ(reply.has_result_info(), step.result != 0);
    }
    // The start points report the seats as they stand after the join.
    hc::DisplayPlanUpdateReq display;
    display.add_array_plan_id(7);
    hall_->SendTransfer(18, 9, display);
    hc::PlanAllStartPoint points;
    ASSERT_TRUE(points.ParseFromString(hall_->NextTransfer().data()));
    hc::startPointItem point;
    ASSERT_TRUE(point.ParseFromString(points.start_points(0)));
    EXPECT_EQ(point.current_sign(), step.signed_after);
    EXPECT_EQ(point.player_count(), 6u);
    EXPECT_EQ(services_.signed_count(7), step.signed_after);
  }
  EXPECT_EQ(services_.joins().size(), 5u);
}

TEST_F(HallServicesTest, AFullPlanTakesNoMoreSeats) {
  services_.SetMatchDetail(9, 42);
  services_.SetStartPoint(9, {2, 1, 0, 1, 0});
  qv::matchclient::JoinReq join;
  join.set_is_quit(false);
  for (int i = 0; i < 3; ++i) {
    hall_->SendTransfer(14, 3, join, 42);
    hall_->NextTransfer();
  }
  EXPECT_EQ(services_.signed_count(9), 2u);
  // A plan no start point was scripted for keeps the old default: plan id mod 6.
  EXPECT_EQ(services_.signed_count(8), 2u);
}

TEST_F(HallServicesTest, PushesArriveAsTheHallExpectsThem) {
  services_.SendPacked(-1, {{18, 14, "x"}, {99, 1, ""}, {14, 4, ""}}, 777, 13, 3);
  qv::client::PackedMessage pack;
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_subid(), 12u);
  ASSERT_TRUE(pack.ParseFromString(t.data()));
  EXPECT_EQ(pack.cmd_kind_size(), 3);
  EXPECT_EQ(pack.att_sessionid(), 777u);

  services_.SendAnotherLogin(-1);
  qv::client::LogoutRsp logout;
  ASSERT_TRUE(logout.ParseFromString(hall_->NextTransfer().data()));
  EXPECT_EQ(logout.logout_reason(), qv::client::LogoutRsp::AnotherLogin);

  services_.SendAuthInfo(-1, 0);
  gateframe::PacketFrame auth = hall_->Next();
  EXPECT_EQ(auth.subid, 5);
}

TEST_F(HallServicesTest, MatchMessagesCarryTheMatchKeyAsTheirSession) {
  const uint64_t key = 0x0000000200000021ull;
  ScriptedMatchStart start;
  start.match_id = 7;
  start.match_group = 8;
  start.rank_appid = 9;
  start.rank_objectid = 10;
  start.mp_id = 11;
  start.game_kind = 502;
  services_.SendMatchStart(-1, key, 41, start);
  qv::gate::TransferDataReq t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_kind(), 14u);
  EXPECT_EQ(t.data_cmd_subid(), 15u);
  EXPECT_EQ(t.att_sessionid(), key);
  EXPECT_EQ(t.att_apptype(), HallServices::kMatchAppType);
  EXPECT_EQ(t.att_appid(), 41u);
  qv::matchclient::MatchStart m;
  ASSERT_TRUE(m.ParseFromString(t.data()));
  EXPECT_EQ(m.match_id(), 7u);
  EXPECT_EQ(m.match_group(), 8u);
  EXPECT_EQ(m.rank_appid(), 9u);
  EXPECT_EQ(m.rank_objectid(), 10u);
  EXPECT_EQ(m.mp_id(), 11u);
  EXPECT_EQ(m.game_kind(), 502u);
  EXPECT_EQ(m.plan_id(), 0x21u);

  services_.SendMatchMessage(-1, key, 41, 19, std::string("\x01\x00\x02", 3));
  t = hall_->NextTransfer();
  EXPECT_EQ(t.data_cmd_kind(), 14u);
  EXPECT_EQ(t.data_cmd_subid(), 19u);
  EXPECT_EQ(t.att_sessionid(), key);
  EXPECT_EQ(t.data(), std::string("\x01\x00\x02", 3));
}

}  // namespace
}  // namespace testgate
