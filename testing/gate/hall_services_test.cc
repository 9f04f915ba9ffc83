#include "testing/gate/hall_services.h"

#include <gtest/gtest.h>

#include "client/client.pb.h"
#include "client/hallclient.pb.h"
#include "client/matchclient.pb.h"
#include "gate/gate.pb.h"
#include "gateclient/net/packet_frame.h"
#include "platform/net.h"

namespace testgate {
namespace {

using namespace std::chrono_literals;
namespace hc = qv::hallclient;

// A bare hall: frames over a blocking loopback socket, payloads in clear (no keyed hello).
class RawHall {
 public:
  explicit RawHall(uint16_t port) : fd_(platform::ConnectToLoopback(port)) {
    platform::SetReceiveTimeout(fd_, 5000);
  }
  ~RawHall() { platform::CloseSocket(fd_); }
  bool ok() const { return fd_ >= 0; }

  void SendTransfer(uint32_t kind, uint32_t subid, const google::protobuf::MessageLite& m,
                    uint32_t appid = 2) {
    qv::gate::TransferDataReq t;
    t.set_data_cmd_kind(kind);
    t.set_data_cmd_subid(subid);
    t.set_data(m.SerializePartialAsString());
    t.set_att_appid(appid);
    gateframe::PacketFrame frame;
    frame.kind = 12;
    frame.subid = 3;
    frame.payload = t.SerializeAsString();
    std::string bytes;
    ASSERT_TRUE(gateframe::EncodeFrame(frame, &bytes));
    ASSERT_TRUE(platform::WriteAll(fd_, bytes.data(), bytes.size()));
  }
  // The next frame; kind 0 when none came.
  gateframe::PacketFrame Next() {
    gateframe::PacketFrame frame;
    uint8_t prefix[4];
    if (!platform::ReadExact(fd_, prefix, 4))
      return frame;
    const uint32_t length = prefix[0] << 24 | prefix[1] << 16 | prefix[2] << 8 | prefix[3];
    std::string bytes(reinterpret_cast<char*>(prefix), 4);
    bytes.resize(4 + length);
    if (!platform::ReadExact(fd_, bytes.data() + 4, length))
      return frame;
    EXPECT_EQ(gateframe::DecodeFrame(bytes.data(), bytes.size(), &frame),
              gateframe::DecodeError::kNone);
    return frame;
  }
  // The next frame as a transfer.
  qv::gate::TransferDataReq NextTransfer() {
    gateframe::PacketFrame frame = Next();
    qv::gate::TransferDataReq t;
    EXPECT_EQ(frame.subid, 3);
    EXPECT_TRUE(t.ParseFromString(frame.payload));
    return t;
  }

 private:
  int fd_;
};

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
